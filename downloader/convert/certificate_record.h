#pragma once

#include <array>

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

}  // namespace pat
