// What the panel shows a passer-by, worked out from the sign's state: which item wins, where
// its text stands, and which LEDs light. signsim's web page draws this; nothing the host
// reads depends on it.
//
// What wins, first match:
//   1. a running or paused play order: its current entry (the file's text when the file is
//      plain text, else its name) from the top left;
//   2. a graphic shown by the file commands: its name, clipped to its rectangle;
//   3. the text message and the scroll text, each at its own place (both may show);
//   4. the default message, when the default-message switch is on;
//   5. nothing: a blank panel (a clear removes 2 and 3).
// LEDs set through pixel control are drawn over any of these (state 0 darkens the LED).
// Texts stand at (row, column) counted in LEDs from 1, 0 counting as 1; the scroll text
// enters at the right edge and leaves at its column, 4 x (speed + 1) LED columns a second.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sign_state.hpp"

namespace signsim {

struct PlacedText {
  std::string source;  // "play order", "graphic", "text", "scroll", "default"
  int x = 0, y = 0;    // top left LED, from 0; a scroll text's x moves
  std::string text;
};

struct Face {
  int width = 0, height = 0;
  std::string showing;  // a sentence naming what the panel shows
  std::vector<PlacedText> texts;
  std::vector<std::string> rows;  // top first; '1' lit, '0' dark
  int level = 15;                 // brightness in effect, 0..15
  bool moving = false;            // a scroll text runs: the face changes with time alone

  int Lit() const;
};

Face RenderFace(const SignState& s, std::chrono::steady_clock::time_point now);
// Texts in it are converted from the sign's Latin-1 to UTF-8.
nlohmann::json FaceJson(const Face& face);

// A text of the sign (Latin-1) as UTF-8 for a page, control characters left out.
std::string ShownText(std::string_view latin1);

}  // namespace signsim
