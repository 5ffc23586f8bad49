#include <algorithm>
#include <cctype>

#include "commands.hpp"

namespace signctl {

std::string Kebab(std::string_view method) {
  const auto upper = [](char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; };
  const auto lower = [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; };
  std::string out;
  for (std::size_t i = 0; i < method.size(); ++i) {
    const char c = method[i];
    const bool wordStarts = !out.empty() && out.back() != '-';
    if (c == '_') {
      if (wordStarts) out += '-';
      continue;
    }
    // A capital starts a word after a small letter or a digit, and ends an acronym
    // when a small letter follows it (HWTemp: hw-temp).
    if (upper(c) && wordStarts) {
      const char before = method[i - 1];
      const bool nextLower = i + 1 < method.size() && lower(method[i + 1]);
      if (!upper(before) || nextLower) out += '-';
    }
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

CLI::Option* Byte(CLI::App& sub, const std::string& name, std::int16_t& field,
                  const std::string& help) {
  return Number(sub, name, field, 0, 255, help);
}

CLI::Option* Text(CLI::App& sub, const std::string& name, std::string& field,
                  const std::string& help) {
  return sub.add_option(name, field, help)->type_name("TEXT");
}

CLI::Option* Text(CLI::App& sub, const std::string& name, std::string& field, std::size_t width,
                  const std::string& help) {
  const std::string most = "at most " + std::to_string(width) + " characters";
  return Text(sub, name, field, help)
      ->check(CLI::Validator(
          [width](const std::string& text) {
            if (text.size() <= width) return std::string();
            return "'" + text + "' has " + std::to_string(text.size()) +
                   " characters; the field holds " + std::to_string(width);
          },
          most));
}

CLI::Option* TimeAdjust(CLI::App& sub, std::int16_t& hours) {
  return Number(sub, "--time-adjust", hours, -24, 24,
                "Hours to add to this computer's time (0 = as it is)")
      ->capture_default_str();
}

CLI::Option* FlagPair(CLI::App& sub, const std::string& yes, const std::string& no, bool& field,
                      const std::string& help) {
  CLI::Option* flag = sub.add_flag(yes + ",!" + no, field, help);
  // Each flag leaves its result ("true" for `yes`, "false" for `no`); left alone, the last
  // one would win.
  flag->check(CLI::Validator(
      [flag, no](const std::string&) {
        const auto& given = flag->results();
        const auto has = [&given](const char* value) {
          return std::find(given.begin(), given.end(), value) != given.end();
        };
        if (!has("true") || !has("false")) return std::string();
        return "given with " + no + ", its opposite: give one of the two";
      },
      ""));
  return flag;
}

EntryReader::EntryReader(std::string option, std::string format, std::string spec)
    : option_(std::move(option)), format_(std::move(format)), spec_(std::move(spec)) {}

std::string EntryReader::Text() {
  if (pos_ > spec_.size()) return {};
  const auto comma = spec_.find(',', pos_);
  const std::string field = spec_.substr(pos_, comma - pos_);
  pos_ = comma == std::string::npos ? spec_.size() + 1 : comma + 1;
  return field;
}

std::string EntryReader::Name(const std::string& what, std::size_t width) {
  std::string field = Text();
  if (field.empty()) Fail(what + " is missing");
  if (field.size() > width) {
    Fail(what + " '" + field + "' has " + std::to_string(field.size()) +
         " characters; the field holds " + std::to_string(width));
  }
  return field;
}

std::string EntryReader::Rest() {
  if (pos_ > spec_.size()) return {};
  std::string rest = spec_.substr(pos_);
  pos_ = spec_.size() + 1;
  return rest;
}

std::int32_t EntryReader::Long(const std::string& what, long lo, long hi,
                               std::optional<std::int32_t> def) {
  const std::string field = Text();
  if (field.empty()) {
    if (def) return *def;
    Fail(what + " is missing");
  }
  const bool hex = field.rfind("0x", 0) == 0 || field.rfind("0X", 0) == 0;
  std::size_t used = 0;
  long value = 0;
  try {
    value = std::stol(field, &used, hex ? 16 : 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != field.size() || value < lo || value > hi) {
    Fail(what + " '" + field + "' is not a number in " + std::to_string(lo) + ".." +
         std::to_string(hi));
  }
  return static_cast<std::int32_t>(value);
}

void EntryReader::End() const {
  const auto fields = std::count(format_.begin(), format_.end(), ',') + 1;
  if (pos_ <= spec_.size()) Fail("it has more than " + std::to_string(fields) + " fields");
}

void EntryReader::Fail(const std::string& why) const {
  throw CLI::ValidationError(option_, "'" + spec_ + "' is not " + format_ + ": " + why);
}

CLI::Option* Entries(CLI::App& sub, const std::string& name, const std::string& format,
                     const std::string& help, std::function<void(std::int16_t count)> size,
                     std::function<void(std::int16_t number, EntryReader& entry)> fill) {
  return sub
      .add_option_function<std::vector<std::string>>(
          name,
          [=](const std::vector<std::string>& specs) {
            if (specs.size() > 32767) throw CLI::ValidationError(name, "too many entries");
            size(static_cast<std::int16_t>(specs.size()));
            for (std::size_t i = 0; i < specs.size(); ++i) {
              EntryReader entry(name, format, specs[i]);
              fill(static_cast<std::int16_t>(i + 1), entry);
              entry.End();
            }
          },
          help + " (repeat for more entries)")
      ->type_name(format)
      ->allow_extra_args(false);
}

CLI::App* Registry::Add(const std::string& name, const std::string& help, Action action) {
  CLI::App* sub = app_.add_subcommand(name, help);
  sub->group(group_);
  entries_.push_back({sub, std::move(action)});
  return sub;
}

CLI::App* Registry::Query(const std::string& name, const std::string& help,
                          std::function<Outcome(Control&)> run) {
  return Add(name, help, {nullptr, std::move(run), nullptr, [] { return true; }});
}

CLI::App* Registry::Plain(const std::string& name, bool (Control::*method)(),
                          const std::string& help) {
  return Add(name, help, {nullptr, [method](Control& c) { return Judged(c, (c.*method)()); }});
}

CLI::App* Registry::Switch(const std::string& name, bool (Control::*method)(bool),
                           const std::string& help, const std::string& yes, const std::string& no) {
  auto value = std::make_shared<bool>(false);
  auto flag = std::make_shared<CLI::Option*>(nullptr);
  CLI::App* sub = Add(name, help,
                      {[flag, yes, no] {
                         if ((*flag)->count() == 0) {
                           throw UsageError(yes + " or " + no + " is required");
                         }
                       },
                       [method, value](Control& c) { return Judged(c, (c.*method)(*value)); }});
  *flag = FlagPair(*sub, yes, no, *value, "One of the two is required");
  return sub;
}

const Registry::Entry* Registry::Chosen() const {
  for (const Entry& entry : entries_) {
    if (entry.sub->parsed()) return &entry;
  }
  return nullptr;
}

void BuildCommandLine(CLI::App& app, Globals& globals, Registry& registry) {
  app.require_subcommand(1);
  // Global options may also follow the subcommand (signctl stats --json).
  app.fallthrough();
  app.add_option("--connect", globals.connect,
                 "The sign: tcp://HOST[:PORT], serial:DEVICE[?baud=N] or modem:DEVICE?dial=NUMBER")
      ->capture_default_str();
  app.add_option("--node", globals.node, "The sign's node address (255 = all signs)")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  app.add_flag("--new-bcc", globals.newBcc, "Ask the sign for the new block check");
  app.add_flag("--json", globals.json, "Print the result as one JSON object");
  app.add_option("--log", globals.log, "Write the communication log to this file");
  app.add_option("--timeout", globals.timeout, "Time-out of one read, in milliseconds")
      ->check(CLI::Range(1, 3600000));
  app.add_option("--retry", globals.retry, "Tries of one transaction (RetryCount)")
      ->check(CLI::Range(1, 100));
  app.add_option("--settings-dir", globals.settingsDir,
                 "Read the control's settings from, and write its log to, this directory");
  app.add_flag("--progress", globals.progress,
               "Progress of long operations as plain lines on stderr when it is no terminal");
  app.add_option("--fleet", globals.fleet,
                 "Run the command on every sign listed in FILE (an address and optional "
                 "--node N per line), side by side")
      ->type_name("FILE");
  app.add_option("--parallel", globals.parallel, "Signs of a fleet worked at once")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  app.set_version_flag("--version", std::string("signctl ") + SIGNCTL_VERSION);

  AddShortForms(registry);
  AddDiagCommands(registry);
  AddTextCommands(registry);
  AddMessageCommands(registry);
  AddPlayCommands(registry);
  AddDirCommands(registry);
  AddFileCommands(registry);
  AddDataCommands(registry);
  AddFirmwareCommands(registry);
  AddOfflineCommands(app, globals);
}

}  // namespace signctl
