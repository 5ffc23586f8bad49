#include <gtest/gtest.h>

#include <httplib.h>

#include <chrono>
#include <functional>
#include <string>

#include "sign_rig.hpp"
#include "signsim/face.hpp"

using namespace std::chrono_literals;
using signsim::SignState;

namespace {

using Message = signsim::TextState::Message;
using Scroll = signsim::TextState::Scroll;
using Default = signsim::TextState::Default;
using Mode = signsim::PlayState::Mode;
using Time = std::chrono::steady_clock::time_point;

// The rows of an 'H' at twice the font's size: rows 0..5 and 8..13, then its bar.
constexpr const char* kHTop = "110000001100";
constexpr const char* kHBar = "111111111100";

struct Place {
  int y, x;
  std::string leds;  // the LED row from x
};

struct Case {
  const char* name;
  std::function<void(SignState&, Time)> set;
  std::chrono::milliseconds at;  // after the set-up's time
  std::string showing;
  int lit;  // -1: not checked
  std::vector<Place> places;
  bool moving = false;
  int level = 15;
};

}  // namespace

TEST(SignsimFace, WhatWinsWhereItStandsAndWhichLedsLight) {
  const std::string blank = "nothing: the panel is blank";
  // clang-format off
  const Case cases[] = {
      {"nothing", [](SignState&, Time) {}, 0ms, blank, 0, {{0, 0, "000"}}},
      {"a text at row 1, column 1 is at the top left",
       [](SignState& s, Time) { s.text.text = Message{1, 1, 0, "H", ""}; }, 0ms, "text message", 68,
       {{0, 0, kHTop}, {6, 0, kHBar}, {7, 0, kHBar}, {13, 0, kHTop}, {14, 0, "000000000000"}}},
      {"rows and columns count LEDs from 1; a text wins over the default message",
       [](SignState& s, Time) {
         s.text.text = Message{3, 13, 0, "H", ""};
         s.text.defaultMessage = Default{7, "HH"};
         s.config.defaultEnabled = true;
       }, 0ms, "text message", 68,
       {{1, 12, "000000000000"}, {2, 12, kHTop}, {8, 12, kHBar}}},
      {"a text is cut off at the right edge; a character the font lacks is a box",
       [](SignState& s, Time) { s.text.text = Message{0, 79, 0, "\x01H", ""}; }, 0ms, "text message",
       80 + 36, {{0, 78, "111111111100110000"}, {6, 78, "110000001100111111"}}},
      {"the default message shows when switched on and nothing else shows",
       [](SignState& s, Time) { s.text.defaultMessage = Default{7, "H"}; s.config.defaultEnabled = true; },
       0ms, "default message 7", 68, {{0, 0, kHTop}}},
      {"switched off it does not",
       [](SignState& s, Time) { s.text.defaultMessage = Default{7, "H"}; }, 0ms, blank, 0, {}},
      {"a running play order shows its entry's first text line, over a text and the default",
       [](SignState& s, Time) {
         s.text.text = Message{1, 1, 0, "HH", ""};
         s.text.defaultMessage = Default{7, "HH"};
         s.config.defaultEnabled = true;
         s.dir.files.emplace_back().name = "A.TXT";
         s.dir.files.back().bytes = "H\r\nsecond line";
         s.play.entries = {{"a.txt", 5, 0, 0}, {"LOGO.QFX", 5, 0, 0}};
         s.play.mode = Mode::kPaused;
       }, 0ms, "play order entry 1 of 2: a.txt (paused)", 68, {{0, 0, kHTop}}},
      {"a graphic's name is clipped to its rectangle",
       [](SignState& s, Time) { s.files.shown = signsim::FileState::Shown{"HH.QFX", 2, 0, 5, 15}; },
       0ms, "graphic HH.QFX", 28 + 4, {{0, 0, "0011000"}}},
      {"pixel control lights and darkens LEDs over what shows",
       [](SignState& s, Time) {
         s.text.text = Message{1, 1, 0, "H", ""};
         s.config.pixels[{0, 0}] = {1, 0};
         s.config.pixels[{95, 15}] = {1, 1};
       }, 0ms, "text message", 68, {{0, 0, "010000001100"}, {15, 95, "1"}}},
      {"a scroll text starts beyond the right edge",
       [](SignState& s, Time t) { s.text.scroll = Scroll{1, 1, 0, 0, "H", t}; }, 0ms, "scroll text", 0,
       {}, true},
      {"and moves 4 x (speed + 1) columns a second",
       [](SignState& s, Time t) { s.text.scroll = Scroll{1, 1, 0, 0, "H", t}; }, 1000ms, "scroll text",
       68, {{0, 72, kHTop}}, true},
      {"leaving at its column (60 columns: x = 36, of which 40..47 show)",
       [](SignState& s, Time t) { s.text.scrollSpeed = 9; s.text.scroll = Scroll{1, 41, 0, 0, "H", t}; },
       1500ms, "scroll text", 28 + 4 + 4, {{0, 36, "000000001100"}, {6, 36, "000011111100"}}, true},
      {"a scheduled brightness takes the period that holds the sign's time (one wraps)",
       [](SignState& s, Time) {
         s.config.dimLevel = 21;
         s.clock.Set({12, 30, 0, 1, 6, 26, 1});
         s.config.schedule = {{6, 0, 11, 0, 9}, {22, 0, 13, 0, 4}};
       }, 0ms, blank, 0, {}, false, 4},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    signsim::Counters counters;
    SignState state(signsim::Options{}, counters);
    const Time t0 = std::chrono::steady_clock::now();
    c.set(state, t0);
    const signsim::Face face = signsim::RenderFace(state, t0 + c.at);
    EXPECT_EQ(face.showing, c.showing);
    if (c.lit >= 0) {
      EXPECT_EQ(face.Lit(), c.lit);
    }
    ASSERT_EQ(face.rows.size(), 16u);
    ASSERT_EQ(face.rows[0].size(), 96u);
    for (const Place& p : c.places)
      EXPECT_EQ(face.rows[p.y].substr(p.x, p.leds.size()), p.leds) << "row " << p.y;
    EXPECT_EQ(face.moving, c.moving);
    EXPECT_EQ(face.level, c.level);
  }
}

