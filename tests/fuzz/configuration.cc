// The configuration reader on any file: either ReportFormat becomes the one
// character "1" to "4" that the file's last ReportFormat line gives (blanks
// and tabs at its end aside), or the run ends with the configuration message
// for a digit above 4.
//
// Input: a selector byte, then the file's bytes. Selector % 8: 0 no file,
// 1 a folder of that name, else a file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "downloader/configuration.h"
#include "downloader/console/console.h"
#include "downloader/files/file_table.h"
#include "downloader/program.h"
#include "downloader/run_error.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/line_model.h"
#include "tests/support/screen_rows.h"
#include "tests/support/scripted_backend.h"

using namespace pat;
using pat::test::row_text;
using pat::test::ScriptedBackend;

namespace {

constexpr const char* message =
    " Error in QUELMARINT.CFG file. Value for ReportFormat MUST be 1 - 4";

// The value character that the file gives, 0 for none: the last character
// of the last ReportFormat line once its end blanks and tabs are gone.
char value_of(const std::string& bytes) {
  char value = 0;
  for (std::string line : fuzz::split_lines(bytes)) {
    if (line.rfind("ReportFormat", 0) != 0) continue;
    while (line.back() == ' ' || line.back() == '\t') line.pop_back();
    value = line.back();
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::enter_scratch_folder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  fuzz::clear_scratch_folder();
  const int kind = data[0] % 8;
  if (kind == 1) std::filesystem::create_directory("quelmarint.cfg");
  if (kind >= 2) fuzz::write_file("quelmarint.cfg", bytes);
  const char value = kind >= 2 ? value_of(bytes) : 0;

  ScriptedBackend backend;
  Console console{backend};
  console.width_statement(100);
  console.clear_screen();
  FileTable files;
  Program p{console, files};
  bool ended = false;
  try {
    ended = read_configuration(p) != Outcome::go_on;
  } catch (const RunError& e) {
    fuzz::fail("run-time error", std::to_string(e.number));
  }
  FUZZ_CHECK(!files.is_open(1), "the file stayed open");

  const bool too_large = value >= '5' && value <= '9';
  FUZZ_CHECK(ended == too_large, fuzz::escaped(bytes));
  if (too_large) {
    std::string row = row_text(console, 2);
    FUZZ_CHECK(row.rfind(message, 0) == 0, row);
    FUZZ_CHECK(p.settings.report_format.empty(), fuzz::escaped(bytes));
  } else {
    const std::string expected(1, value >= '1' && value <= '4' ? value : '1');
    FUZZ_CHECK(p.settings.report_format == expected,
               fuzz::escaped(bytes) + " gave " + fuzz::escaped(p.settings.report_format));
  }
  return 0;
}
