// The sign's web page: the panel drawn as a passer-by sees it, and beside it what a
// technician wants to know, served on one address (loopback unless told otherwise).
//   GET /            the page
//   GET /state.json  the state dump, as --dump-state writes it
//   GET /view.json   what the page shows: the face, the state and the last frames
//   GET /events      the same as server-sent events: "view" on every change (at most ten
//                    a second, and once a second for the clock), "face" twenty times a
//                    second while a scroll text runs
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

namespace httplib {
class Server;
}

namespace signsim {

class SharedSign;

class WebFace {
 public:
  // Listens on `address` (ADDR:PORT, port 0 = ephemeral); std::runtime_error beginning
  // "--http: " and saying why when it cannot.
  WebFace(SharedSign& sign, const std::string& address);
  ~WebFace();  // Stop()
  WebFace(const WebFace&) = delete;
  WebFace& operator=(const WebFace&) = delete;

  std::uint16_t Port() const { return port_; }
  // Ends the event streams and the server; returns when its threads are gone.
  void Stop();

 private:
  struct Stream;
  bool Next(Stream& stream, std::string& event);

  SharedSign& sign_;
  std::unique_ptr<httplib::Server> server_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable ended_;
  bool listening_ = true;  // until the listening thread returns
  std::thread thread_;
};

// What the page draws, as one object: the face now, the state and the annotated frames.
nlohmann::json ViewJson(const SharedSign& sign);

}  // namespace signsim
