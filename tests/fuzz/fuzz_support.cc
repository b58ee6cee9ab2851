#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace pat::fuzz {
namespace {

std::filesystem::path scratch;

void remove_scratch() {
  std::error_code ignored;
  std::filesystem::current_path("/", ignored);
  std::filesystem::remove_all(scratch, ignored);
}

// Flags whose value is a path.
constexpr std::string_view path_flags[] = {"-artifact_prefix=", "-exact_artifact_path=",
                                           "-dict=", "-features_dir=", "-data_flow_trace="};

}  // namespace

void enter_scratch_folder(int* argc, char*** argv) {
  const std::filesystem::path start = std::filesystem::current_path();
  static std::vector<std::string> args;
  static std::vector<char*> pointers;
  bool artifact_prefix = false;
  for (int i = 0; i < *argc; ++i) {
    std::string arg = (*argv)[i];
    if (i > 0 && !arg.empty() && arg[0] != '-') {
      arg = (start / arg).string();
    } else {
      for (std::string_view flag : path_flags) {
        if (arg.rfind(flag, 0) != 0) continue;
        const std::string value = arg.substr(flag.size());
        if (!value.empty() && value[0] != '/') arg = std::string(flag) + (start / value).string();
        artifact_prefix = artifact_prefix || flag == path_flags[0];
      }
    }
    args.push_back(arg);
  }
  // A crash file belongs where the fuzzer was started, not in the scratch folder.
  if (!artifact_prefix) args.push_back("-artifact_prefix=" + start.string() + "/");
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(args.size());
  *argv = pointers.data();

  std::string pattern = (std::filesystem::temp_directory_path() / "pat-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) fail("cannot make a scratch folder", pattern);
  scratch = pattern;
  std::filesystem::current_path(scratch);
  std::atexit(remove_scratch);
}

void clear_scratch_folder() {
  for (const auto& entry : std::filesystem::directory_iterator(scratch)) {
    std::filesystem::remove_all(entry.path());
  }
}

void write_file(const std::string& name, std::string_view bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) fail("cannot write", name);
}

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) fail("cannot read", name);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool file_present(const std::string& name) { return std::filesystem::exists(name); }

void fail(std::string_view what, std::string_view detail) {
  std::fprintf(stderr, "\n== FINDING: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) {
    std::fprintf(stderr, "   %.*s\n", static_cast<int>(detail.size()), detail.data());
  }
  std::fflush(stderr);
  std::abort();
}

std::string escaped(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 32 && c < 127 && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      out += code;
    }
  }
  return out;
}

}  // namespace pat::fuzz
