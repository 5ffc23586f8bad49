// The board's firmware: the image in its flash, and the memory of a QX4 board's loader
// protocol (the RAM loader it was given, whether that runs, where the image being
// flashed has got to). Not thread-safe on its own; SharedSign guards it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "signsim/simulator.hpp"

namespace signsim {

// What a QX4 board calls itself in its answer to a QUERY, and the RAM it reports.
inline constexpr std::string_view kQx4BoardName = "QX4-SIM";
inline constexpr std::int32_t kQx4RamSize = 256 * 1024;
// Loader and image blocks are this long; a shorter one (0 bytes too) is the last.
inline constexpr std::size_t kQx4BlockSize = 1024;
// The largest image either board takes.
inline constexpr std::size_t kMaxImage = 16 << 20;

class Firmware {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Firmware(const Options& options);

  Board board() const { return board_; }

  // The image becomes the firmware; it also replaces the --firmware-out file, whole.
  void Write(std::string image, Counters& counters);
  // Counts every change to the flash, a QX4 block written included.
  std::uint64_t Changes() const { return changes_; }

  // A whole QX4 loader frame, check value included, received at `now`: the answer frame,
  // or nothing (RUN_RAM is never answered; a board starting its loader says nothing).
  std::optional<std::string> LoaderFrame(std::string_view frame, Clock::time_point now,
                                         Counters& counters);

  nlohmann::json State(Clock::time_point now) const;

 private:
  bool LoaderRunning(Clock::time_point now) const {
    return loaderStartsAt_ && now >= *loaderStartsAt_;
  }
  // The image in flash is whole: one flash write.
  void Written(Counters& counters);

  const Board board_;
  const std::string outPath_;
  const std::chrono::milliseconds loaderStartTime_;
  std::string image_;           // the flash's content
  mutable std::string sha256_;  // of image_, worked out when the state is dumped
  int writes_ = 0;
  std::uint64_t changes_ = 0;
  // The QX4 loader protocol: the RAM loader as received, and whether an image is being
  // flashed (its next block goes on at the end of image_).
  std::string loader_;
  bool loaderComplete_ = false;
  std::optional<Clock::time_point> loaderStartsAt_;
  bool flashing_ = false;
};

}  // namespace signsim
