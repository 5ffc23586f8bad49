// A host program against the installed qordtcon: opens a sign on TCP, shows a text and
// reads the statistics record.
//
//   host tcp://HOST[:PORT] [TEXT]
//
// Exit status: 0 done, 1 the sign refused or a transaction failed, 2 usage error,
// 3 the sign could not be reached. Every failure prints the control's LastErrorMessage.
#include <qordtcon/qordtcon.hpp>

#include <charconv>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kNoConnection = 3;

struct Address {
  std::string host;
  std::string port = "3001";
};

// tcp://HOST[:PORT]; false when the text is no such address.
bool ParseAddress(std::string_view url, Address& address) {
  constexpr std::string_view scheme = "tcp://";
  if (url.substr(0, scheme.size()) != scheme) return false;
  url.remove_prefix(scheme.size());
  const auto colon = url.rfind(':');
  address.host = std::string(url.substr(0, colon));
  if (colon != std::string_view::npos) {
    const std::string_view digits = url.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc{} || end != digits.data() + digits.size() || port == 0 || port > 65535) {
      return false;
    }
    address.port = std::string(digits);
  }
  return !address.host.empty();
}

// A transaction failed: the control says why in LastErrorMessage.
int Failed(const qordtcon::qorDispTrans& sign, std::string_view what) {
  std::cerr << "host: " << what << ": " << sign.LastErrorMessage() << '\n';
  return kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  Address address;
  if (argc < 2 || argc > 3 || !ParseAddress(argv[1], address)) {
    std::cerr << "usage: host tcp://HOST[:PORT] [TEXT]\n";
    return kUsage;
  }
  const std::string message = argc == 3 ? argv[2] : "HELLO FROM HOST";

  qordtcon::qorDispTrans sign;
  sign.OnStatus = [](const std::string& status) { std::clog << "host: " << status << '\n'; };

  qordtcon::classCONNECTION_METHOD how;
  how.HowToConnect = qordtcon::NetworkConnect;
  how.IPAddress = address.host;
  how.CommPort = address.port;
  how.dispID = 1;
  if (!sign.OpenConnectionToDisplay(how)) {
    std::cerr << "host: cannot open " << argv[1] << ": " << sign.LastErrorMessage() << '\n';
    return kNoConnection;
  }

  qordtcon::classTEXT_MSG text;
  text.row = 1;
  text.col = 1;
  text.msg = message;
  try {
    // A value that does not fit its field throws before anything is sent.
    if (!sign.SetDisplayTextMessage(text)) return Failed(sign, "show text");
  } catch (const std::exception& e) {
    std::cerr << "host: show text: " << e.what() << '\n';
    return kUsage;
  }

  // A failed read returns an unfilled record; the error text and the reply decide.
  const qordtcon::classDIAG_STATS stats = sign.GetDisplayStats();
  if (!sign.LastErrorMessage().empty() || !sign.WasLastTransmitionGood()) {
    return Failed(sign, "read statistics");
  }
  std::cout << "appl_name: " << stats.appl_name << '\n'
            << "serial_num: " << stats.serial_num << '\n'
            << "node_address: " << stats.node_address << '\n'
            << "pixels: " << stats.pixels_wide << 'x' << stats.pixels_high << '\n'
            << "shown: " << message << '\n';
  sign.CloseConnectionToDisplay();
  return 0;
}
