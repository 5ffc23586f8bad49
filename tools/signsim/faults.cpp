#include "faults.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <stdexcept>
#include <string>

namespace signsim {

namespace {

enum class ValueRule { None, Required, Optional };
// What an @ narrows a kind to: one command's frames, one loader command, or nothing (a
// kind that acts on bytes or on the boot loader).
enum class Scope { Frame, Loader, None };

struct KindInfo {
  FaultKind kind;
  std::string_view name;
  ValueRule rule;
  int min, max, fallback;
  std::string_view valueHelp;  // how the value is written, for error texts
  Scope scope = Scope::Frame;
};

constexpr KindInfo kKinds[] = {
    {FaultKind::DropAck, "drop-ack", ValueRule::None, 0, 0, 0, ""},
    {FaultKind::Nak, "nak", ValueRule::None, 0, 0, 0, ""},
    {FaultKind::BadBcc, "bad-bcc", ValueRule::None, 0, 0, 0, ""},
    {FaultKind::Silent, "silent", ValueRule::None, 0, 0, 0, ""},
    {FaultKind::ErrorReply, "error", ValueRule::Required, 0, 255, 0,
     "error=CODE, CODE 0..255 in decimal or 0x-hex"},
    {FaultKind::Echo, "echo", ValueRule::None, 0, 0, 0, ""},
    {FaultKind::Delay, "delay", ValueRule::Required, 0, 600000, 0,
     "delay=MS, MS 0..600000 milliseconds"},
    {FaultKind::Foreign, "foreign", ValueRule::Optional, 0, 255, 2,
     "foreign[=NODE], NODE 0..255 (default 2)"},
    {FaultKind::DropAfter, "drop-after", ValueRule::Required, 0, 1 << 30, 0,
     "drop-after=N, N bytes 0 or more", Scope::None},
    {FaultKind::Reorder, "reorder", ValueRule::None, 0, 0, 0, ""},
    {FaultKind::NoMenu, "no-menu", ValueRule::None, 0, 0, 0, "", Scope::None},
    {FaultKind::SlowBoot, "slow-boot", ValueRule::Required, 0, 600000, 0,
     "slow-boot=MS, MS 0..600000 milliseconds", Scope::None},
    {FaultKind::NoXmodem, "no-xmodem", ValueRule::None, 0, 0, 0, "", Scope::None},
    {FaultKind::XmodemNak, "xmodem-nak", ValueRule::Optional, 1, 1 << 30, 1,
     "xmodem-nak[=BLOCK], BLOCK 1 or more, the first block being 1 (default 1)", Scope::None},
    {FaultKind::XmodemDrop, "xmodem-drop", ValueRule::Optional, 1, 1 << 30, 1,
     "xmodem-drop[=BLOCK], BLOCK 1 or more, the first block being 1 (default 1)", Scope::None},
    {FaultKind::XmodemCancel, "xmodem-cancel", ValueRule::Optional, 1, 1 << 30, 1,
     "xmodem-cancel[=BLOCK], BLOCK 1 or more, the first block being 1 (default 1)", Scope::None},
    {FaultKind::FlashStall, "flash-stall", ValueRule::Optional, 0, 600000, 1000,
     "flash-stall[=MS], MS 0..600000 milliseconds of marks (default 1000)", Scope::None},
    {FaultKind::SlowFlash, "slow-flash", ValueRule::Required, 0, 600000, 0,
     "slow-flash=MS, MS 0..600000 milliseconds", Scope::None},
    {FaultKind::LoaderSilent, "loader-silent", ValueRule::None, 0, 0, 0, "", Scope::Loader},
    {FaultKind::LoaderBadLength, "loader-bad-length", ValueRule::None, 0, 0, 0, "", Scope::Loader},
};

constexpr std::string_view kAccepted =
    "drop-ack, nak, bad-bcc, silent, error=CODE, echo, delay=MS, foreign[=NODE], drop-after=N, "
    "reorder, no-menu, slow-boot=MS, no-xmodem, xmodem-nak[=BLOCK], xmodem-drop[=BLOCK], "
    "xmodem-cancel[=BLOCK], flash-stall[=MS], slow-flash=MS, loader-silent, loader-bad-length, "
    "each optionally followed by @CMD/FNC (only that command's frames; @CMD, a loader command, "
    "for loader-silent and loader-bad-length) and :COUNT or :always";

// A whole decimal number, or 0x-hex; nothing else.
std::optional<long long> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The text before the first `separator`, and the text after it when there is one.
std::pair<std::string_view, std::optional<std::string_view>> SplitAt(std::string_view text,
                                                                     char separator) {
  const auto at = text.find(separator);
  if (at == std::string_view::npos) return {text, std::nullopt};
  return {text.substr(0, at), text.substr(at + 1)};
}

std::invalid_argument Bad(std::string_view spec, std::string_view what) {
  return std::invalid_argument("bad fault '" + std::string(spec) + "': " + std::string(what));
}

}  // namespace

std::string_view FaultKindName(FaultKind kind) {
  for (const KindInfo& k : kKinds) {
    if (k.kind == kind) return k.name;
  }
  return "?";
}

const std::vector<FaultKind>& AllFaultKinds() {
  static const std::vector<FaultKind> kinds = [] {
    std::vector<FaultKind> all;
    for (const KindInfo& k : kKinds)
      all.push_back(k.kind);
    return all;
  }();
  return kinds;
}

Fault ParseFault(std::string_view spec) {
  const auto [head, count] = SplitAt(spec, ':');
  const auto [kindAndValue, only] = SplitAt(head, '@');
  const auto [name, value] = SplitAt(kindAndValue, '=');
  const std::string_view kindName = name;  // a lambda may not capture a structured binding
  const auto info = std::find_if(std::begin(kKinds), std::end(kKinds),
                                 [&](const KindInfo& k) { return k.name == kindName; });
  if (info == std::end(kKinds)) {
    throw Bad(spec,
              "unknown kind '" + std::string(name) + "'; accepted: " + std::string(kAccepted));
  }
  Fault fault{info->kind, info->fallback, 1};
  if (value && info->rule == ValueRule::None) {
    throw Bad(spec, "'" + std::string(name) + "' takes no value");
  }
  if (!value && info->rule == ValueRule::Required) {
    throw Bad(spec, "'" + std::string(name) + "' needs a value: " + std::string(info->valueHelp));
  }
  if (value) {
    const auto number = ParseNumber(*value);
    if (!number || *number < info->min || *number > info->max) {
      throw Bad(spec, "value '" + std::string(*value) +
                          "' does not fit: " + std::string(info->valueHelp));
    }
    fault.value = static_cast<int>(*number);
  }
  if (only) {
    const auto [cmd, fnc] = SplitAt(*only, '/');
    const auto c = ParseNumber(cmd);
    std::optional<long long> f;
    if (fnc) f = ParseNumber(*fnc);
    if (info->kind == FaultKind::Echo || info->kind == FaultKind::DropAfter) {
      throw Bad(spec, "'" + std::string(name) + "' acts on bytes, not on one command's frames");
    }
    if (info->scope == Scope::None) {
      throw Bad(spec, "'" + std::string(name) + "' acts on the boot loader, not on one command");
    }
    if (info->scope == Scope::Loader) {
      if (!c || fnc || *c < 1 || *c > 255) {
        throw Bad(spec, "'@" + std::string(*only) + "' must be @CMD, a loader command 1..255");
      }
    } else if (!c || !f || *c < 0 || *c > 255 || *f < 0 || *f > 255) {
      throw Bad(spec, "'@" + std::string(*only) + "' must be @CMD/FNC, each 0..255");
    }
    fault.cmd = static_cast<int>(*c);
    if (f) fault.fnc = static_cast<int>(*f);
  }
  if (count) {
    const auto number = ParseNumber(*count);
    if (*count == "always") {
      fault.count = kAlways;
    } else if (number && *number >= 1 && *number <= 1'000'000'000) {
      fault.count = static_cast<int>(*number);
    } else {
      throw Bad(spec,
                "count '" + std::string(*count) + "' must be a number 1 or more, or 'always'");
    }
  }
  return fault;
}

void FaultSet::Add(const Fault& fault) {
  if (fault.count == 0 || fault.count < kAlways) {
    throw std::invalid_argument("fault count must be 1 or more, or kAlways");
  }
  armed_.push_back(fault);
}

bool FaultSet::Armed(FaultKind kind) const {
  return std::any_of(armed_.begin(), armed_.end(), [&](const Fault& f) { return f.kind == kind; });
}

std::optional<Fault> FaultSet::Take(FaultKind kind, int cmd, int fnc, int value) {
  const auto it = std::find_if(armed_.begin(), armed_.end(), [&](const Fault& f) {
    return f.kind == kind && (f.cmd < 0 || f.cmd == cmd) && (f.fnc < 0 || f.fnc == fnc) &&
           (value < 0 || f.value == value);
  });
  if (it == armed_.end()) return std::nullopt;
  const Fault taken = *it;
  if (it->count != kAlways && --it->count == 0) armed_.erase(it);
  return taken;
}

}  // namespace signsim
