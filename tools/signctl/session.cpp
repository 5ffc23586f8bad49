#include "session.hpp"

#include "interrupt.hpp"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <vector>

#include "commands.hpp"

namespace signctl {

namespace {

[[noreturn]] void BadAddress(const std::string& url, const std::string& why) {
  throw UsageError("--connect: '" + url + "' " + why +
                   ": give tcp://HOST[:PORT], serial:DEVICE[?baud=N] or modem:DEVICE?dial=NUMBER");
}

// Decimal digits only, within lo..hi; nullopt otherwise.
std::optional<long> Decimal(const std::string& text, long lo, long hi) {
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const long value = std::stol(text);
  if (value < lo || value > hi) return std::nullopt;
  return value;
}

// DEVICE?key=value&...: the device, and the one parameter `key` allows (empty if absent).
std::pair<std::string, std::string> DeviceAndParameter(const std::string& url,
                                                       const std::string& rest,
                                                       const std::string& key) {
  const auto query = rest.find('?');
  const std::string device = rest.substr(0, query);
  if (device.empty()) BadAddress(url, "names no device");
  std::string value;
  if (query != std::string::npos) {
    const std::string parameter = rest.substr(query + 1);
    if (parameter.rfind(key + "=", 0) != 0) {
      BadAddress(url, "has the parameter '" + parameter + "' where only " + key + "= fits");
    }
    value = parameter.substr(key.size() + 1);
  }
  return {device, value};
}

std::string Plain(const Json& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

// Characters on the screen: UTF-8 continuation bytes take no column.
std::size_t Columns(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Entries as columns under their field names.
void PrintTable(const Json& rows) {
  if (rows.empty()) return;
  std::vector<std::string> keys;
  std::vector<std::size_t> widths;
  for (const auto& [key, value] : rows.front().items()) {
    keys.push_back(key);
    widths.push_back(key.size());
  }
  for (const Json& row : rows) {
    for (std::size_t i = 0; i < keys.size(); ++i)
      widths[i] = std::max(widths[i], Columns(Plain(row[keys[i]])));
  }
  const auto line = [&](const auto& cell) {
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const std::string value = cell(i);
      text += value + (i + 1 < keys.size() ? std::string(widths[i] + 2 - Columns(value), ' ') : "");
    }
    std::cout << text << '\n';
  };
  line([&](std::size_t i) { return keys[i]; });
  for (const Json& row : rows)
    line([&](std::size_t i) { return Plain(row[keys[i]]); });
}

// "name: value" per field; a result of one value prints the value alone.
void PrintText(const Json& fields) {
  if (fields.size() == 1 && !fields.front().is_structured()) {
    std::cout << Plain(fields.front()) << '\n';
    return;
  }
  for (const auto& [key, value] : fields.items()) {
    if (value.is_array()) {
      PrintTable(value);
    } else {
      std::cout << key << ": " << Plain(value) << '\n';
    }
  }
}

bool IsValueError(const std::exception& e) {
  return dynamic_cast<const std::invalid_argument*>(&e) != nullptr ||
         dynamic_cast<const std::out_of_range*>(&e) != nullptr ||
         dynamic_cast<const std::overflow_error*>(&e) != nullptr;
}

}  // namespace

qordtcon::classCONNECTION_METHOD ParseAddress(const std::string& url) {
  qordtcon::classCONNECTION_METHOD method;
  if (url.rfind("tcp://", 0) == 0) {
    const std::string rest = url.substr(6);
    std::string host = rest;
    std::string port = "3001";
    const bool bracketed = !rest.empty() && rest.front() == '[';
    const auto colon = bracketed ? rest.find("]:") : rest.rfind(':');
    if (colon != std::string::npos) {
      host = rest.substr(0, colon + (bracketed ? 1 : 0));
      port = rest.substr(colon + (bracketed ? 2 : 1));
    }
    if (bracketed) host = host.substr(1, host.find(']') - 1);
    if (host.empty()) BadAddress(url, "names no host");
    // The control takes a port below 10 for its default port, so those are refused here.
    if (!Decimal(port, 10, 65535)) BadAddress(url, "has the port '" + port + "', not 10..65535");
    method.HowToConnect = qordtcon::NetworkConnect;
    method.IPAddress = host;
    method.CommPort = port;
  } else if (url.rfind("serial:", 0) == 0) {
    auto [device, baud] = DeviceAndParameter(url, url.substr(7), "baud");
    if (baud.empty()) baud = "9600";
    if (!Decimal(baud, 1, 4000000)) BadAddress(url, "has the baud rate '" + baud + "'");
    method.HowToConnect = qordtcon::DirectConnect;
    method.CommPort = device;
    method.BaudRate = baud;
  } else if (url.rfind("modem:", 0) == 0) {
    const auto [device, number] = DeviceAndParameter(url, url.substr(6), "dial");
    if (number.empty()) BadAddress(url, "gives no number to dial");
    method.HowToConnect = qordtcon::ModemConnect;
    method.CommPort = device;
    method.PhoneNumber = number;
  } else {
    BadAddress(url, "is not a sign address");
  }
  return method;
}

std::string OneLine(std::string_view text) {
  std::string out;
  bool lineBreak = false;
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      lineBreak = true;
      continue;
    }
    if (lineBreak && !out.empty() && out.back() != ' ' && c != ' ') out += ' ';
    lineBreak = false;
    out += c;
  }
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}

