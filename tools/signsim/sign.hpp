// The emulated sign: its state (sign_state.hpp) and the commands that read and change
// it, dispatched through one table keyed by (CMD, FNC). Each command group adds its
// entries from its own file (sign_diag.cpp, sign_text.cpp, sign_files.cpp, sign_play.cpp,
// sign_dir.cpp, sign_data.cpp); the frame protocol is untouched by any of them.
#pragma once

#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

#include "face.hpp"
#include "sign_state.hpp"
#include "signsim/simulator.hpp"

namespace signsim {

// One sign: runs a command against its state and says what it holds.
class Sign {
 public:
  // `counters` feeds the communication counters of the statistics record, and the file
  // commands count into it. Files named in options.files are put into the directory; one
  // that cannot be read or does not fit into options.memory, or an options.store that is
  // not a directory, throws std::runtime_error naming it.
  Sign(const Options& options, Counters& counters);

  // `session` tells connections apart: a file arrives over one of them.
  Reply Execute(std::uint8_t cmd, std::uint8_t fnc, std::string_view data, SessionId session = 0);
  // The session is gone: a file it was receiving is abandoned (true when there was one).
  bool EndSession(SessionId session);
  nlohmann::json State() const;
  Face GetFace(std::chrono::steady_clock::time_point now) const { return RenderFace(state_, now); }

 private:
  SignState state_;
};

}  // namespace signsim
