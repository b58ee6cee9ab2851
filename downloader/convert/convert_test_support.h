#pragma once

// Helpers shared by the conversion tests: lines built column by column,
// records from a few slot values, and a scratch folder.

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include <stdlib.h>

#include "downloader/convert/certificate_record.h"
#include "downloader/text/text.h"

namespace pat::test {

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

// A fresh folder that is removed again with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "convert-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string file(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void write_bytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace pat::test
