// HACKING.md's table of modules, kept true: every file of a module (its
// tests aside) includes only the modules the table lets it call, and only
// the run frame works on the whole Program.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace pat::test {
namespace {

namespace fs = std::filesystem;

// "Modules and their arrows" in HACKING.md, in its words, from the top down.
struct Row {
  std::string module;
  std::string may_call;
};
const std::vector<Row> table = {
    {"downloader/", "every module"},
    {"capture/", "console, files, text"},
    {"convert/", "console, files, text"},
    {"serial/", "files, text"},
    {"console/", "files, text"},
    {"files/", "text"},
    {"text/", "nothing"},
};
// Shared by all: the error numbers with raise_error, and a stage's outcome.
const std::vector<std::string> shared_headers = {"downloader/run_error.h",
                                                 "downloader/stage_outcome.h"};
const std::string run_frame = "downloader/";

const fs::path source_dir = PAT_SOURCE_DIR;

std::vector<std::string> split_list(const std::string& list) {
  std::vector<std::string> names;
  if (list == "nothing" || list == "every module") return names;
  std::stringstream in(list);
  for (std::string name; std::getline(in, name, ',');) {
    name.erase(0, name.find_first_not_of(' '));
    names.push_back(name + "/");
  }
  return names;
}

const Row* row_of(const std::string& module) {
  for (const Row& row : table)
    if (row.module == module) return &row;
  return nullptr;
}

bool may_call(const Row& from, const std::string& module) {
  if (from.module == module || from.may_call == "every module") return true;
  const std::vector<std::string> callees = split_list(from.may_call);
  return std::find(callees.begin(), callees.end(), module) != callees.end();
}

// The module that an included "downloader/..." header belongs to: its
// folder, or the run frame for a header beside main.cc.
std::string module_of(const std::string& header) {
  const std::string rest = header.substr(run_frame.size());
  const std::size_t slash = rest.find('/');
  return slash == std::string::npos ? run_frame : rest.substr(0, slash + 1);
}

std::vector<std::string> lines_of(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What the module's own files include against the table, and any of them
// that takes the run frame's Program: one line each, file and line first.
std::vector<std::string> faults_of(const Row& row) {
  static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  static const std::regex program(R"(\bProgram\s*&)");
  std::vector<std::string> faults;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(source_dir / run_frame / row.module)) {
    const std::string name = entry.path().filename().string();
    const std::string extension = entry.path().extension().string();
    if ((extension == ".h" || extension == ".cc") && !name.ends_with("_test.cc"))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  EXPECT_FALSE(files.empty()) << row.module << " has no files to check";
  for (const fs::path& file : files) {
    const std::string where = fs::relative(file, source_dir).string();
    const std::vector<std::string> lines = lines_of(file);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string at = where + ":" + std::to_string(i + 1) + ": ";
      std::smatch found;
      if (std::regex_search(lines[i], found, include)) {
        const std::string header = found[1];
        const bool shared = std::find(shared_headers.begin(), shared_headers.end(), header) !=
                            shared_headers.end();
        if (!header.starts_with(run_frame)) {
          faults.push_back(at + lines[i] + ": a module includes only the program's own headers");
        } else if (!shared && !may_call(row, module_of(header))) {
          faults.push_back(at + lines[i] + ": " + row.module + " may call " + row.may_call);
        }
      }
      if (std::regex_search(lines[i], program))
        faults.push_back(at + lines[i] + ": only the run frame takes Program&");
    }
  }
  return faults;
}

TEST(ModuleLayers, EachModuleIncludesOnlyWhatItMayCall) {
  for (const Row& row : table) {
    if (row.module == run_frame) continue;
    for (const std::string& fault : faults_of(row)) ADD_FAILURE() << fault;
  }
}

// The rows of the table in HACKING.md: the module's name and its last
// column.
std::vector<Row> hacking_table() {
  std::vector<Row> rows;
  bool inside = false;
  for (const std::string& line : lines_of(source_dir / "HACKING.md")) {
    if (line.starts_with("## ")) inside = line == "## Modules and their arrows";
    if (!inside || !line.starts_with("| `")) continue;
    const std::size_t name_end = line.find('`', 3);
    const std::size_t last_bar = line.find_last_of('|', line.size() - 2);
    if (name_end == std::string::npos || last_bar == std::string::npos) continue;
    std::string may_call = line.substr(last_bar + 1);
    may_call.erase(0, may_call.find_first_not_of(' '));
    may_call.erase(may_call.find_last_not_of(" |") + 1);
    rows.push_back({line.substr(3, name_end - 3), may_call});
  }
  return rows;
}

// The table above is HACKING.md's, every folder of the program has its row,
// and a module may call only modules below it.
TEST(ModuleLayers, TheTableIsHackingsAndItsArrowsPointDown) {
  const std::vector<Row> written = hacking_table();
  ASSERT_EQ(written.size(), table.size()) << "rows in HACKING.md's module table";
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(written[i].module, table[i].module) << "row " << i + 1;
    EXPECT_EQ(written[i].may_call, table[i].may_call) << table[i].module;
  }

  for (const auto& entry : fs::directory_iterator(source_dir / run_frame)) {
    if (!entry.is_directory()) continue;
    const std::string module = entry.path().filename().string() + "/";
    EXPECT_NE(row_of(module), nullptr) << module << " has no row in the table";
  }

  for (std::size_t i = 0; i < table.size(); ++i) {
    for (const std::string& callee : split_list(table[i].may_call)) {
      const Row* below = row_of(callee);
      ASSERT_NE(below, nullptr) << table[i].module << " may call " << callee << ", no module";
      EXPECT_GT(below - table.data(), static_cast<long>(i))
          << table[i].module << " may call " << callee << ", which stands above it";
    }
  }
}

}  // namespace
}  // namespace pat::test
