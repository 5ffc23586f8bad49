#include "session.hpp"

#include "interrupt.hpp"
#include "process.hpp"

#include <asio.hpp>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
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

}  // namespace

std::string Plain(const Json& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

namespace {

// Characters on the screen: UTF-8 continuation bytes take no column.
std::size_t Columns(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

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

namespace {

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

std::optional<long> Decimal(const std::string& text, long lo, long hi) {
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const long value = std::stol(text);
  if (value < lo || value > hi) return std::nullopt;
  return value;
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

Json ToJson(const Outcome& outcome, const std::string& reason, Json object) {
  object["ok"] = outcome.ok;
  if (!outcome.ok) object["error"] = TextValue(reason);
  if (outcome.codes) {
    object["cmd"] = outcome.codes->first;
    object["fnc"] = outcome.codes->second;
  }
  for (const auto& [key, value] : outcome.fields.items())
    object[key] = value;
  return object;
}

int Emit(const Outcome& outcome, bool json, const std::string& command, const std::string& where) {
  const std::string reason = outcome.error.empty()
                                 ? command + ": the control reported failure and gave no reason"
                                 : OneLine(outcome.error);
  if (json) {
    std::cout << ToJson(outcome, reason).dump() << '\n';
  } else if (outcome.ok) {
    PrintText(outcome.fields);
  }
  std::cout.flush();
  if (outcome.ok) return kDone;
  std::cerr << "signctl: " << where << reason << '\n';
  return kRefused;
}

int Fail(int status, const std::string& text, bool json, const std::string& where) {
  if (json) std::cout << Json{{"ok", false}, {"error", TextValue(text)}}.dump() << std::endl;
  std::cerr << "signctl: " << where << text << '\n';
  return status;
}

namespace {

thread_local Progress shown = Progress::kNone;

// What the system says when this computer tries the address itself: the control's text
// names the step that failed, not the port or device, nor why.
std::string SystemReason(const qordtcon::classCONNECTION_METHOD& method) {
  asio::io_context io;
  std::error_code ec;
  if (method.HowToConnect == qordtcon::NetworkConnect) {
    asio::ip::tcp::resolver resolver(io);
    const auto endpoints = resolver.resolve(method.IPAddress, method.CommPort, ec);
    if (ec) return ec.message();
    asio::ip::tcp::socket socket(io);
    bool done = false;
    asio::async_connect(socket, endpoints, [&](const std::error_code& e, const auto&) {
      ec = e;
      done = true;
    });
    io.run_for(std::chrono::seconds(2));
    if (!done) return "no answer within 2 s";
  } else {
    asio::serial_port port(io);
    port.open(method.CommPort, ec);
  }
  return ec ? ec.message() : std::string();
}

std::string WithReason(const std::string& text, const std::string& url,
                       const qordtcon::classCONNECTION_METHOD& method) {
  std::string reason = SystemReason(method);
  if (!reason.empty()) {
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    reason = ": " + reason;
  }
  return OneLine(text) + " (" + url + reason + ")";
}

// The codes of a refusal, which the sign sends as command 0xF1 with its reason in the
// function byte. The control keeps the codes of the last accepted reply only, so they
// are read back from the refusal's text, whose form is fixed.
std::optional<std::pair<int, int>> RefusalCodes(const std::string& error) {
  static const std::string kPrefix = "Display Reported Error [";
  if (error.rfind(kPrefix, 0) != 0) return std::nullopt;
  const auto cmdEnd = error.find(']', kPrefix.size());
  const auto fncStart = error.find(" [", cmdEnd);
  if (cmdEnd == std::string::npos || fncStart == std::string::npos) return std::nullopt;
  try {
    return std::pair{std::stoi(error.substr(kPrefix.size()), nullptr, 16),
                     std::stoi(error.substr(fncStart + 2), nullptr, 16)};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

Progress ProgressShown() {
  return shown;
}

void RefuseBroadcastRead(const Globals& globals, const std::string& command, const Action& action) {
  if (globals.node == qordtcon::kBroadcastNode && action.reads && action.reads()) {
    throw UsageError(command +
                     " reads an answer, and no sign answers a message to all signs "
                     "(--node 255): give one sign's node");
  }
}

Session::Session(const Globals& globals, bool quiet) : globals_(globals), quiet_(quiet) {}

Session::~Session() {
  Close();
}

std::optional<std::string> Session::Open() {
  qordtcon::classCONNECTION_METHOD method = ParseAddress(globals_.connect);
  method.dispID = static_cast<std::int16_t>(globals_.node);
  // The directory and play-order walks say which entry they read.
  control_.OnMessage = [this](const std::string& text) {
    if (shown == Progress::kBar) {
      std::cerr << '\r' << text << "\033[K" << std::flush;
      progressDrawn_ = true;
    } else if (shown == Progress::kLines) {
      std::cerr << "signctl: " << text << '\n';
    }
  };
  open_ = control_.OpenConnectionToDisplay(method);
  if (!open_) return WithReason(control_.LastErrorMessage(), globals_.connect, method);
  defaultTimeout_ = control_.TransmitTimeOut();
  defaultRetries_ = control_.RetryCount();
  return std::nullopt;
}

Outcome Session::Run(const Globals& line, const std::string& command, const Action& action) {
  if (line.node != control_.DestinationNode()) {
    control_.DestinationNode(static_cast<std::int16_t>(line.node));
  }
  control_.TransmitTimeOut(line.timeout.value_or(defaultTimeout_));
  control_.RetryCount(line.retry.value_or(defaultRetries_));
  if (line.newBcc && !control_.UseNewBccMethod()) {
    control_.UseNewBccMethod(true);
    if (!control_.WasLastTransmitionGood() && !quiet_) {
      std::cerr << "signctl: the sign did not take the new block check (--new-bcc): "
                << OneLine(control_.LastErrorMessage()) << "; the old one stays in use\n";
    }
  }
  shown = quiet_                               ? Progress::kQuiet
          : ErrIsTerminal()                    ? Progress::kBar
          : line.progress || globals_.progress ? Progress::kLines
                                               : Progress::kNone;
  {
    const std::lock_guard lock(mutex_);
    running_ = &action;
  }
  // Frames that went out: a broadcast succeeds by being sent.
  int sent = 0;
  control_.OnPacketSent = [&sent](std::int16_t, std::int16_t) { ++sent; };
  Outcome outcome;
  std::string valueError;
  try {
    outcome = action.run(control_);
  } catch (const std::exception& e) {
    // A failed transaction explains the exception (a decoder found no reply); without one,
    // a value did not fit its field or the sign cannot do the operation at all.
    const std::string failure = control_.LastErrorMessage();
    if (failure.empty() && IsValueError(e)) valueError = e.what();
    outcome = {false, failure.empty() ? e.what() : failure, Json::object()};
  }
  control_.OnPacketSent = nullptr;
  {
    const std::lock_guard lock(mutex_);
    running_ = nullptr;
  }
  if (shown == Progress::kBar && progressDrawn_) std::cerr << '\n';
  progressDrawn_ = false;
  if (!valueError.empty()) throw UsageError(command + ": " + valueError);
  if (!outcome.ok) outcome.codes = RefusalCodes(outcome.error);
  // No sign answers a frame for all signs: the reply rule's "Timed Out" only says so.
  if (line.node == qordtcon::kBroadcastNode && sent > 0 &&
      (outcome.ok || outcome.error.rfind("Timed Out", 0) == 0)) {
    if (!quiet_) {
      std::cerr << "signctl: sent to all signs; no reply is awaited, so it cannot be confirmed\n";
    }
    outcome = {true, {}, outcome.ok ? outcome.fields : Json::object()};
  }
  return outcome;
}

void Session::Cancel() {
  const std::lock_guard lock(mutex_);
  if (running_ != nullptr && running_->cancel) {
    running_->cancel(control_);
  } else {
    control_.UserAbort();
  }
}

void Session::Close() {
  if (!open_) return;
  open_ = false;
  control_.CloseConnectionToDisplay();
}

void UseSettingsDirectory(const std::string& dir) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    throw UsageError("--settings-dir: '" + dir + "' is not a directory: give an existing one");
  }
  SetEnvironment("QORDTCON_SETTINGS_DIR", dir);
  SetEnvironment("QORDTCON_LOG_DIR", dir);
}

void CheckBeforeSending(const Globals& globals, const std::string& command, const Action& action) {
  (void)ParseAddress(globals.connect);
  RefuseBroadcastRead(globals, command, action);
  if (!action.check) return;
  try {
    action.check();
  } catch (const std::exception& e) {
    if (!IsValueError(e)) throw;
    throw UsageError(command + ": " + e.what());
  }
}

int Execute(const Globals& globals, const std::string& command, const Action& action) {
  CheckBeforeSending(globals, command, action);
  if (!globals.log.empty()) qordtcon::LogToFile(globals.log);
  Session session(globals, false);
  const InterruptGuard interrupt([&session] { session.Cancel(); });
  if (const auto failure = session.Open()) {
    return interrupt.Interrupted() ? Fail(kInterrupted, OneLine(*failure), globals.json)
                                   : Fail(kNoConnection, *failure, globals.json);
  }
  const Outcome outcome = session.Run(globals, command, action);
  session.Close();
  const int status = Emit(outcome, globals.json, command);
  return interrupt.Interrupted() ? kInterrupted : status;
}

}  // namespace signctl
