#pragma once

// Shared by the fuzz targets: a scratch working folder for the whole process,
// small file helpers and a check that stops the run on a finding.

#include <string>
#include <string_view>

namespace pat::fuzz {

// Makes a fresh temporary folder the working directory until the process
// ends. Call it from LLVMFuzzerInitialize: paths among the arguments (corpus
// folders, inputs, artifact prefix) are made absolute first, so that
// libFuzzer still finds them, and crash files land where it was started.
void enter_scratch_folder(int* argc, char*** argv);

// Removes everything in the scratch folder.
void clear_scratch_folder();

void write_file(const std::string& name, std::string_view bytes);
std::string read_file(const std::string& name);
bool file_present(const std::string& name);

// Prints what went wrong and aborts, which libFuzzer reports as a finding.
[[noreturn]] void fail(std::string_view what, std::string_view detail = {});

// The bytes with everything outside printable ASCII escaped.
std::string escaped(std::string_view bytes);

}  // namespace pat::fuzz

#define FUZZ_CHECK(condition, detail)                                      \
  do {                                                                     \
    if (!(condition)) ::pat::fuzz::fail("check failed: " #condition, detail); \
  } while (false)
