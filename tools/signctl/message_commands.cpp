// Default, scheduled and paged messages, and fonts (CMD 3 to 6).
#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

namespace {

// The header that showing a page and sending one share. The delay goes out through the
// word encoder, whose high byte is 0xFF for every negative value: -256 is the lowest
// that arrives as given.
template <class P>
void PageOptions(CLI::App& s, P& p, bool required) {
  for (CLI::Option* o : {Byte(s, "--page-num", p.page_num, "Page number"),
                         Byte(s, "--prefix-mode", p.prefix_mode, "Prefix mode"),
                         Byte(s, "--suffix-mode", p.suffix_mode, "Suffix mode"),
                         Number(s, "--delay", p.delay, -256, 32767, "Delay")}) {
    o->required(required);
  }
}

// The sign has no command that takes a page of text or gives one back: the control sends
// nothing for these and has no judged result to report, so signctl refuses them before
// connecting and says what the sign can do instead.
const char* const kNoPageSend =
    "set-display-paged-text-message: the sign has no command that takes a page of text, so "
    "nothing would be sent; write text with set-display-text-message and show a page the "
    "sign holds with show-paged-text-on-display";
const char* const kNoPageRead =
    "get-display-paged-message: the sign has no command that gives a page back, so there is "
    "nothing to ask; keep a page's settings where you sent them from, and show the page with "
    "show-paged-text-on-display";

}  // namespace

void AddMessageCommands(Registry& r) {
  r.Group("Default, scheduled and paged messages");
  r.Send(SIGNCTL_METHOD(SetDefaultMessageOnDisplay), "Store the default message",
         [](CLI::App& s, classDEFMSG_MSG& p) {
           Byte(s, "--msg-num", p.msg_num, "Message number")->required();
           Text(s, "--msg", p.msg, "The text")->required();
         });
  r.Send(SIGNCTL_METHOD(SetDefaultMsgHorzVertOnDisplay), "Place the default message",
         OneByte("--horz", &classDEFMSG_HORZVERT::horz, "Placement"));
  r.Send(SIGNCTL_METHOD(SetDisplayScheduledMessageOnDisplay), "Store a scheduled message",
         [](CLI::App& s, classSCHMSG_MSG& p) {
           for (CLI::Option* o : {Byte(s, "--msg-num", p.msg_num, "Message number"),
                                  Byte(s, "--prefix-mode", p.prefix_mode, "Prefix mode"),
                                  Byte(s, "--suffix-mode", p.suffix_mode, "Suffix mode"),
                                  Byte(s, "--start-hr", p.start_hr, "Start hour"),
                                  Byte(s, "--start-min", p.start_min, "Start minute"),
                                  Byte(s, "--stop-hr", p.stop_hr, "Stop hour"),
                                  Byte(s, "--stop-min", p.stop_min, "Stop minute"),
                                  Byte(s, "--month", p.month, "Month"),
                                  Byte(s, "--mday", p.mday, "Day of the month"),
                                  Byte(s, "--year", p.year, "Year within the century, 0..99"),
                                  Byte(s, "--msg-format", p.msg_format, "Format"),
                                  Text(s, "--msg", p.msg, "The text")}) {
             o->required();
           }
         });
  r.Switch(SIGNCTL_METHOD(SetScheduledMessageAutoManualOnDisplay),
           "Run scheduled messages automatically or by hand", "--auto", "--manual");
  r.Send(SIGNCTL_METHOD(SetScheduledMsgPrefixOnDisplay), "Set the prefix of scheduled messages",
         OneByte("--prefix-mode", &classSCHMSG_PREFIX::prefix_mode, "Prefix mode"));
  r.Send(SIGNCTL_METHOD(SetScheduledMsgSuffixOnDisplay), "Set the suffix of scheduled messages",
         OneByte("--suffix-mode", &classSCHMSG_SUFFIX::suffix_mode, "Suffix mode"));
  r.Send(SIGNCTL_METHOD(SetScheduleMsgFormatOnDisplay), "Set the layout of scheduled messages",
         [](CLI::App& s, classSCHMSG_FORMAT& p) {
           Byte(s, "--format-code", p.format_code, "Format code")->required();
           Byte(s, "--num-lines", p.num_lines, "Number of lines")->required();
           Text(s, "--maxlen", p.maxlen, "Longest line per line, as text")->required();
           Byte(s, "--reserved", p.reserved, "Reserved byte")->capture_default_str();
         });
  r.Send(SIGNCTL_METHOD(SetScheduledMsgDelayOnDisplay), "Set the pause between scheduled messages",
         OneByte("--delay", &classSCHMSG_DELAY::delay, "Delay"));
  r.Plain(SIGNCTL_METHOD(ClearDisplayScheduledMessages), "Delete every scheduled message");

  auto page = std::make_shared<classPAGE_MSG>();
  CLI::App* s =
      r.Add(Kebab("SetDisplayPagedTextMessage"),
            "Refused: the sign has no command that takes a page (see show-paged-text-on-display)",
            {[] { throw UsageError(kNoPageSend); },
             [page](Control& c) { return Judged(c, c.SetDisplayPagedTextMessage(*page)); }});
  PageOptions(*s, *page, false);
  // Parsed before --text, which they bound.
  auto xs = std::make_shared<std::int16_t>(1);
  auto ys = std::make_shared<std::int16_t>(1);
  Number(*s, "--xs", *xs, 1, 255, "Columns of the text table")->capture_default_str();
  Number(*s, "--ys", *ys, 1, 255, "Rows of the text table")->capture_default_str();
  Entries(
      *s, "--text", "X,Y,TEXT", "The text at column X, row Y of the table",
      [page, xs, ys](std::int16_t) { page->XsYs(*xs, *ys); },
      [page, xs, ys](std::int16_t, EntryReader& e) {
        const std::int16_t x = e.Integer("X", 1, *xs);
        const std::int16_t y = e.Integer("Y", 1, *ys);
        page->text(x, y, e.Rest());
      });
  r.Switch(SIGNCTL_METHOD(StartStopPagedTextMessageOnDisplay), "Start or stop paged text",
           "--start", "--stop");
  r.Send(SIGNCTL_METHOD(ShowPagedTextOnDisplay), "Show a stored page",
         [](CLI::App& s, classPAGE_DSP& p) { PageOptions(s, p, true); });
  auto request = std::make_shared<classPAGE_GET_Req>();
  s = r.Add(
      Kebab("GetDisplayPagedMessage"), "Refused: the sign has no command that gives a page back",
      {[] { throw UsageError(kNoPageRead); },
       [request](Control& c) { return Read(c, ToJson(c.GetDisplayPagedMessage(*request))); }});
  Byte(*s, "--pagenum", request->pagenum, "Page number");
  r.Plain(SIGNCTL_METHOD(ClearDisplayFonts), "Delete the loaded fonts");
}

}  // namespace signctl
