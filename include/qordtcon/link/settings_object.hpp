// The settings-file component: asked for the pause after a packet that expects no
// reply (a broadcast). Reads LumarcoLite.ini beside the settings store:
//
//   [Settings]
//   NoReplyPause=100      ; milliseconds, 0..32767
//
// A missing file, section or key, or a value that is not a number in that range,
// gives the default of 100 ms. The file is read at every query, so an edit takes
// effect on the next broadcast.
#pragma once

#include <cstdint>
#include <string>

namespace qordtcon {

class SettingsObject {
 public:
  static constexpr std::int16_t kDefaultNoReplyPause = 100;

  // The settings file's name within the settings directory; the owners set
  // "LumarcoLite.ini" right after creating the object.
  std::string FileName;

  // Milliseconds to sleep after a send that expects no reply.
  std::int16_t NoReplyPause() const;
};

}  // namespace qordtcon
