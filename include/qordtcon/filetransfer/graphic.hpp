// The payloads of a file's way to and from a sign (CMD 2): the first record that names a
// file, the numbered blocks that carry its bytes, and the small requests that delete,
// show and fetch a file. Unlike the other payload classes, the encoders here write the
// upper-cased name back into the object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qordtcon {

// The first record of a file (block 1): its name on the sign, its length and its time.
class classGRAPHIC_REC_1stBLK {
 public:
  std::int16_t blk_num = 0;
  std::string FileName;  // at most 12 characters as the file transfer fills it
  std::int32_t size = 0;
  std::int16_t hour = 0;
  std::int16_t min = 0;
  std::int16_t sec = 0;
  std::int16_t mon = 0;
  std::int16_t mday = 0;
  std::int16_t year = 0;  // two digits

  // The 25-byte record: block number, name padded to 13 (a longer one is not cut and
  // moves the later fields back), size, time. A time field outside 0..255 throws
  // std::invalid_argument.
  std::string GetStringFromData();
};

namespace detail {

// A file's blocks, indexed by the number each travels as: entries 2..n hold every block
// but the last, entry 0 the last. Setting a total dimensions the table to 0..total+1,
// keeping the entries stored; any other index is a subscript out of range.
class BlockTable {
 public:
  // File bytes per block. The control sets its own (1000, or 16000 for a large sign)
  // before it sends a table; a block longer than this goes out cut to it.
  std::int16_t FileBlockSize = 1000;

  // Block `blocknum`: its number, low byte first, then its bytes.
  std::string GetStringFromData(std::int16_t blocknum) const;
  std::string Data(std::int16_t blocknum) const { return DataEx(blocknum); }
  void Data(std::int16_t blocknum, std::string data) { DataEx(blocknum, std::move(data)); }
  // The total as a 16-bit number: std::overflow_error above 32767, and for a total of 32767
  // or more when setting it (the table's top index would not fit).
  std::int16_t TotalBlocks() const;
  void TotalBlocks(std::int16_t total);
  std::int32_t TotalBlocksEx() const { return total_; }
  void TotalBlocksEx(std::int32_t total);

 protected:
  std::string DataEx(std::int32_t blocknum) const;
  void DataEx(std::int32_t blocknum, std::string data);
  std::string Block(std::int32_t wire, std::int32_t blocknum) const;

 private:
  std::size_t Index(std::int32_t blocknum) const;

  std::vector<std::string> table_;
  std::int32_t total_ = 0;
};

}  // namespace detail

// The data blocks of a file, with the 16-bit interface and the 32-bit one that numbers a
// file of more than 65535 blocks: after block 65535 the numbers go on 2, 3, ... 65535, 2,
// never reusing 0 or 1.
class classGRAPHIC_REC_FLWBLK : public detail::BlockTable {
 public:
  using BlockTable::DataEx;
  // Block `blocknum` under its wire number, which the object keeps.
  std::string GetStringFromDataEx(std::int32_t blocknum);

 private:
  std::int32_t wire_ = 0;
};

// The same block table with the 16-bit interface only, for hosts that fill it themselves.
class classGRAPHIC_GET : public detail::BlockTable {};

// Deletes a file on the sign: the name in upper case, padded to 13.
class classGRAPHIC_DEL {
 public:
  std::string FileName;
  std::string GetStringFromData();
};

// Shows a graphic file in a window of the display: the name padded to 13, then the
// window's left, top, right and bottom (std::invalid_argument outside 0..255).
class classGRAPHIC_DSP {
 public:
  std::string FileName;
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t right = 0;
  std::int16_t bot = 0;
  std::string GetStringFromData();
};

// Asks the sign for one 1000-byte block of a file: the block number, low byte first, then
// the name's first 13 characters in upper case, padded to 13. `lastBlock` is the number of
// the file's last block: asked for, it goes out as 0 (the object keeps the 0).
class classGRAPHIC_GET_REQ {
 public:
  std::string FileName;
  std::int16_t BlockNumber = 0;
  std::string GetStringFromData(std::int16_t lastBlock);
};

// One block of a file from the sign: its number (two bytes, low first) and its bytes.
class classGRAPHIC_GET_RES {
 public:
  std::string FileData;
  std::int16_t blocknum = 0;
  // False, nothing changed, for a text of fewer than 13 characters. Otherwise takes the
  // number and cuts it off the caller's text, which becomes FileData.
  bool SetDataByStr(std::string& FileData);
};

}  // namespace qordtcon
