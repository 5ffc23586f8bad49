// Short forms of the common jobs, and `connect`, which says what sign answers.
#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

void AddShortForms(Registry& r) {
  r.Group("Short forms");
  r.Query("connect", "Open the sign and say what it is: name, type, size, firmware version",
          [](Control& c) {
            // Each read stops the rest when the sign does not answer it.
            const auto failed = [&c] { return !Read(c, {}).ok; };
            const classDIAG_STATS stats = c.GetDisplayStats();
            if (failed()) return Read(c, {});
            const classDIAG_SIGNTYPE type = c.GetDisplayType();
            if (failed()) return Read(c, {});
            const classDIAG_VERSION version = c.GetDisplayVersion();
            return Read(c, {{"appl_name", TextValue(stats.appl_name)},
                            {"serial_num", TextValue(stats.serial_num)},
                            {"signtype", type.signtype},
                            {"pix_width", type.pix_width},
                            {"pix_height", type.pix_height},
                            {"version", version.version}});
          });

  struct Message {
    classTEXT_MSG payload;
    std::vector<std::string> words;
  };
  auto text = std::make_shared<Message>();
  CLI::App* s =
      r.Add("text", "Show a text (set-display-text-message at row 1, column 1)",
            {[text] { Encode(text->payload); },
             [text](Control& c) { return Judged(c, c.SetDisplayTextMessage(text->payload)); }});
  TextPlace(*s, text->payload);
  s->add_option_function<std::vector<std::string>>(
       "MSG",
       [text](const std::vector<std::string>& words) {
         for (const std::string& word : words)
           text->payload.msg += (text->payload.msg.empty() ? "" : " ") + word;
       },
       "The text; several words are joined with blanks")
      ->required();

  r.Plain("clear", &Control::ClearDisplay, "Blank the sign's text (clear-display)");

  struct Clock {
    std::int16_t adjust = 0;
    bool get = false;
  };
  auto clock = std::make_shared<Clock>();
  s = r.Add("time",
            "Set the sign's clock from this computer (set-display-to-current-time), or read it "
            "with --get (get-display-time)",
            {nullptr,
             [clock](Control& c) {
               if (clock->get) return Read(c, ToJson(c.GetDisplayTime()));
               return Judged(c, c.SetDisplayToCurrentTime(clock->adjust));
             },
             nullptr, [clock] { return clock->get; }});
  auto* adjust = TimeAdjust(*s, clock->adjust);
  s->add_flag("--get", clock->get, "Read the sign's clock instead")->excludes(adjust);

  r.Get("stats", &Control::GetDisplayStats, "Read the statistics record (get-display-stats)");
  r.Get("dir", &Control::GetAllDisplayDirInfo,
        "Read the whole directory (get-all-display-dir-info)");
}

}  // namespace signctl
