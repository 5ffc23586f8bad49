// The entry-by-entry reading of a list the sign holds (its play order, its directory):
// ask for the first entry, then for each next one, until the entry that marks the end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "qordtcon/routines/command_routine.hpp"

namespace qordtcon::detail {

// `transact(Fnc, ok)` runs one transaction and returns the reply frame; `isEnd(result, n)`
// tells whether entry n marks the end. Every entry read, also one from a failed
// transaction, is counted in num_entries; the end marker is not. Before the end marker is
// looked at, "Receiving Entry <n> of the <list>" goes to `progress`.
template <class Result, class Transact, class IsEnd>
Result ReadEntries(Transact transact, std::uint8_t firstFnc, std::uint8_t nextFnc,
                   const std::string& list, const std::function<void(const std::string&)>& progress,
                   IsEnd isEnd) {
  Result result;
  bool ok = false;
  std::string reply = transact(firstFnc, ok);
  std::int16_t count = 1;
  result.num_entries(count);
  result.GetDataFromString(count, ReplyPayload(reply));
  while (ok) {
    if (progress) progress("Receiving Entry " + std::to_string(count) + " of the " + list);
    if (isEnd(result, count)) {
      result.num_entries(static_cast<std::int16_t>(count - 1));
      break;
    }
    reply = transact(nextFnc, ok);
    ++count;
    result.num_entries(count);
    result.GetDataFromString(count, ReplyPayload(reply));
  }
  return result;
}

}  // namespace qordtcon::detail
