#include "qordtcon/filetransfer/graphic.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "qordtcon/payloads/fields.hpp"

namespace qordtcon {

namespace {

constexpr std::size_t kNameField = 13;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace

std::string classGRAPHIC_REC_1stBLK::GetStringFromData() {
  FileName = Upper(FileName);
  return ByteWriter()
      .Word(blk_num)
      .Padded(FileName, kNameField)
      .Long(size)
      .Byte(hour, "hour")
      .Byte(min, "min")
      .Byte(sec, "sec")
      .Byte(mon, "mon")
      .Byte(mday, "mday")
      .Byte(year, "year")
      .str();
}

namespace detail {

std::size_t BlockTable::Index(std::int32_t blocknum) const {
  if (blocknum < 0 || static_cast<std::size_t>(blocknum) >= table_.size()) {
    throw std::out_of_range("Subscript out of range: block " + std::to_string(blocknum) +
                            (table_.empty()
                                 ? std::string(" of a table whose total was never set")
                                 : " of a table numbered 0.." + std::to_string(table_.size() - 1)));
  }
  return static_cast<std::size_t>(blocknum);
}

std::string BlockTable::DataEx(std::int32_t blocknum) const {
  return table_[Index(blocknum)];
}

void BlockTable::DataEx(std::int32_t blocknum, std::string data) {
  table_[Index(blocknum)] = std::move(data);
}

std::int16_t BlockTable::TotalBlocks() const {
  if (total_ > 32767) {
    throw std::overflow_error("Overflow: " + std::to_string(total_) +
                              " blocks do not fit TotalBlocks (at most 32767); use TotalBlocksEx");
  }
  return static_cast<std::int16_t>(total_);
}

void BlockTable::TotalBlocks(std::int16_t total) {
  if (total == 32767) {
    throw std::overflow_error(
        "Overflow: a table of 32767 blocks needs index 32768, beyond TotalBlocks; use "
        "TotalBlocksEx");
  }
  TotalBlocksEx(total);
}

void BlockTable::TotalBlocksEx(std::int32_t total) {
  if (total < -1) {
    throw std::out_of_range("Subscript out of range: a table of " + std::to_string(total) +
                            " blocks");
  }
  total_ = total;
  table_.resize(static_cast<std::size_t>(total) + 2);
}

std::string BlockTable::Block(std::int32_t wire, std::int32_t blocknum) const {
  const std::string& data = table_[Index(blocknum)];
  const auto length = static_cast<std::size_t>(std::max<std::int16_t>(FileBlockSize, 0));
  return ByteWriter().Word(wire).Text(std::string_view(data).substr(0, length)).str();
}

std::string BlockTable::GetStringFromData(std::int16_t blocknum) const {
  return Block(blocknum, blocknum);
}

}  // namespace detail

std::string classGRAPHIC_REC_FLWBLK::GetStringFromDataEx(std::int32_t blocknum) {
  // Past 65535 the numbers go round again from 2: 0 and 1 keep their meanings (the last
  // block, the first record).
  wire_ = blocknum <= 65535 ? blocknum : (blocknum - 65536) % 65534 + 2;
  return Block(wire_, blocknum);
}

std::string classGRAPHIC_DEL::GetStringFromData() {
  FileName = Upper(FileName);
  return PadWithNul(FileName, kNameField);
}

std::string classGRAPHIC_DSP::GetStringFromData() {
  FileName = Upper(FileName);
  return ByteWriter()
      .Padded(FileName, kNameField)
      .Byte(left, "left")
      .Byte(top, "top")
      .Byte(right, "right")
      .Byte(bot, "bot")
      .str();
}

std::string classGRAPHIC_GET_REQ::GetStringFromData(std::int16_t lastBlock) {
  if (lastBlock == BlockNumber) BlockNumber = 0;
  FileName = Upper(FileName.substr(0, kNameField));
  return ByteWriter().Word(BlockNumber).Padded(FileName, kNameField).str();
}

bool classGRAPHIC_GET_RES::SetDataByStr(std::string& text) {
  if (text.size() < 13) return false;
  blocknum = MakeSignedWord(static_cast<std::uint8_t>(text[1]), static_cast<std::uint8_t>(text[0]));
  text.erase(0, 2);
  FileData = text;
  return true;
}

}  // namespace qordtcon
