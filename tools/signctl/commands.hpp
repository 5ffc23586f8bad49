// signctl's subcommands: the registry that makes a control method a subcommand, the option
// helpers that bind a payload's fields, and one adder per command group.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <CLI/CLI.hpp>
#include <qordtcon/qordtcon.hpp>

#include "results.hpp"
#include "session.hpp"

namespace signctl {

// Exit statuses shared by every subcommand.
enum Exit : int { kDone = 0, kRefused = 1, kUsage = 2, kNoConnection = 3 };

// A usage error found after parsing (bad hex, a bad address, a value that does not fit);
// main prints it on one line and exits with kUsage.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Control = qordtcon::qorDispTrans;

// A control method's subcommand name: the method name in kebab case
// (SetDisplayPixel_Control: set-display-pixel-control, SetDisplayHWTemp: set-display-hw-temp).
std::string Kebab(std::string_view method);

// A control method as its subcommand name and its member pointer.
#define SIGNCTL_METHOD(name) ::signctl::Kebab(#name), &::qordtcon::qorDispTrans::name

// --- Options bound to payload fields, each checked against what its field can carry. A
// field's starting value is shown in help only for an option that may be left out
// (capture_default_str), so a required one shows no default it does not have.

CLI::Option* Byte(CLI::App& sub, const std::string& name, std::int16_t& field,
                  const std::string& help);
template <class T>
CLI::Option* Number(CLI::App& sub, const std::string& name, T& field, long lo, long hi,
                    const std::string& help) {
  return sub.add_option(name, field, help)->check(CLI::Range(lo, hi));
}
CLI::Option* Text(CLI::App& sub, const std::string& name, std::string& field,
                  const std::string& help);
// A text whose field holds at most `width` characters. The encoders send a longer text whole
// (shifting every field behind it) or the control cuts it without saying, so it is refused.
CLI::Option* Text(CLI::App& sub, const std::string& name, std::string& field, std::size_t width,
                  const std::string& help);

// The widths of the text fields that options fill.
inline constexpr std::size_t kSignNameWidth = 32;     // display name, serial number
inline constexpr std::size_t kFileNameWidth = 13;     // a file's name in the sign's records
inline constexpr std::size_t kSendNameWidth = 12;     // the name a file is sent under
inline constexpr std::size_t kGroupsWidth = 10;       // groups, group masters
inline constexpr std::size_t kTrailerWidth = 32;      // scroll trailer
inline constexpr std::size_t kDescriptorWidth = 256;  // play order description

// Hours added to this computer's clock before it goes to the sign. The control takes any
// number (it does calendar arithmetic), but a day either way covers every time zone.
CLI::Option* TimeAdjust(CLI::App& sub, std::int16_t& hours);

// A Boolean field as a pair of flags: `yes` sets it, `no` clears it. The pair is one option,
// so count() tells whether either was given; both given is a usage error naming both.
CLI::Option* FlagPair(CLI::App& sub, const std::string& yes, const std::string& no, bool& field,
                      const std::string& help);

// One value of a repeatable entry option, read field by field at its commas. A field that is
// missing or does not fit is a usage error naming the option, the entry and its format.
class EntryReader {
 public:
  EntryReader(std::string option, std::string format, std::string spec);
  std::string Text();  // the next field ("" when none is left)
  // The next field, which must not be empty nor longer than `width`.
  std::string Name(const std::string& what, std::size_t width = std::string::npos);
  std::string Rest();  // everything left, commas included
  // The next field as a number in lo..hi (decimal or 0x hex), for an Integer or a Long
  // field; `def` when absent or empty, else the field is required.
  std::int16_t Integer(const std::string& what, long lo, long hi,
                       std::optional<std::int16_t> def = std::nullopt) {
    return static_cast<std::int16_t>(Long(what, lo, hi, def));
  }
  std::int32_t Long(const std::string& what, long lo, long hi,
                    std::optional<std::int32_t> def = std::nullopt);
  void End() const;  // fails when fields are left over
  // A usage error naming the option, the entry and its format, and saying why.
  [[noreturn]] void Fail(const std::string& why) const;

