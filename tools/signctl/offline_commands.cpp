#include <cctype>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <qordtcon/qordtcon.hpp>

#include "commands.hpp"

namespace signctl {

namespace {

// Bytes from hex text: pairs of digits, blanks between pairs allowed.
std::string ParseHex(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      throw UsageError("'" + text + "' is not hex: give bytes as pairs of hex digits, e.g. 10 02");
    }
    digits += c;
  }
  if (digits.size() % 2 != 0) {
    throw UsageError("'" + text +
                     "' has an odd number of hex digits: give every byte as two digits, e.g. 0A");
  }
  std::string bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The dump breaks lines with CR LF as the log file does; a terminal wants LF.
std::string ForTerminal(std::string text) {
  for (std::size_t pos; (pos = text.find("\r\n")) != std::string::npos;)
    text.erase(pos, 1);
  return text;
}

struct FrameOptions {
  int node = 1;
  int cmd = 0;
  int fnc = 0;
  int tn = 1;
  bool newBcc = false;
  std::string data;
};

struct DumpOptions {
  std::vector<std::string> hex;
};

}  // namespace

void AddOfflineCommands(CLI::App& app, const Globals& globals) {
  auto frame = std::make_shared<FrameOptions>();
  auto* fc =
      app.add_subcommand("frame", "Build a command frame and print its bytes and annotated dump");
  fc->group("Offline helpers");
  fc->add_option("--node", frame->node, "Destination node (0..255, 255 = all signs)")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  fc->add_option("--cmd", frame->cmd, "Command code (0..255)")
      ->required()
      ->check(CLI::Range(0, 255));
  fc->add_option("--fnc", frame->fnc, "Function code (0..255)")
      ->required()
      ->check(CLI::Range(0, 255));
  fc->add_option("--tn", frame->tn, "Transaction number (0..65535)")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str();
  fc->add_flag("--new-bcc", frame->newBcc, "Use the new block check (STS 0xAA)");
  fc->add_option("--data", frame->data, "Payload as hex pairs, e.g. \"41 42\"");
  fc->callback([frame] {
    const qordtcon::CommandHeader header{static_cast<std::uint8_t>(frame->node),
                                         static_cast<std::uint8_t>(frame->cmd),
                                         static_cast<std::uint8_t>(frame->fnc),
                                         static_cast<std::uint16_t>(frame->tn), frame->newBcc};
    const std::string bytes = qordtcon::BuildCommandFrame(header, ParseHex(frame->data));
    std::cout << Hex(bytes) << '\n' << ForTerminal(qordtcon::DumpFrame(bytes)) << '\n';
  });

  auto dump = std::make_shared<DumpOptions>();
  auto* dc = app.add_subcommand("dump", "Annotate bytes as the communication log does");
  dc->group("Offline helpers");
  dc->add_option("hex", dump->hex, "Bytes as hex pairs")->required();
  dc->callback([dump] {
    std::string bytes;
    for (const auto& h : dump->hex)
      bytes += ParseHex(h);
    std::cout << ForTerminal(qordtcon::DumpFrame(bytes)) << '\n';
  });

  // The control's code lookups need no sign: they are the engine's texts. A code without one
  // has no answer, not an empty one: a note on stderr, or null with --json. The lookup
  // itself went well, so the status stays 0 (and a batch of commands goes on).
  struct Lookup {
    const char* method;
    std::string (*text)(std::uint8_t);
    const char* kind;
    const char* help;
  };
  for (const Lookup& lookup :
       {Lookup{"LookupDispCommandCode", &qordtcon::classrTransRoutines::LookUpCommandErrorCode,
               "command", "The text of a reply's command code"},
        Lookup{"LookupDispFunctionCode", &qordtcon::classrTransRoutines::LookUpFunctionErrorCode,
               "function", "The text of a reply's function (error) code"}}) {
    auto code = std::make_shared<int>(0);
    const std::string name = Kebab(lookup.method);
    auto* lc = app.add_subcommand(name, lookup.help);
    lc->group("Offline helpers");
    lc->add_option("--code", *code, "The code (0..255, 0x hex allowed)")
        ->required()
        ->check(CLI::Range(0, 255));
    lc->callback([&globals, code, name, text = lookup.text, kind = std::string(lookup.kind)] {
      const std::string found = text(static_cast<std::uint8_t>(*code));
      if (!found.empty() || globals.json) {
        Emit({true, {}, {{"text", found.empty() ? Json(nullptr) : TextValue(found)}}}, globals.json,
             name);
        return;
      }
      const std::string hex = qordtcon::HexText(static_cast<std::uint32_t>(*code));
      std::cerr << "signctl: no text is known for " << kind << " code 0x"
                << (hex.size() < 2 ? "0" : "") << hex << '\n';
    });
  }
}

}  // namespace signctl
