#include "web_face.hpp"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <httplib.h>
#include <qordtcon/link/log.hpp>

#include "shared_sign.hpp"
#include "tcp_server.hpp"

namespace signsim {

extern const unsigned char kFacePage[];  // face.html, built into the program

namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kViewSpacing{100};  // a burst of changes becomes one view
constexpr milliseconds kClockTick{1000};   // the clock moves without a change
constexpr milliseconds kFaceTick{50};      // a scroll text's steps
constexpr milliseconds kStopCheck{250};    // how long a stream may keep Stop() waiting
constexpr std::size_t kDumpShown = 480;    // a long file block shows its start
constexpr std::size_t kWorkers = 16;       // an open page holds one for its event stream

// Texts come from the sign as Latin-1: a byte that is not UTF-8 shows as U+FFFD.
std::string Dump(const nlohmann::json& j, int indent = -1) {
  return j.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json TrafficJson(const std::vector<TrafficLine>& lines) {
  nlohmann::json out = nlohmann::json::array();
  for (const TrafficLine& line : lines) {
    std::string dump = qordtcon::DumpFrame(line.bytes);
    if (dump.size() > kDumpShown) dump = dump.substr(0, kDumpShown) + "...";
    dump = ShownText(dump);
    const auto ms = std::chrono::duration_cast<milliseconds>(line.at.time_since_epoch()).count();
    out.push_back({{"from", line.fromHost ? "host" : "sign"},
                   {"at", ms},
                   {"bytes", line.bytes.size()},
                   {"dump", std::move(dump)}});
  }
  return out;
}

}  // namespace

nlohmann::json ViewJson(const SharedSign& sign) {
  return {{"face", FaceJson(sign.GetFace(Steady::now()))},
          {"state", sign.State()},
          {"traffic", TrafficJson(sign.RecentTraffic())}};
}

// One page's event stream: what it was last sent, and when.
struct WebFace::Stream {
  std::uint64_t shown = ~std::uint64_t{0};  // the revision the last view showed
  Steady::time_point lastView, lastFace;
  bool moving = false;
  bool started = false;
};

// Waits until the stream's next event is due and writes it into `event`; false once the
// server stops.
bool WebFace::Next(Stream& s, std::string& event) {
  std::uint64_t revision = sign_.WaitForChange(s.shown, milliseconds(0));
  while (!stopping_) {
    const Steady::time_point now = Steady::now();
    const bool changed = revision != s.shown;
    if ((changed && now >= s.lastView + kViewSpacing) || now >= s.lastView + kClockTick) {
      const nlohmann::json view = ViewJson(sign_);
      s.moving = view["face"]["moving"].get<bool>();
      s.shown = revision;
      s.lastView = s.lastFace = now;
      // A page that lost its stream asks again after a second.
      event = (s.started ? "" : "retry: 1000\n") + std::string("event: view\ndata: ") + Dump(view) +
              "\n\n";
      s.started = true;
      return true;
    }
    if (s.moving && now >= s.lastFace + kFaceTick) {
      const Face face = sign_.GetFace(now);
      s.moving = face.moving;
      s.lastFace = now;
      event = "event: face\ndata: " + Dump(FaceJson(face)) + "\n\n";
      return true;
    }
    Steady::time_point due = s.lastView + (changed ? kViewSpacing : kClockTick);
    if (s.moving) due = std::min(due, s.lastFace + kFaceTick);
    due = std::min(due, now + kStopCheck);
    // Waiting for a change beyond the one already seen: the view waits out its spacing.
    revision = sign_.WaitForChange(
        revision, std::chrono::ceil<milliseconds>(std::max(due - now, Steady::duration(0))));
  }
  return false;
}

WebFace::WebFace(SharedSign& sign, const std::string& address)
    : sign_(sign), server_(std::make_unique<httplib::Server>()) {
  asio::ip::tcp::endpoint endpoint;
  try {
    endpoint = ParseTcpEndpoint(address);
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(std::string("--http: ") + e.what());
  }
  httplib::Server& server = *server_;
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server.set_keep_alive_timeout(1);  // an idle browser connection does not hold up Stop()
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(reinterpret_cast<const char*>(kFacePage), "text/html; charset=utf-8");
  });
  server.Get("/state.json", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(Dump(sign_.State(), 2) + "\n", "application/json");
  });
  server.Get("/view.json", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(Dump(ViewJson(sign_)), "application/json");
  });
  server.Get("/events", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    auto stream = std::make_shared<Stream>();
    res.set_chunked_content_provider("text/event-stream",
                                     [this, stream](std::size_t, httplib::DataSink& sink) {
                                       std::string event;
                                       if (!Next(*stream, event)) {
                                         sink.done();
                                         return true;
                                       }
                                       return sink.write(event.data(), event.size());
                                     });
  });
  const std::string host = endpoint.address().to_string();
  const int port = endpoint.port() == 0                         ? server.bind_to_any_port(host)
                   : server.bind_to_port(host, endpoint.port()) ? endpoint.port()
                                                                : -1;
  if (port <= 0) {
    throw std::runtime_error("--http: cannot listen on " + address +
                             ": the port may be taken; give another, or port 0 for a free one");
  }
  port_ = static_cast<std::uint16_t>(port);
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    std::lock_guard lock(mutex_);
    listening_ = false;
    ended_.notify_all();
  });
}

WebFace::~WebFace() {
  Stop();
}

void WebFace::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  {
    // stop() reaches only a server that already listens, and must reach it once: the
    // listening thread may not have begun yet.
    std::unique_lock lock(mutex_);
    bool stopped = false;
    while (listening_) {
      if (!stopped && server_->is_running()) {
        server_->stop();
        stopped = true;
      }
      ended_.wait_for(lock, milliseconds(10));
    }
  }
  thread_.join();
}

}  // namespace signsim