 private:
  std::string option_, format_, spec_;
  std::size_t pos_ = 0;
};

// A repeatable option (`--entry A --entry B`) whose values fill a table: `size` gets the
// number of values, then `fill` each one with its entry number (from 1).
CLI::Option* Entries(CLI::App& sub, const std::string& name, const std::string& format,
                     const std::string& help, std::function<void(std::int16_t count)> size,
                     std::function<void(std::int16_t number, EntryReader& entry)> fill);

template <class P>
using Options = std::type_identity_t<std::function<void(CLI::App&, P&)>>;

// The options of a payload that is one byte field, required.
template <class P>
std::function<void(CLI::App&, P&)> OneByte(std::string option, std::int16_t P::*field,
                                           std::string help) {
  return [=](CLI::App& s, P& p) { Byte(s, option, p.*field, help)->required(); };
}

// Where a text goes on the sign: row 1, column 1 and mode 0 unless given, for `text` and
// the commands that place a text alike.
template <class P>
void TextPlace(CLI::App& s, P& p) {
  p.row = 1;
  p.col = 1;
  Byte(s, "--row", p.row, "Row")->capture_default_str();
  Byte(s, "--col", p.col, "Column")->capture_default_str();
  Byte(s, "--mode", p.mode, "Display mode")->capture_default_str();
}

// Runs the payload's encoder once, so that a value that does not fit is found before the
// connection opens.
template <class P>
void Encode(P& payload) {
  if constexpr (requires { payload.ConvertDataIntoStr(); }) {
    (void)payload.ConvertDataIntoStr();
  } else {
    (void)payload.GetStringFromData();
  }
}

// The subcommands that need a sign, by group heading. The helpers cover the method shapes
// (no argument, a Boolean, a payload object, a result object); Add takes any other.
class Registry {
 public:
  explicit Registry(CLI::App& app) : app_(app) {}

  // Subcommands added from now on are listed under this heading in --help.
  void Group(std::string heading) { group_ = std::move(heading); }

  CLI::App* Add(const std::string& name, const std::string& help, Action action);
  // A subcommand whose result is the sign's answer.
  CLI::App* Query(const std::string& name, const std::string& help,
                  std::function<Outcome(Control&)> run);

  // Boolean method without arguments.
  CLI::App* Plain(const std::string& name, bool (Control::*method)(), const std::string& help);
  // Boolean method with one Boolean argument: flag `yes` for True, `no` for False.
  CLI::App* Switch(const std::string& name, bool (Control::*method)(bool), const std::string& help,
                   const std::string& yes, const std::string& no);

  // Boolean method with one payload object whose fields `options` binds.
  template <class P>
  CLI::App* Send(const std::string& name, bool (Control::*method)(const P&),
                 const std::string& help, Options<P> options) {
    return WithPayload<P>(name, method, help, std::move(options));
  }
  // The same for the methods that write back into the payload.
  template <class P>
  CLI::App* Send(const std::string& name, bool (Control::*method)(P&), const std::string& help,
                 Options<P> options) {
    return WithPayload<P>(name, method, help, std::move(options));
  }

  // Method returning a result object.
  template <class R>
  CLI::App* Get(const std::string& name, R (Control::*method)(), const std::string& help) {
    return Query(name, help, [method](Control& c) { return Read(c, ToJson((c.*method)())); });
  }
  // Method returning a result object for a request payload.
  template <class R, class P>
  CLI::App* Ask(const std::string& name, R (Control::*method)(const P&), const std::string& help,
                Options<P> options) {
    auto payload = std::make_shared<P>();
    CLI::App* sub =
        Add(name, help,
            {[payload] { Encode(*payload); },
             [payload, method](Control& c) { return Read(c, ToJson((c.*method)(*payload))); },
             nullptr, [] { return true; }});
    options(*sub, *payload);
    return sub;
  }

  // The subcommand given on the command line, when it needs a sign.
  struct Entry {
    CLI::App* sub;
    Action action;
  };
  const Entry* Chosen() const;

 private:
  template <class P, class Method>
  CLI::App* WithPayload(const std::string& name, Method method, const std::string& help,
                        Options<P> options) {
    auto payload = std::make_shared<P>();
    CLI::App* sub =
        Add(name, help,
            {[payload] { Encode(*payload); },
             [payload, method](Control& c) { return Judged(c, (c.*method)(*payload)); }});
    options(*sub, *payload);
    return sub;
  }

  CLI::App& app_;
  std::string group_;
  std::vector<Entry> entries_;
};

// The global options and every subcommand, in the order --help lists them.
void BuildCommandLine(CLI::App& app, Globals& globals, Registry& registry);

// The command groups.
void AddShortForms(Registry& r);
void AddDiagCommands(Registry& r);
void AddTextCommands(Registry& r);
void AddMessageCommands(Registry& r);
void AddPlayCommands(Registry& r);
void AddDirCommands(Registry& r);
void AddFileCommands(Registry& r);
void AddDataCommands(Registry& r);
void AddFirmwareCommands(Registry& r);
// `frame`, `dump` and the code lookups: no sign needed.
void AddOfflineCommands(CLI::App& app, const Globals& globals);

}  // namespace signctl
