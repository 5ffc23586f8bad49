#include "process.hpp"

#ifdef _WIN32
#include <io.h>
#include <stdlib.h>
#else
#include <unistd.h>

#include <cstdlib>
#endif

namespace signctl {

bool ErrIsTerminal() {
#ifdef _WIN32
  return ::_isatty(2) != 0;
#else
  return ::isatty(STDERR_FILENO) != 0;
#endif
}

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

}  // namespace signctl
