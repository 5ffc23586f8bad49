// The emulated sign: its state (sign_state.hpp) and the commands that read and change
// it, dispatched through one table keyed by (CMD, FNC). Each command group adds its
// entries from its own file (sign_diag.cpp, sign_text.cpp, sign_play.cpp, sign_dir.cpp,
// sign_data.cpp); the frame protocol is untouched by any of them.
#pragma once

#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>

#include "sign_state.hpp"
#include "signsim/simulator.hpp"

namespace signsim {

// One sign: runs a command against its state and says what it holds.
class Sign {
 public:
  // `counters` feeds the communication counters of the statistics record. Files named
  // in options.files are put into the directory; one that cannot be read throws
  // std::runtime_error naming it.
  Sign(const Options& options, const Counters& counters);

  Reply Execute(std::uint8_t cmd, std::uint8_t fnc, std::string_view data);
  nlohmann::json State() const;

 private:
  SignState state_;
};

}  // namespace signsim
