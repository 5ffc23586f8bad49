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
  sha256_.clear();
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
  // the last.
  const auto block = [&](std::string& into, bool& complete, std::size_t room) {
    if (address == 0) {
      into.clear();
      complete = false;
    }
    if (complete || address != into.size()) return answer(FST_SEQ_ERROR, request.Address);
    if (into.size() + data.size() > room) return answer(FST_NO_MEMORY, request.Address);
    into += data;
    complete = data.size() < kQx4BlockSize;
    return answer(FST_ACK, request.Address);
  };
  switch (request.Command) {
    case FDL_QUERY:
      return answer(running ? FST_LOADER_RUNNING : FST_NEED_LOADER, 0,
                    std::string(kQx4BoardName) + '\0');
    case FDL_RAM_SIZE:
      return answer(FST_ACK, kQx4RamSize);
    case FDL_RAM_LOADER:
      if (running) return answer(FST_LOADER_RUNNING, request.Address);
      return block(loader_, loaderComplete_, kQx4RamSize);
    case FDL_RUN_RAM:
      if (loaderComplete_ && !loaderStartsAt_) loaderStartsAt_ = now + loaderStartTime_;
      return std::nullopt;
    case FDL_FLASH_CODE:
      if (!running) return answer(FST_NEED_LOADER, request.Address);
      return block(flashing_, flashingComplete_, kMaxImage);
    case FDL_REBOOT: {
      std::string reply = answer(FST_REBOOTING);
      if (running && flashingComplete_) Write(std::move(flashing_), counters);
      // The loader lived in RAM: the board comes back with its (new) firmware only.
      loader_.clear();
      flashing_.clear();
      loaderComplete_ = flashingComplete_ = false;
      loaderStartsAt_.reset();
      return reply;
    }
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
