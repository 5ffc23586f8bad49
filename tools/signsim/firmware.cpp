#include "firmware.hpp"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <qordtcon/firmware/qx4.hpp>

#include "atomic_file.hpp"
#include "sha256.hpp"

namespace signsim {

using namespace qordtcon;

std::string_view BoardName(Board board) {
  return board == Board::Qx4 ? "qx4" : "menu";
}

Firmware::Firmware(const Options& options)
    : board_(options.board),
      outPath_(options.firmwareOut),
      loaderStartTime_(options.loaderStartTime) {}

void Firmware::Write(std::string image, Counters& counters) {
  image_ = std::move(image);
  flashing_ = false;
  Written(counters);
}

void Firmware::Written(Counters& counters) {
  sha256_.clear();
  ++changes_;
  ++writes_;
  ++counters.flashWrites;
  if (outPath_.empty()) return;
  WriteFileAtomically(outPath_, image_);
}

std::optional<std::string> Firmware::LoaderFrame(std::string_view frame, Clock::time_point now,
                                                 Counters& counters) {
  FirmwareDLQX4 request;
  std::optional<std::uint8_t> refusal;
  const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(frame[i]); };
  const std::uint16_t check =
      static_cast<std::uint16_t>(at(frame.size() - 2) | at(frame.size() - 1) << 8);
  if (QX4FrameCheck(frame.substr(0, frame.size() - 2)) != check) {
    refusal = FST_NACK;
  } else {
    try {
      request.SetStreamData(frame);
    } catch (const std::overflow_error&) {
      refusal = FST_NACK;  // an address beyond 2 GB: nowhere in this board
    }
  }
  // Starting the RAM loader: the board hears nothing until it runs.
  if (loaderStartsAt_ && !LoaderRunning(now)) return std::nullopt;
  const auto answer = [&](std::uint8_t status, double address = 0, std::string data = {}) {
    FirmwareDLQX4 a;
    a.NewCMD();
    a.Command = at(1);
    a.Status = status;
    a.Length = static_cast<std::int32_t>(data.size());
    a.Address = address;
    a.Data = std::move(data);
    return a.GetStreamData();
  };
  if (refusal) return answer(*refusal);
  ++counters.loaderFrames;
  const std::string_view data = frame.substr(kQX4HeaderSize, frame.size() - kQX4HeaderSize - 2);
  const auto address = static_cast<std::size_t>(request.Address);
  const bool running = LoaderRunning(now);
  // A block goes on at the end of what came before; one at 0 starts over; a short one is
  // the last. The refusal, if any.
  const auto block = [&](std::string& into, bool& open, std::size_t room) {
    if (address == 0) {
      into.clear();
      open = true;
    }
    if (!open || address != into.size()) return std::optional<std::uint8_t>(FST_SEQ_ERROR);
    if (into.size() + data.size() > room) return std::optional<std::uint8_t>(FST_NO_MEMORY);
    into += data;
    open = data.size() == kQx4BlockSize;
    return std::optional<std::uint8_t>();
  };
  switch (request.Command) {
    case FDL_QUERY:
      return answer(running ? FST_LOADER_RUNNING : FST_NEED_LOADER, 0,
                    std::string(kQx4BoardName) + '\0');
    case FDL_RAM_SIZE:
      return answer(FST_ACK, kQx4RamSize);
    case FDL_RAM_LOADER: {
      if (running) return answer(FST_LOADER_RUNNING, request.Address);
      bool open = !loaderComplete_;
      const auto refused = block(loader_, open, kQx4RamSize);
      loaderComplete_ = !open;
      return answer(refused.value_or(FST_ACK), request.Address);
    }
    case FDL_RUN_RAM:
      if (loaderComplete_ && !loaderStartsAt_) loaderStartsAt_ = now + loaderStartTime_;
      return std::nullopt;
    case FDL_FLASH_CODE: {
      if (!running) return answer(FST_NEED_LOADER, request.Address);
      // Flash is written block by block as the blocks come: the first erases the old
      // image, and the last leaves the new one whole, whatever follows.
      const auto refused = block(image_, flashing_, kMaxImage);
      if (!refused || address == 0) {
        sha256_.clear();
        ++changes_;
      }
      if (refused) return answer(*refused, request.Address);
      if (!flashing_) Written(counters);
      return answer(FST_ACK, request.Address);
    }
    case FDL_REBOOT:
      // The loader lived in RAM: the board comes back with what its flash holds.
      loader_.clear();
      loaderComplete_ = flashing_ = false;
      loaderStartsAt_.reset();
      return answer(FST_REBOOTING);
    default:
      return answer(FST_NACK);
  }
}

nlohmann::json Firmware::State(Clock::time_point now) const {
  if (sha256_.empty()) sha256_ = Sha256Hex(image_);
  return {{"board", BoardName(board_)},
          {"size", image_.size()},
          {"sha256", sha256_},
          {"flashWrites", writes_},
          {"loaderBytes", loader_.size()},
          {"loaderRunning", LoaderRunning(now)}};
}

}  // namespace signsim
