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

// Texts of several variables; LENGTH goes out as given.
void VariableEntries(CLI::App& s, classVARIABLE_MULTIWRITE& p) {
  Entries(
      s, "--entry", "X,LENGTH,TEXT", "A variable's number, length and text (commas allowed)",
      [&p](std::int16_t count) { p.num_vars(count); },
      [&p](std::int16_t i, EntryReader& e) {
        p.X(i, e.Integer("X", 0, 255));
        p.Length(i, e.Integer("LENGTH", -32768, 32767));
        p.variable(i, e.Rest());
      })
      ->required();
}

void CounterFields(CLI::App& s, classCOUNTER_DEFINE& p) {
  constexpr long kLongMin = std::numeric_limits<std::int32_t>::min();
  constexpr long kLongMax = std::numeric_limits<std::int32_t>::max();
  Byte(s, "--counter-num", p.counter_num, "Counter number")->required();
  Byte(s, "--operation", p.operation, "Count up or down");
  Byte(s, "--frequency", p.frequency, "How often it counts");
  Byte(s, "--clear-mode", p.clear_mode, "When it clears");
  Number(s, "--incdec-value", p.incdec_value, -256, 32767, "Step");
  Byte(s, "--format-mode", p.format_mode, "Display format");
  Byte(s, "--autoreload", p.autoreload, "Reload at the stop value");
  Number(s, "--start-value", p.start_value, kLongMin, kLongMax, "Start value");
  Number(s, "--stop-value", p.stop_value, kLongMin, kLongMax, "Stop value");
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
  r.Send(SIGNCTL_METHOD(SetDisplayMultipleVariablesAutoProcess),
         "Write any number of variables, in as many packets as they need", VariableEntries);
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
  r.Send(SIGNCTL_METHOD(ControlDisplayCounter), "Start, stop or restyle a counter",
         [](CLI::App& s, classCOUNTER_CONTROL& p) {
           Byte(s, "--counter-num", p.counter_num, "Counter number")->required();
           Byte(s, "--status", p.Status, "Run state");
           Byte(s, "--color", p.color, "Colour");
           Byte(s, "--blink", p.blink, "Blink");
           Byte(s, "--inverse", p.inverse, "Inverse");
         });
  r.Plain(SIGNCTL_METHOD(ClearDisplayCounters), "Clear every counter");
}

}  // namespace signctl