Outcome Judged(qordtcon::qorDispTrans& control, bool ok, Json fields) {
  if (!ok) return {false, control.LastErrorMessage(), Json::object()};
  return {true, {}, std::move(fields)};
}

Outcome Read(qordtcon::qorDispTrans& control, Json fields) {
  // A refusal leaves the reply codes of the transaction before it, so the error text
  // decides first.
  return Judged(control, control.LastErrorMessage().empty() && control.WasLastTransmitionGood(),
                std::move(fields));
}

int Emit(const Outcome& outcome, bool json, const std::string& command) {
  const std::string reason = outcome.error.empty()
                                 ? command + ": the control reported failure and gave no reason"
                                 : OneLine(outcome.error);
  if (json) {
    Json object = {{"ok", outcome.ok}};
    if (!outcome.ok) object["error"] = TextValue(reason);
    for (const auto& [key, value] : outcome.fields.items())
      object[key] = value;
    std::cout << object.dump() << '\n';
  } else if (outcome.ok) {
    PrintText(outcome.fields);
  }
  if (outcome.ok) return kDone;
  std::cerr << "signctl: " << reason << '\n';
  return kRefused;
}

bool ErrIsTerminal() {
  return ::isatty(STDERR_FILENO) != 0;
}

int Execute(const Globals& globals, const std::string& command, const Action& action) {
  qordtcon::classCONNECTION_METHOD method = ParseAddress(globals.connect);
  method.dispID = static_cast<std::int16_t>(globals.node);
  if (action.check) {
    try {
      action.check();
    } catch (const std::exception& e) {
      if (!IsValueError(e)) throw;
      throw UsageError(command + ": " + e.what());
    }
  }

  if (!globals.log.empty()) qordtcon::LogToFile(globals.log);
  qordtcon::qorDispTrans control;
  if (globals.timeout) control.TransmitTimeOut(*globals.timeout);
  bool progressShown = false;
  if (ErrIsTerminal()) {
    control.OnMessage = [&progressShown](const std::string& text) {
      std::cerr << '\r' << text << "\033[K" << std::flush;
      progressShown = true;
    };
  }
  const InterruptGuard interrupt([&control, &action] {
    if (action.cancel) {
      action.cancel(control);
    } else {
      control.UserAbort();
    }
  });
  if (!control.OpenConnectionToDisplay(method)) {
    std::cerr << "signctl: " << OneLine(control.LastErrorMessage()) << '\n';
    return interrupt.Interrupted() ? kInterrupted : kNoConnection;
  }
  if (globals.newBcc) control.UseNewBccMethod(true);

  Outcome outcome;
  std::string valueError;
  try {
    outcome = action.run(control);
  } catch (const std::exception& e) {
    // A failed transaction explains the exception (a decoder found no reply); without one,
    // a value did not fit its field or the sign cannot do the operation at all.
    const std::string failure = control.LastErrorMessage();
    if (failure.empty() && IsValueError(e)) valueError = e.what();
    outcome = {false, failure.empty() ? e.what() : failure, Json::object()};
  }
  if (progressShown) std::cerr << '\n';
  control.CloseConnectionToDisplay();
  if (!valueError.empty()) throw UsageError(command + ": " + valueError);
  const int status = Emit(outcome, globals.json, command);
  return interrupt.Interrupted() ? kInterrupted : status;
}

}  // namespace signctl
