// Firmware: an upload through the sign's boot menu, an upload to a QX4 board, and the
// reset into the menu and out again. The control's status texts are the progress, one
// line each on stderr; Ctrl-C cancels the upload at its next step.
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

namespace {

void MustExist(const std::string& file, const std::string& what) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    throw UsageError("no " + what + " " + file + " on this computer: give the path of the " + what);
  }
}

// Shows each status as it comes and keeps the last one: a failed upload says why in it.
struct StatusTrail {
  std::string last;

  void Attach(Control& c) {
    const bool bar = ProgressShown() == Progress::kBar;
    const bool quiet = ProgressShown() == Progress::kQuiet;
    c.OnFirmwareStatus = [this, bar, quiet](const std::string& text) {
      last = text;
      if (quiet) return;
      // The block counts of a QX4 download redraw one line on a terminal.
      const bool counting = text.rfind("Sending ", 0) == 0 && text.find(": Sent ") != text.npos;
      if (bar && counting) {
        std::cerr << "\rsignctl: " << text << "\033[K" << std::flush;
      } else {
        std::cerr << (bar && drawn ? "\n" : "") << "signctl: " << text << '\n';
      }
      drawn = bar && counting;
    };
  }
  // The outcome of a firmware call: its reason is the link's when the transfer itself
  // failed, else the last status.
  Outcome Judge(Control& c, bool ok) {
    if (drawn) std::cerr << '\n';
    drawn = false;
    if (ok) return {true, {}, {{"status", TextValue(last)}}};
    const std::string why = c.LastErrorMessage();
    return {false, why.empty() || why == last ? last : last + " (" + why + ")", Json::object()};
  }
  // A board whose answer the control could not read: the sign's failure, not a value of
  // the command line, so the control's reason is the outcome.
  Outcome Unreadable(const std::exception& e) {
    if (drawn) std::cerr << '\n';
    drawn = false;
    return {false, e.what(), Json::object()};
  }

 private:
  bool drawn = false;
};

}  // namespace

void AddFirmwareCommands(Registry& r) {
  r.Group("Firmware");
  const auto cancel = [](Control& c) { c.CancelFirmwareTransmit(); };

  struct Upload {
    std::string file, loader;
    StatusTrail trail;
  };
  auto menu = std::make_shared<Upload>();
  CLI::App* s =
      r.Add("firmware",
            "Load new firmware through the sign's boot menu with XMODEM, write it to flash and "
            "restart the sign (transmit-firmware); Ctrl-C cancels",
            {[menu] { MustExist(menu->file, "firmware file"); },
             [menu](Control& c) {
               menu->trail.Attach(c);
               return menu->trail.Judge(c, c.TransmitFirmware(menu->file));
             },
             cancel});
  s->alias("transmit-firmware");
  s->add_option("FILE", menu->file, "The firmware image")->required();

  auto qx4 = std::make_shared<Upload>();
  s = r.Add("qx4-firmware",
            "Load new firmware into a QX4 board: its RAM loader first, then the image "
            "(transmit-qx4-firmware); Ctrl-C cancels",
            {[qx4] {
               MustExist(qx4->file, "firmware file");
               MustExist(qx4->loader, "loader file");
             },
             [qx4](Control& c) {
               qx4->trail.Attach(c);
               try {
                 return qx4->trail.Judge(c, c.TransmitQX4Firmware(qx4->file, qx4->loader));
               } catch (const std::overflow_error& e) {
                 return qx4->trail.Unreadable(e);
               }
             },
             cancel});
  s->alias("transmit-qx4-firmware");
  s->add_option("FILE", qx4->file, "The firmware image")->required();
  s->add_option("--loader", qx4->loader, "The board's RAM loader")->required();

  auto reset = std::make_shared<StatusTrail>();
  s = r.Add("reset-and-clear",
            "Reset the sign into its boot menu and start it again from there "
            "(reset-and-clear-sign); Ctrl-C cancels",
            {nullptr,
             [reset](Control& c) {
               reset->Attach(c);
               return reset->Judge(c, c.ResetAndClearSign());
             },
             cancel});
  s->alias("reset-and-clear-sign");
}

}  // namespace signctl
