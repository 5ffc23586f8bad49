#include "face.hpp"

#include <algorithm>
#include <cctype>

#include "led_font.hpp"
#include "sign_commands.hpp"

namespace signsim {

namespace {

using Clock = std::chrono::steady_clock;

// The LEDs, and the rectangle that drawing is clipped to.
class Panel {
 public:
  Panel(int width, int height)
      : width_(width),
        height_(height),
        scale_(std::max(1, height / kCellHeight)),
        rows_(height, std::string(width, '0')) {}

  int scale() const { return scale_; }
  int TextWidth(std::string_view text) const {
    return static_cast<int>(text.size()) * kCellWidth * scale_;
  }

  // Draws `text` with its top left LED at (x, y), lighting only inside [left, right) x
  // [top, bottom).
  void Text(int x, int y, std::string_view text, int left, int top, int right, int bottom) {
    left = std::max(left, 0), top = std::max(top, 0);
    right = std::min(right, width_), bottom = std::min(bottom, height_);
    for (const char c : text) {
      const auto& glyph = Glyph(static_cast<unsigned char>(c));
      for (int gy = 0; gy < kGlyphHeight * scale_; ++gy) {
        for (int gx = 0; gx < kGlyphWidth * scale_; ++gx) {
          const int px = x + gx, py = y + gy;
          const bool on = (glyph[gy / scale_] >> (kGlyphWidth - 1 - gx / scale_)) & 1;
          if (on && px >= left && px < right && py >= top && py < bottom) rows_[py][px] = '1';
        }
      }
      x += kCellWidth * scale_;
    }
  }
  void Text(int x, int y, std::string_view text) { Text(x, y, text, 0, 0, width_, height_); }

  void Set(int x, int y, bool on) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) rows_[y][x] = on ? '1' : '0';
  }

  std::vector<std::string> TakeRows() && { return std::move(rows_); }

 private:
  int width_, height_, scale_;
  std::vector<std::string> rows_;
};

// A host's row or column (from 1, 0 counting as 1) as an LED index from 0.
int FromOne(int n) {
  return std::max(n, 1) - 1;
}

// The brightness schedule's level for the sign's time of day: the period that holds it
// (a period may run past midnight), else the schedule's own default.
int ScheduledLevel(const ConfigState& c, const ClockFields& now) {
  const int minute = now.hour * 60 + now.min;
  for (const ConfigState::Period& p : c.schedule) {
    const int start = p.startHour * 60 + p.startMin, stop = p.stopHour * 60 + p.stopMin;
    const bool inside =
        start <= stop ? minute >= start && minute < stop : minute >= start || minute < stop;
    if (inside) return p.level;
  }
  return c.scheduleDefault;
}

// A play-order entry shows its file's text when the file holds plain text, else its name.
std::string EntryText(const SignState& s, const PlayState::Entry& entry) {
  std::string upper = entry.name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const DirState::File* file = s.dir.Find(upper);
  if (file == nullptr || file->bytes.empty()) return entry.name;
  std::string text = file->bytes.substr(0, file->bytes.find_first_of("\r\n"));
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) != 0x7F;
  });
  return plain && !text.empty() ? text : entry.name;
}

}  // namespace

std::string ShownText(std::string_view latin1) {
  std::string out;
  for (const char ch : latin1) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) continue;
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

int Face::Lit() const {
  int lit = 0;
  for (const std::string& row : rows)
    lit += static_cast<int>(std::count(row.begin(), row.end(), '1'));
  return lit;
}

Face RenderFace(const SignState& s, Clock::time_point now) {
  Face face;
  face.width = kPixelsWide;
  face.height = kPixelsHigh;
  Panel panel(face.width, face.height);
  const auto place = [&](std::string source, int x, int y, const std::string& text) {
    face.texts.push_back({std::move(source), x, y, text});
  };

  const PlayState& play = s.play;
  if (play.mode != PlayState::Mode::kStopped && !play.entries.empty()) {
    // Time does not pass for the player: it stands on its first entry.
    const std::string text = EntryText(s, play.entries.front());
    panel.Text(0, 0, text);
    place("play order", 0, 0, text);
    face.showing = "play order entry 1 of " + std::to_string(play.entries.size()) + ": " +
                   play.entries.front().name +
                   (play.mode == PlayState::Mode::kPaused ? " (paused)" : "");
  } else if (const auto& shown = s.files.shown) {
    panel.Text(shown->left, shown->top, shown->name, shown->left, shown->top, shown->right + 1,
               shown->bot + 1);
    place("graphic", shown->left, shown->top, shown->name);
    face.showing = "graphic " + shown->name;
  } else if (s.text.text || s.text.scroll) {
    if (const auto& t = s.text.text) {
      panel.Text(FromOne(t->col), FromOne(t->row), t->msg);
      place("text", FromOne(t->col), FromOne(t->row), t->msg);
    }
    if (const auto& scroll = s.text.scroll) {
      const int left = FromOne(scroll->col);
      const long long travel = (face.width - left) + panel.TextWidth(scroll->msg);
      const long long perSecond = 4LL * (s.text.scrollSpeed + 1);
      const long long ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(now - scroll->since).count();
      const int x = face.width - static_cast<int>(std::max(ms, 0LL) * perSecond / 1000 % travel);
      panel.Text(x, FromOne(scroll->row), scroll->msg, left, 0, face.width, face.height);
      place("scroll", x, FromOne(scroll->row), scroll->msg);
      face.moving = true;
    }
    face.showing = s.text.text && s.text.scroll ? "text message and scroll text"
                   : s.text.text                ? "text message"
                                                : "scroll text";
  } else if (s.config.defaultEnabled && s.text.defaultMessage) {
    panel.Text(0, 0, s.text.defaultMessage->msg);
    place("default", 0, 0, s.text.defaultMessage->msg);
    face.showing = "default message " + std::to_string(s.text.defaultMessage->num);
  }

  int set = 0;
  for (const auto& [at, pixel] : s.config.pixels) {
    panel.Set(at.first, at.second, pixel.s != 0);
    set += pixel.s != 0;
  }
  if (face.showing.empty()) {
    face.showing = set > 0 ? "pixels set by pixel control" : "nothing: the panel is blank";
  }

  const int level = s.config.dimLevel == kScheduledLevel ? ScheduledLevel(s.config, s.clock.Now())
                                                         : s.config.dimLevel;
  face.level = std::clamp(level, 0, 15);
  face.rows = std::move(panel).TakeRows();
  return face;
}

nlohmann::json FaceJson(const Face& face) {
  nlohmann::json texts = nlohmann::json::array();
  for (const PlacedText& t : face.texts)
    texts.push_back({{"source", t.source}, {"x", t.x}, {"y", t.y}, {"text", ShownText(t.text)}});
  return {
      {"width", face.width},       {"height", face.height}, {"showing", ShownText(face.showing)},
      {"texts", std::move(texts)}, {"rows", face.rows},     {"level", face.level},
      {"moving", face.moving}};
}

}  // namespace signsim
