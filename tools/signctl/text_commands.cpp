// Text on the sign (CMD 1): immediate and scrolling text, clearing, speed, tabs and rates.
#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

void AddTextCommands(Registry& r) {
  r.Group("Text");
  r.Send(SIGNCTL_METHOD(SetDisplayTextMessage), "Show a text at a row and column",
         [](CLI::App& s, classTEXT_MSG& p) {
           TextPlace(s, p);
           Text(s, "--msg", p.msg, "The text")->required();
         });
  r.Send(
      SIGNCTL_METHOD(SetDisplayScrollMessage), "Scroll a text through a row",
      [](CLI::App& s, classTEXT_SCRMSG& p) {
        TextPlace(s, p);
        Byte(s, "--length", p.Length, "Length of the scrolling window (sent as given)")->required();
        Text(s, "--msg", p.msg, "The text")->required();
      });
  r.Plain(SIGNCTL_METHOD(ClearDisplay), "Blank the sign's text");
  r.Send(SIGNCTL_METHOD(SetDisplayScrollSpeed), "Set the scroll speed",
         OneByte("--speed", &classTEXT_SCRSPEED::speed, "Scroll speed"));
  r.Send(SIGNCTL_METHOD(SetDisplayTextTabs), "Set a table of tab stops",
         [](CLI::App& s, classTEXT_SETTABS& p) {
           Byte(s, "--table-num", p.table_num, "Tab table number")->required();
           Text(s, "--tabs", p.tabs, "The tab stops, one character each")->required();
         });
  r.Send(SIGNCTL_METHOD(SetDisplayPauseRate), "Set the pause rate",
         OneByte("--value", &classTEXT_PAUSE_RATE::Value, "Pause rate"));
  r.Send(SIGNCTL_METHOD(SetDisplayBlinkRate), "Set the blink rate",
         OneByte("--value", &classTEXT_BLINK_RATE::Value, "Blink rate"));
}

}  // namespace signctl
