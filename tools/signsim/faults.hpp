// The faults armed in one emulated sign: which misbehaviour comes next and how often.
// Not thread-safe on its own; SharedSign guards it.
#pragma once

#include <optional>
#include <vector>

#include "signsim/simulator.hpp"

namespace signsim {

class FaultSet {
 public:
  void Add(const Fault& fault);
  void Clear() { armed_.clear(); }
  bool Armed(FaultKind kind) const;
  // The oldest armed fault of this kind for a frame of cmd/fnc (-1: a fault not tied to a
  // command) and, when `value` is 0 or more, of that value (a block number), used up once
  // (an `always` fault stays armed).
  std::optional<Fault> Take(FaultKind kind, int cmd = -1, int fnc = -1, int value = -1);

 private:
  std::vector<Fault> armed_;
};

}  // namespace signsim
