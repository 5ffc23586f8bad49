// A calendar date and time of day in local time, the form in which the sign's clock
// and file times travel between the host and the payloads.
#pragma once

namespace qordtcon {

struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;

  // The machine's local time now.
  static DateTime now();

  bool operator==(const DateTime&) const = default;
};

}  // namespace qordtcon
