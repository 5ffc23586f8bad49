// Files on the sign (CMD 2): send, fetch, delete, show, and several small files in one
// burst. Long transfers show their progress on stderr.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "commands.hpp"

namespace signctl {

using namespace qordtcon;
namespace fs = std::filesystem;

namespace {

// A local file named on the command line must exist before the sign is called.
void MustExist(const std::string& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) {
    throw UsageError("no file " + file + " on this computer: give the path of a file to send");
  }
}

std::string Contents(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// YYYY-MM-DDTHH:MM:SS (or a blank instead of the T), local time.
DateTime ParseTime(const std::string& text) {
  DateTime t;
  char sep = 0;
  std::istringstream in(text);
  char dash1 = 0, dash2 = 0, colon1 = 0, colon2 = 0;
  in >> t.year >> dash1 >> t.month >> dash2 >> t.day;
  in.get(sep);
  in >> t.hour >> colon1 >> t.minute >> colon2 >> t.second;
  const bool ok = in && in.peek() == EOF && dash1 == '-' && dash2 == '-' &&
                  (sep == 'T' || sep == ' ') && colon1 == ':' && colon2 == ':' && t.month >= 1 &&
                  t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour >= 0 && t.hour <= 23 &&
                  t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59;
  if (!ok) {
    throw UsageError("--time: '" + text + "' is not a time: give YYYY-MM-DDTHH:MM:SS");
  }
  return t;
}

// The progress of a transfer: a bar redrawn on a terminal, plain lines with --progress.
class ProgressReport {
 public:
  ProgressReport()
      : bar_(ProgressShown() == Progress::kBar), lines_(ProgressShown() == Progress::kLines) {}
  ~ProgressReport() {
    if (bar_ && shown_) std::cerr << '\n';
  }
  ProgressReport(const ProgressReport&) = delete;
  ProgressReport& operator=(const ProgressReport&) = delete;

  void Attach(Control& c) {
    if (!bar_ && !lines_) return;
    c.OnFileTransferStatus = [this](std::int32_t block, std::int32_t blocks, std::int32_t sent,
                                    std::int32_t total) { Show(block, blocks, sent, total); };
  }

 private:
  void Show(std::int32_t block, std::int32_t blocks, std::int64_t sent, std::int64_t total) {
    sent = std::min(sent, total);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(sent) / seconds : 0;
    const double left = rate > 0 ? static_cast<double>(total - sent) / rate : 0;
    char text[160];
    std::snprintf(text, sizeof text, "block %d/%d, %lld/%lld bytes, %.1f KiB/s, %.0f s left", block,
                  blocks, static_cast<long long>(sent), static_cast<long long>(total), rate / 1024,
                  left);
    if (lines_ && !bar_) {
      std::cerr << "signctl: " << text << '\n';
      return;
    }
    constexpr int kWidth = 24;
    const int filled = total > 0 ? static_cast<int>(kWidth * sent / total) : kWidth;
    std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << text
              << "\033[K" << std::flush;
    shown_ = true;
  }

  bool bar_;
  bool lines_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

void AddFileCommands(Registry& r) {
  r.Group("Files");

  struct Send {
    std::string file, signName, time;
    bool async = false, verify = false;
  };
  auto send = std::make_shared<Send>();
  CLI::App* s = r.Add(
      "send-file", "Send a file (transfer-file-to-display); --verify fetches it back and compares",
      {[send] {
         MustExist(send->file);
         if (!send->time.empty()) ParseTime(send->time);
       },
       [send](Control& c) {
         ProgressReport progress;
         progress.Attach(c);
         std::optional<DateTime> when;
         if (!send->time.empty()) when = ParseTime(send->time);
         if (!c.TransferFileToDisplay(send->file, when, send->async, send->signName)) {
           return Judged(c, false);
         }
         if (!send->verify) return Judged(c, true);
         // The name the file has on the sign, as the control gave it.
         const std::string name =
             send->signName.empty() ? ShortPathName(send->file) : send->signName.substr(0, 12);
         const fs::path back = fs::temp_directory_path() / ("signctl-verify-" + name);
         const bool fetched = c.GetFileFromSignByFileName(name, back.string());
         const std::string got = fetched ? Contents(back.string()) : std::string();
         std::error_code ec;
         fs::remove(back, ec);
         if (!fetched) return Judged(c, false);
         const std::string want = Contents(send->file);
         if (got == want) return Judged(c, true, {{"verified", true}, {"bytes", want.size()}});
         const auto differ = std::mismatch(want.begin(), want.end(), got.begin(), got.end());
         const auto offset = static_cast<std::size_t>(differ.first - want.begin());
         return Outcome{false,
                        "the file on the sign differs from " + send->file + " at byte " +
                            std::to_string(offset) + " (" + std::to_string(got.size()) +
                            " bytes on the sign, " + std::to_string(want.size()) + " here)",
                        Json::object()};
       },
       nullptr, [send] { return send->verify; }});
  s->alias("transfer-file-to-display");
  s->add_option("FILE", send->file, "The file to send")->required();
  Text(*s, "--sign-name", send->signName, kSendNameWidth,
       "Its name on the sign (default: its 8.3 alias)");
  s->add_option("--time", send->time,
                "Its time on the sign, YYYY-MM-DDTHH:MM:SS (default: its "
                "modification time)");
  s->add_flag("--async", send->async, "Keep one block in flight while the next is read");
  s->add_flag("--verify", send->verify, "Fetch the file back and compare it byte for byte");

  struct Get {
    std::string name, destination;
  };
  auto get = std::make_shared<Get>();
  s = r.Query("get-file", "Fetch a file from the sign into DEST (get-file-from-sign-by-file-name)",
              [get](Control& c) {
                const bool ok = c.GetFileFromSignByFileName(get->name, get->destination);
                std::error_code ec;
                const auto size = ok ? fs::file_size(get->destination, ec) : 0;
                return Judged(c, ok, ok ? Json{{"bytes", size}} : Json::object());
              });
  s->alias("get-file-from-sign-by-file-name");
  Text(*s, "NAME", get->name, kFileNameWidth, "The file's name on the sign")->required();
  s->add_option("DEST", get->destination, "Where to write it (replaced)")->required();

  auto del = std::make_shared<classGRAPHIC_DEL>();
  s = r.Add("delete-file", "Delete a file on the sign (delete-file-from-display)",
            {nullptr, [del](Control& c) { return Judged(c, c.DeleteFileFromDisplay(*del)); }});
  s->alias("delete-file-from-display");
  Text(*s, "NAME", del->FileName, kFileNameWidth, "The file's name on the sign")->required();

  auto show = std::make_shared<classGRAPHIC_DSP>();
  s = r.Add("show-file", "Show a graphic file in a window (show-graphic-file-on-display)",
            {[show] { Encode(*show); },
             [show](Control& c) { return Judged(c, c.ShowGraphicFileOnDisplay(*show)); }});
  s->alias("show-graphic-file-on-display");
  Text(*s, "NAME", show->FileName, kFileNameWidth, "The file's name on the sign")->required();
  Byte(*s, "--left", show->left, "The window's left column")->required();
  Byte(*s, "--top", show->top, "The window's top row")->required();
  Byte(*s, "--right", show->right, "The window's right column")->required();
  Byte(*s, "--bot", show->bot, "The window's bottom row")->required();

  struct Burst {
    std::vector<std::string> files;
    bool first = false;
  };
  auto burst = std::make_shared<Burst>();
  s = r.Add("send-files",
            "Send small files in one burst, one block each (add-file-to-buffer, then "
            "transfer-buffered-file)",
            {[burst] {
               for (const std::string& f : burst->files)
                 MustExist(f);
             },
             [burst](Control& c) {
               for (const std::string& f : burst->files)
                 c.AddFileToBuffer(f);
               const bool ok = c.TransferBufferedFile({}, burst->first ? 1 : 0);
               return Judged(c, ok, {{"unconfirmed_bytes", c.BufferSize()}});
             }});
  s->alias("transfer-buffered-file");
  s->add_option("FILE", burst->files, "The files (each sent as its first block)")->required();
  s->add_flag("--first", burst->first, "Done when one file is confirmed, not all");
}

}  // namespace signctl
