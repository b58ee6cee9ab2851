#pragma once

#include <array>
#include <cstdint>

#include "downloader/text/text.h"

namespace pat {

// One appliance's fields: slots 0 to 40, of which 1 to 29 carry fields.
struct CertificateRecord {
  std::array<Text, 41> slots;
  Text& operator[](int slot) { return slots[slot]; }
  const Text& operator[](int slot) const { return slots[slot]; }
  void clear() {  // slots 1 to 40; slot 0 is never filled
    for (int i = 1; i <= 40; ++i) slots[i].clear();
  }
};

// A set of slots, one bit each.
using SlotSet = std::uint64_t;
inline constexpr SlotSet every_slot = ~SlotSet{0};
inline constexpr SlotSet field_slots = ((SlotSet{1} << 30) - 1) & ~SlotSet{1};  // 1 to 29
inline constexpr bool holds_slot(SlotSet slots, int slot) { return ((slots >> slot) & 1u) != 0; }

}  // namespace pat
