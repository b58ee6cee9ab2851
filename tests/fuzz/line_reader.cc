// The line reader against a plain split of the same bytes.
//
// Input: one selector byte, then the file's bytes. An odd selector puts up to
// 127 filler bytes in front so that the file's own bytes straddle the end of
// the first read block, where a line end may be cut in two.

#include <cstddef>
#include <cstdint>
#include <string>

#include "downloader/files/file_table.h"
#include "downloader/run_error.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/line_model.h"

using namespace pat;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::enter_scratch_folder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes;
  if (size > 0) {
    if (data[0] & 1) bytes.assign(file_block_size - (data[0] >> 1), 'x');
    bytes.append(reinterpret_cast<const char*>(data) + 1, size - 1);
  }
  fuzz::write_file("lines.txt", bytes);
  const std::vector<std::string> expected = fuzz::split_lines(bytes);

  FileTable files;
  files.open_file("lines.txt", mode_input, 1);
  for (std::size_t i = 0;; ++i) {
    const bool at_end = files.end_of_file(1);
    FUZZ_CHECK(at_end == (i == expected.size()), "end of file after line " + std::to_string(i));
    if (at_end) break;
    Text line = "before";
    files.line_input_file(1, line);
    FUZZ_CHECK(line == expected[i], "line " + std::to_string(i) + ": " + fuzz::escaped(line) +
                                        " expected " + fuzz::escaped(expected[i]));
  }
  // Past the end every read fails the same way and leaves the target empty.
  for (int again = 0; again < 2; ++again) {
    Text line = "before";
    int error = 0;
    try {
      files.line_input_file(1, line);
    } catch (const RunError& e) {
      error = e.number;
    }
    FUZZ_CHECK(error == err::input_past_end, "error " + std::to_string(error));
    FUZZ_CHECK(line.empty(), fuzz::escaped(line));
    FUZZ_CHECK(files.end_of_file(1), "end of file after the failed read");
  }
  files.close_file(1);
  return 0;
}
