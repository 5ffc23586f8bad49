// Variables, cells and counters (CMD 9 to 11).
#include <limits>

#include "commands.hpp"

namespace signctl {

using namespace qordtcon;

namespace {

// Display attributes of several variables or cells.
void AttributeEntries(CLI::App& s, classVARIABLE_ATTRIBUTES& p) {
  Entries(
      s, "--entry", "X,COLOR,BLINK,INVERSE", "A variable's or cell's number and attributes",
      [&p](std::int16_t count) { p.num_vars(count); },
      [&p](std::int16_t i, EntryReader& e) {
        p.X(i, e.Integer("X", 0, 255));
        p.color(i, e.Integer("COLOR", 0, 255));
        p.blink(i, e.Integer("BLINK", 0, 255));
        p.inverse(i, e.Integer("INVERSE", 0, 255));
      })
      ->required();
}

// Texts of several variables. Their packet has no byte 0 after a text: LENGTH is how the
// sign finds where one ends, so it must be the text's length (set-display-variable, whose
// text ends at its byte 0, sends no length at all); an empty LENGTH takes it.
void VariableEntries(CLI::App& s, classVARIABLE_MULTIWRITE& p) {
  Entries(
      s, "--entry", "X,LENGTH,TEXT",
      "A variable's number, its text's length (empty: counted) and the text (commas allowed)",
      [&p](std::int16_t count) { p.num_vars(count); },
      [&p](std::int16_t i, EntryReader& e) {
        constexpr long kLongest = 32767;
        p.X(i, e.Integer("X", 0, 255));
        const std::int16_t given = e.Integer("LENGTH", 0, kLongest, -1);
        std::string text = e.Rest();
        if (text.size() > kLongest) {
          e.Fail("TEXT has " + std::to_string(text.size()) + " characters; LENGTH reaches " +
                 std::to_string(kLongest));
        }
        const auto length = static_cast<std::int16_t>(text.size());
        if (given != -1 && given != length) {
          e.Fail("LENGTH " + std::to_string(given) + " is not the length of TEXT '" + text + "' (" +
                 std::to_string(length) + "); leave LENGTH empty to send the text's");
        }
        p.Length(i, length);
        p.variable(i, std::move(text));
      })
      ->required();
}

// The list goes out in batches, each counting 16 bytes of its own and 5 per variable on
// top of the texts, below the control's limit: a longer text never fits one. The control
// would refuse the whole list in its own words; signctl names its own commands.
void CheckEveryVariableFitsABatch(const classVARIABLE_MULTIWRITE& list) {
  constexpr int kLongest = classrVariableCmdsRoutines::kBatchLimit - 16 - 5 - 1;
  for (std::int16_t i = 1; i <= list.num_vars(); ++i) {
    if (list.Length(i) <= kLongest) continue;
    throw UsageError("set-display-multiple-variables-auto-process: --entry " + std::to_string(i) +
                     " (variable " + std::to_string(list.X(i)) + ") has " +
                     std::to_string(list.Length(i)) + " characters, but one packet holds " +
                     std::to_string(kLongest) +
                     " at most; nothing was sent. Send that variable "
                     "on its own with set-display-variable --variable-num " +
                     std::to_string(list.X(i)));
  }
}

void CounterFields(CLI::App& s, classCOUNTER_DEFINE& p) {
  constexpr long kLongMin = std::numeric_limits<std::int32_t>::min();
  constexpr long kLongMax = std::numeric_limits<std::int32_t>::max();
  Byte(s, "--counter-num", p.counter_num, "Counter number")->required();
  for (CLI::Option* o :
       {Byte(s, "--operation", p.operation, "Count up or down"),
        Byte(s, "--frequency", p.frequency, "How often it counts"),
        Byte(s, "--clear-mode", p.clear_mode, "When it clears"),
        // Below -256 the high byte no longer carries the value.
        Number(s, "--incdec-value", p.incdec_value, -256, 32767, "Step"),
        Byte(s, "--format-mode", p.format_mode, "Display format"),
        Byte(s, "--autoreload", p.autoreload, "Reload at the stop value"),
        Number(s, "--start-value", p.start_value, kLongMin, kLongMax, "Start value"),
        Number(s, "--stop-value", p.stop_value, kLongMin, kLongMax, "Stop value")}) {
    o->required();
  }
}

}  // namespace

void AddDataCommands(Registry& r) {
  r.Group("Variables, cells and counters");
  r.Ask(SIGNCTL_METHOD(GetDisplayVariable), "Read a variable",
        OneByte("--variable-num", &classVARIABLE_READ_Req::variable_num, "Variable number"));
  r.Send(SIGNCTL_METHOD(SetDisplayVariable), "Write a variable's text",
         [](CLI::App& s, classVARIABLE_WRITE& p) {
           Byte(s, "--variable-num", p.variable_num, "Variable number")->required();
           Text(s, "--text-variable", p.text_variable, "The text")->required();
         });
  r.Send(SIGNCTL_METHOD(SetDisplayMultipleVariable), "Write several variables in one packet",
         VariableEntries);
  // The whole list is never one payload, so it is not encoded as one.
  auto list = std::make_shared<classVARIABLE_MULTIWRITE>();
  CLI::App* s = r.Add(
      Kebab("SetDisplayMultipleVariablesAutoProcess"),
      "Write any number of variables, in as many packets as they need",
      {[list] { CheckEveryVariableFitsABatch(*list); },
       [list](Control& c) { return Judged(c, c.SetDisplayMultipleVariablesAutoProcess(*list)); }});
  VariableEntries(*s, *list);
  r.Send(SIGNCTL_METHOD(SetDisplayVariableAttributes), "Set the attributes of variables",
         AttributeEntries);
  r.Plain(SIGNCTL_METHOD(ClearDisplayVariable), "Clear every variable");

  r.Ask(SIGNCTL_METHOD(GetDisplayCell), "Read a cell",
        OneByte("--cell-num", &classCELL_READ_Req::cell_num, "Cell number"));
  r.Send(SIGNCTL_METHOD(SetDisplayCell), "Write a cell's text",
         [](CLI::App& s, classCELL_WRITE& p) {
           Byte(s, "--cell-num", p.cell_num, "Cell number")->required();
           Text(s, "--cell-variable", p.cell_variable, "The text")->required();
         });
  r.Send(SIGNCTL_METHOD(SetDisplayCellAttributes), "Set the attributes of cells", AttributeEntries);
  r.Send(SIGNCTL_METHOD(SetDisplayLocalCellWrite), "Set when the sign resets its cells",
         [](CLI::App& s, classCELL_LOCAL_WRITE& p) {
           Entries(
               s, "--reset", "INDEX,MONTH,DAY,YEAR,HOUR,MINUTE",
               "Reset time INDEX (0..8); unset ones are zeros", [](std::int16_t) {},
               [&p](std::int16_t, EntryReader& e) {
                 const std::int16_t i = e.Integer("INDEX", 0, 8);
                 p.cell_reset_month(i, e.Integer("MONTH", 0, 255));
                 p.cell_reset_day(i, e.Integer("DAY", 0, 255));
                 p.cell_reset_year(i, e.Integer("YEAR", 0, 255));
                 p.cell_reset_hour(i, e.Integer("HOUR", 0, 255));
                 p.cell_reset_minute(i, e.Integer("MINUTE", 0, 255));
               });
         });
  r.Plain(SIGNCTL_METHOD(ClearDisplayCells), "Clear every cell");

  r.Ask(SIGNCTL_METHOD(GetDisplayCounter), "Read a counter",
        OneByte("--counter-num", &classCOUNTER_READ_Req::counter_num, "Counter number"));
  r.Send(SIGNCTL_METHOD(DefineDisplayCounter), "Define how a counter counts", CounterFields);
  r.Send(
      SIGNCTL_METHOD(ControlDisplayCounter), "Start, stop or restyle a counter",
      [](CLI::App& s, classCOUNTER_CONTROL& p) {
        Byte(s, "--counter-num", p.counter_num, "Counter number")->required();
        for (CLI::Option* o :
             {Byte(s, "--status", p.Status, "Run state"), Byte(s, "--color", p.color, "Colour"),
              Byte(s, "--blink", p.blink, "Blink"), Byte(s, "--inverse", p.inverse, "Inverse")}) {
          o->required();
        }
      });
  r.Plain(SIGNCTL_METHOD(ClearDisplayCounters), "Clear every counter");
}

}  // namespace signctl
