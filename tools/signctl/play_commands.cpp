// Play orders and playing (CMD 7).
#include <limits>

#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

namespace {

// A play order keeps every negative delay as -1, and the prefix and suffix go out through
// the word encoder, whose high byte is 0xFF for every negative value: the ranges are what
// arrives as given.
void PlayEntries(CLI::App& s, PlayEntryTable& p) {
  Entries(
      s, "--entry", "NAME[,DELAY[,PREFIX[,SUFFIX]]]",
      "A file to play, with its delay and its prefix and suffix codes (default 0)",
      [&p](std::int16_t count) { p.num_entries(count); },
      [&p](std::int16_t i, EntryReader& e) {
        p.FileName(i, e.Name("NAME", kFileNameWidth));
        p.delay(i, e.Long("DELAY", -1, std::numeric_limits<std::int32_t>::max(), 0));
        p.prefix(i, e.Integer("PREFIX", -256, 32767, 0));
        p.suffix(i, e.Integer("SUFFIX", -256, 32767, 0));
      });
}

}  // namespace

void AddPlayCommands(Registry& r) {
  r.Group("Play order");
  r.Send(SIGNCTL_METHOD(TransmitDisplayPlayOrder), "Replace the play order, 40 entries a packet",
         PlayEntries);
  r.Send(SIGNCTL_METHOD(SetDisplayPlayOrder), "Replace the play order in one packet", PlayEntries);
  r.Send(SIGNCTL_METHOD(AppendDisplayPlayOrder), "Add entries to the play order", PlayEntries);
  r.Get(SIGNCTL_METHOD(GetDisplayPlayOrder), "Read the play order entry by entry");
  r.Plain(SIGNCTL_METHOD(ClearDisplayPlayOrder), "Empty the play order");
  r.Plain(SIGNCTL_METHOD(ClearDisplayAndPlayOrder), "Blank the text and empty the play order");
  r.Send(SIGNCTL_METHOD(RestartPlayOnDisplay), "Play from the start",
         [](CLI::App& s, classPLAY_RESTART& p) {
           Byte(s, "--loopctr", p.loopctr, "Loop counter")->required();
         });
  r.Plain(SIGNCTL_METHOD(ResumePlayOnDisplay), "Resume playing");
  r.Plain(SIGNCTL_METHOD(StopPlayOnDisplay), "Stop after the current entry");
  r.Plain(SIGNCTL_METHOD(PausePlayOnDisplay), "Pause after the current entry");
  r.Plain(SIGNCTL_METHOD(StopPlayOnDisplayImmediately), "Stop now");
  r.Plain(SIGNCTL_METHOD(PausePlayOnDisplayImmediately), "Pause now");
  r.Get(SIGNCTL_METHOD(PollPlayOnDisplay), "Read what is loaded and playing");
  r.Send(SIGNCTL_METHOD(WritePlayOrderDescriptionOnDisplay), "Store the play order's description",
         [](CLI::App& s, classPLAY_DESC_WRITE& p) {
           Text(s, "--descriptor", p.descriptor, kDescriptorWidth, "Description")->required();
         });
  r.Get(SIGNCTL_METHOD(GetPlayOrderDescriptionOnDisplay), "Read the play order's description");
  r.Switch(SIGNCTL_METHOD(SetAutoPlayOnDisplay), "Turn playing at power-up on or off", "--on",
           "--off");

  auto order = std::make_shared<std::int16_t>(0);
  CLI::App* s =
      r.Add(Kebab("PlaySubPlayOrder"), "Play one of the sub play orders",
            {nullptr, [order](Control& c) { return Judged(c, c.PlaySubPlayOrder(*order)); }});
  Number(*s, "--play-order", *order, -32768, 32767, "Sub play order number")->required();
  r.Plain(SIGNCTL_METHOD(PlayCountClear), "Zero the play counter");
  r.Query(Kebab("PlayCountRead"), "Read the play counter", [](Control& c) {
    const std::int32_t count = c.PlayCountRead();
    return Judged(c, count != -1, {{"PlayCounter", count}});
  });
}

}  // namespace signctl
