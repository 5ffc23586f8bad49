// What signctl asks of its process besides signals: whether stderr is a terminal, and
// environment variables. The only place that calls the system for these.
#pragma once

#include <string>

namespace signctl {

// Whether stderr is a terminal (a progress bar then redraws one line).
bool ErrIsTerminal();

// Sets an environment variable for this process and what it starts.
void SetEnvironment(const char* name, const std::string& value);

}  // namespace signctl
