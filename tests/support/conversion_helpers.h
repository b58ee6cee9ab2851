#pragma once

// Helpers shared by the conversion tests: lines built column by column,
// records from a few slot values, and a place to convert in.

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "downloader/console/console.h"
#include "downloader/convert/certificate_record.h"
#include "downloader/files/file_table.h"
#include "downloader/text/text.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_backend.h"

namespace pat::test {

// What a conversion works in: a fresh working folder, a console, the files.
struct Scene {
  WorkingFolder folder{"pat-convert"};
  ScriptedBackend backend;
  Console console{backend};
  FileTable files;
  std::string file(const std::string& name) const { return folder.file(name); }
};

// Places each text at its column (from 1), blanks in the gaps.
inline Text at_columns(std::initializer_list<std::pair<long, std::string_view>> pieces) {
  std::string line;
  for (const auto& [column, text] : pieces) {
    const std::size_t start = static_cast<std::size_t>(column - 1);
    if (line.size() < start + text.size()) line.resize(start + text.size(), ' ');
    line.replace(start, text.size(), text);
  }
  return line;
}

using SlotValues = std::map<int, Text>;

inline CertificateRecord record_of(const SlotValues& values) {
  CertificateRecord record;
  for (const auto& [slot, value] : values) record[slot] = value;
  return record;
}

}  // namespace pat::test
