#include "qordtcon/link/settings_object.hpp"

#include <charconv>

#include "ini_store.hpp"
#include "qordtcon/link/settings.hpp"

namespace qordtcon {

std::int16_t SettingsObject::NoReplyPause() const {
  if (FileName.empty()) return kDefaultNoReplyPause;
  const auto text = ini::Value(SettingsDirectory() / FileName, "Settings", "NoReplyPause");
  if (!text) return kDefaultNoReplyPause;
  int value = -1;
  const char* end = text->data() + text->size();
  const auto [ptr, ec] = std::from_chars(text->data(), end, value);
  if (ec != std::errc() || ptr != end || value < 0 || value > 32767) return kDefaultNoReplyPause;
  return static_cast<std::int16_t>(value);
}

}  // namespace qordtcon