// The page's server on loopback: the dump as --dump-state writes it, and a change that
// reaches an open event stream.
TEST(SignsimFace, PageServesTheStateAndStreamsChanges) {
  signsim::Options options;
  options.http = "127.0.0.1:0";
  SignRig rig(options);
  ASSERT_NE(rig.sim->HttpPort(), 0);
  ASSERT_TRUE(rig.Open(rig.Tcp()));
  // The sign counts the connection on its own thread: wait, or the two dumps may differ.
  ASSERT_TRUE(rig.sim->WaitFor([](const auto& c) { return c.connections == 1; }, 10s));

  httplib::Client client("127.0.0.1", rig.sim->HttpPort());
  client.set_read_timeout(30s);
  const auto state = client.Get("/state.json");
  ASSERT_TRUE(state);
  auto served = nlohmann::json::parse(state->body);
  auto direct = rig.sim->State();
  served.erase("clock"), direct.erase("clock");  // a second may pass in between
  EXPECT_EQ(served, direct);

  // The first view comes at once; the text, sent after it, comes in a later one.
  std::string received;
  bool sent = false;
  client.Get("/events", [&](const char* data, std::size_t size) {
    received.append(data, size);
    if (!sent && received.find("event: view\n") != std::string::npos) {
      sent = true;
      EXPECT_TRUE(rig.Transact(1, 0, std::string("\x01\x01\x00HELLO\x00", 9)));
    }
    return received.find("\"text\":\"HELLO\"") == std::string::npos;
  });
  EXPECT_EQ(received.rfind("retry: 1000\nevent: view\ndata: {", 0), 0u);
  EXPECT_NE(received.find(R"({"source":"text","text":"HELLO","x":0,"y":0})"), std::string::npos);
  EXPECT_NE(received.find(R"("showing":"text message")"), std::string::npos);
  EXPECT_NE(received.find(R"("dump":"DLE=[10] STX=[2] DST=[1] SRC=[0] CMD=[1] )"),
            std::string::npos);
}
