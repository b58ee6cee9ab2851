#include <gtest/gtest.h>
#include <sys/file.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "downloader/files/file_table.h"
#include "downloader/files/medium_sync.h"
#include "downloader/run_error.h"
#include "tests/support/exfat_mount.h"
#include "tests/support/file_bytes.h"
#include "tests/support/held_file.h"
#include "tests/support/run_errors.h"
#include "tests/support/scratch_folder.h"

namespace pat {
namespace {

using test::ExfatMount;
using test::HeldFile;
using test::read_bytes;
using test::WorkingFolder;
using test::write_bytes;
namespace fs = std::filesystem;

using test::error_of;

// Every entry below the working directory; folders end with "/".
std::set<std::string> all_entries() {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(".")) {
    std::string name = e.path().lexically_relative(".").string();
    if (e.is_directory() && !e.is_symlink()) name += "/";
    names.insert(name);
  }
  return names;
}

// The files of a folder and their bytes.
std::map<std::string, std::string> files_in(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder))
    files[e.path().filename().string()] = read_bytes(e.path().string());
  return files;
}

TEST(FileExists, OnlyAnExistingFileThatIsNoFolder) {
  struct Case {
    std::string name;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"plain", true},
      {"link-file", true},
      {"dir", false},
      {"link-dir", false},
      {"link-none", false},
      {"absent", false},
      {"*", false},
      {"pl?in", false},
      {"pla*", false},
      {"", false},
      {std::string("plain\0x", 7), false},
      {"plain/", false},
      {"nofolder/plain", false},
      {"caf\x82", true},            // typed "café", held as UTF-8
      {"caf\xC3\xA9", false},       // the UTF-8 bytes are other characters here
  };
  WorkingFolder dir;
  write_bytes("plain", "x");
  fs::create_directory("dir");
  fs::create_symlink("plain", "link-file");
  fs::create_directory_symlink("dir", "link-dir");
  fs::create_symlink("gone", "link-none");
  write_bytes("caf\xC3\xA9", "x");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(file_exists(c.name), c.expected);
  }
}

TEST(KillFiles, DeletesMatchingFilesOnly) {
  struct Case {
    std::string label;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::string name;
    int expected;
    std::set<std::string> remaining;
  };
  const std::vector<Case> cases = {
      {"star suffix", {"a.tmp", "b.tmp", "c.txt", "tmp"}, {}, "*.tmp", 0, {"c.txt", "tmp"}},
      {"question mark is one character", {"abc", "axc", "ac", "abbc"}, {}, "a?c", 0,
       {"ac", "abbc"}},
      {"brackets are literal", {"[x]", "x"}, {}, "[x]", 0, {"x"}},
      {"backslash is part of the name", {"a\\b", "b", "ab"}, {}, "a\\b", 0, {"b", "ab"}},
      {"several stars", {"xaybz", "ab", "ba"}, {}, "*a*b*", 0, {"ba"}},
      {"one exact name", {"out.csv", "out.csv.bak", "xout.csv"}, {}, "out.csv", 0,
       {"out.csv.bak", "xout.csv"}},
      {"folders skipped", {"f1", "d/inner"}, {"d"}, "*", 0, {"d/", "d/inner"}},
      {"folder part searched", {"sub/x.log", "sub/keep.txt", "y.log"}, {"sub"}, "sub/*.log",
       0, {"sub/", "sub/keep.txt", "y.log"}},
      {"name of a folder", {}, {"d"}, "d", err::file_not_found, {"d/"}},
      {"nothing matches", {"other"}, {}, "missing", err::file_not_found, {"other"}},
      {"letter case counts", {"a.tmp"}, {}, "A.TMP", err::file_not_found, {"a.tmp"}},
      {"missing folder", {"x"}, {}, "nofolder/x", err::file_not_found, {"x"}},
      {"empty pattern", {"x"}, {}, "", err::file_not_found, {"x"}},
      {"accented name", {"caf\xC3\xA9.tmp", "cafe.tmp"}, {}, "caf\x82.tmp", 0, {"cafe.tmp"}},
      {"accented folder", {"d\xC3\xA9p/x.tmp", "dep/x.tmp"}, {"d\xC3\xA9p", "dep"},
       "d\x82p/x.tmp", 0, {"d\xC3\xA9p/", "dep/", "dep/x.tmp"}},
      {"question mark is one accented character",
       {"caf\xC3\xA9", "caf\xE2\x94\x80", "cafe", "caf", "caf\xC3\xA9s"}, {}, "caf?", 0,
       {"caf", "caf\xC3\xA9s"}},
      {"two question marks are not one accented character", {"caf\xC3\xA9"}, {}, "caf??",
       err::file_not_found, {"caf\xC3\xA9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    for (const auto& folder : c.folders) fs::create_directories(folder);
    for (const auto& file : c.files) write_bytes(file, "x");
    EXPECT_EQ(error_of([&] { kill_files(c.name); }), c.expected);
    EXPECT_EQ(all_entries(), c.remaining);
  }
}

TEST(KillFiles, LinkToAFolderIsSkippedLinkToAFileDeleted) {
  WorkingFolder dir;
  fs::create_directory("d");
  write_bytes("target", "x");
  fs::create_directory_symlink("d", "link-d");
  fs::create_symlink("target", "link-f");
  kill_files("link*");
  EXPECT_EQ(all_entries(), (std::set<std::string>{"d/", "link-d", "target"}));
}

TEST(KillFiles, TheOneNameNeverAFolder) {
  struct Case {
    std::string name;
    int expected;
    std::set<std::string> remaining;
  };
  const std::set<std::string> all = {"d/", "d/inner", "link-d", "link-f", "target"};
  const std::vector<Case> cases = {
      {"link-d", err::file_not_found, all},
      {"link-f", 0, {"d/", "d/inner", "link-d", "target"}},
      {"d/", err::file_not_found, all},
      {".", err::file_not_found, all},
      {"d/..", err::file_not_found, all},
      {"d/inner", 0, {"d/", "link-d", "link-f", "target"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkingFolder dir;
    fs::create_directory("d");
    write_bytes("d/inner", "x");
    write_bytes("target", "x");
    fs::create_directory_symlink("d", "link-d");
    fs::create_symlink("target", "link-f");
    EXPECT_EQ(error_of([&] { kill_files(c.name); }), c.expected);
    EXPECT_EQ(all_entries(), c.remaining);
  }
}

// A rename, the files before it (name and content) and after it.
struct RenameCase {
  std::string label;
  std::map<std::string, std::string> files;
  std::string old_name;
  std::string new_name;
  int expected;
  std::map<std::string, std::string> after;
};

TEST(RenameFile, MovesOrFailsLeavingBothNames) {
  const std::vector<RenameCase> cases = {
      {"renamed", {{"old", "data"}}, "old", "new", 0, {{"new", "data"}}},
      {"missing old name", {}, "old", "new", err::file_not_found, {}},
      {"old name in a missing folder", {}, "nofolder/old", "new", err::file_not_found, {}},
      {"never replaces", {{"old", "A"}, {"new", "B"}}, "old", "new",
       err::illegal_function_call, {{"old", "A"}, {"new", "B"}}},
      {"NUL in the new name", {{"old", "A"}}, "old", std::string("ne\0w", 4),
       err::bad_file_name, {{"old", "A"}}},
      {"accented names", {{"caf\xC3\xA9.txt", "data"}}, "caf\x82.txt", "caf\x82.tmp", 0,
       {{"caf\xC3\xA9.tmp", "data"}}},
  };
  for (const RenameCase& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    for (const auto& [name, bytes] : c.files) write_bytes(name, bytes);
    EXPECT_EQ(error_of([&] { rename_file(c.old_name, c.new_name); }), c.expected);
    std::map<std::string, std::string> after;
    for (const auto& e : fs::directory_iterator("."))
      after[e.path().filename().string()] = read_bytes(e.path().string());
    EXPECT_EQ(after, c.after);
  }
}

TEST(KillAndRename, LeaveAFileThatAnotherCopyHoldsLocked) {
  struct Case {
    std::string label;
    int lock;
    std::function<void()> action;
    int expected;
    std::map<std::string, std::string> after;
  };
  const std::vector<Case> cases = {
      {"delete, exclusive lock", LOCK_EX, [] { kill_files("shop.txt"); },
       err::file_already_open, {{"other.txt", "B"}, {"shop.txt", "live capture"}}},
      {"delete, shared lock", LOCK_SH, [] { kill_files("shop.txt"); }, err::file_already_open,
       {{"other.txt", "B"}, {"shop.txt", "live capture"}}},
      {"rename", LOCK_EX, [] { rename_file("shop.txt", "shop.tmp"); }, err::path_file_access,
       {{"other.txt", "B"}, {"shop.txt", "live capture"}}},
      {"an unlocked file is still deleted", LOCK_EX, [] { kill_files("other.txt"); }, 0,
       {{"shop.txt", "live capture"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    write_bytes("shop.txt", "live capture");
    write_bytes("other.txt", "B");
    {
      HeldFile holder("shop.txt", c.lock);
      EXPECT_EQ(error_of(c.action), c.expected);
      std::map<std::string, std::string> after;
      for (const auto& e : fs::directory_iterator("."))
        after[e.path().filename().string()] = read_bytes(e.path().string());
      EXPECT_EQ(after, c.after);
    }
  }
}

// The flush that stands in for fsync: counts its calls, answers as told.
int flushes = 0;
int flush_result = 0;
int counted_flush(int) {
  ++flushes;
  return flush_result;
}

TEST(KillAndRename, FlushTheFolderAndReportAFailedFlush) {
  struct Case {
    std::string label;
    std::function<void()> action;
    int flush_result;
    int expected;
    std::map<std::string, std::string> after;  // the rename or delete stands
    int flushes;
  };
  const std::vector<Case> cases = {
      {"rename", [] { rename_file("shop.csv", "shop.tmp"); }, 0, 0,
       {{"keep.txt", "K"}, {"shop.tmp", "data"}}, 1},
      {"rename, the flush fails", [] { rename_file("shop.csv", "shop.tmp"); }, EIO,
       err::path_file_access, {{"keep.txt", "K"}, {"shop.tmp", "data"}}, 1},
      {"delete", [] { kill_files("shop.csv"); }, 0, 0, {{"keep.txt", "K"}}, 1},
      {"delete, the flush fails", [] { kill_files("shop.csv"); }, EIO, err::path_file_access,
       {{"keep.txt", "K"}}, 1},
      {"delete by pattern, one flush", [] { kill_files("*"); }, 0, 0, {}, 1},
      {"a failed rename flushes nothing", [] { rename_file("absent", "shop.tmp"); }, EIO,
       err::file_not_found, {{"keep.txt", "K"}, {"shop.csv", "data"}}, 0},
      {"a failed delete flushes nothing", [] { kill_files("absent"); }, EIO,
       err::file_not_found, {{"keep.txt", "K"}, {"shop.csv", "data"}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    write_bytes("shop.csv", "data");
    write_bytes("keep.txt", "K");
    flushes = 0;
    flush_result = c.flush_result;
    const MediumSync real = replace_medium_sync(counted_flush);
    const int error = error_of(c.action);
    replace_medium_sync(real);
    EXPECT_EQ(error, c.expected);
    EXPECT_EQ(flushes, c.flushes);
    EXPECT_EQ(files_in("."), c.after);
  }
}

// exFAT through FUSE, as a USB stick is often mounted: no hard links, no
// rename that refuses to replace, and one file for a name in any letter case.
TEST(KillFilesOnExfat, DeletesTheNameInTheFileSystemsLetterCase) {
  ExfatMount stick;
  if (!stick.unavailable().empty()) GTEST_SKIP() << stick.unavailable();
  struct Case {
    std::string label;
    std::vector<std::string> files;
    std::string name;
    int expected;
    std::map<std::string, std::string> after;
  };
  const std::vector<Case> cases = {
      {"other letter case", {"Shop.tmp", "other.tmp"}, "shop.tmp", 0, {{"other.tmp", "x"}}},
      {"same letter case", {"shop.tmp"}, "shop.tmp", 0, {}},
      {"missing", {"other.tmp"}, "shop.tmp", err::file_not_found, {{"other.tmp", "x"}}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.label);
    const std::string folder = stick.file("case" + std::to_string(i));
    fs::create_directory(folder);
    for (const auto& f : c.files) write_bytes(folder + "/" + f, "x");
    EXPECT_EQ(error_of([&] { kill_files(folder + "/" + c.name); }), c.expected);
    EXPECT_EQ(files_in(folder), c.after);
  }
}

TEST(RenameFileOnExfat, MovesWithoutReplacing) {
  ExfatMount stick;
  if (!stick.unavailable().empty()) GTEST_SKIP() << stick.unavailable();
  const std::vector<RenameCase> cases = {
      {"renamed", {{"shop.csv", "data"}}, "shop.csv", "shop.tmp", 0, {{"shop.tmp", "data"}}},
      {"old name in another letter case", {{"Shop.csv", "data"}}, "shop.csv", "shop.tmp", 0,
       {{"shop.tmp", "data"}}},
      {"never replaces", {{"shop.csv", "A"}, {"shop.tmp", "B"}}, "shop.csv", "shop.tmp",
       err::illegal_function_call, {{"shop.csv", "A"}, {"shop.tmp", "B"}}},
      {"never replaces a name in another letter case", {{"shop.csv", "A"}, {"Shop.tmp", "B"}},
       "shop.csv", "shop.tmp", err::illegal_function_call,
       {{"shop.csv", "A"}, {"Shop.tmp", "B"}}},
      {"missing old name", {}, "shop.csv", "shop.tmp", err::file_not_found, {}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const RenameCase& c = cases[i];
    SCOPED_TRACE(c.label);
    const std::string folder = stick.file("case" + std::to_string(i));
    fs::create_directory(folder);
    for (const auto& [name, bytes] : c.files) write_bytes(folder + "/" + name, bytes);
    EXPECT_EQ(error_of([&] { rename_file(folder + "/" + c.old_name, folder + "/" + c.new_name); }),
              c.expected);
    EXPECT_EQ(files_in(folder), c.after);
  }
}

TEST(OpenErrorFromErrno, MissingFileOrMissingFolder) {
  struct Case {
    int error;
    std::optional<std::string> name;
    int expected;
  };
  const std::vector<Case> cases = {
      {ENOENT, "absent", err::file_not_found},
      {ENOENT, "dir/absent", err::file_not_found},
      {ENOENT, "nofolder/absent", err::path_not_found},
      {ENOENT, "plain/absent", err::path_not_found},
      {ENOTDIR, "plain/absent", err::path_not_found},
      {ENOTDIR, std::nullopt, err::path_not_found},
      {EISDIR, "dir", err::permission_denied},
      {EROFS, std::nullopt, err::permission_denied},
      {ETXTBSY, std::nullopt, err::permission_denied},
      {ENXIO, std::nullopt, err::device_unavailable},
      {ENOMEDIUM, std::nullopt, err::device_unavailable},
      {EMFILE, std::nullopt, err::file_not_found},
      {ENAMETOOLONG, "x", err::file_not_found},
  };
  WorkingFolder dir;
  write_bytes("plain", "x");
  fs::create_directory("dir");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.value_or("(no name)") + " errno " + std::to_string(c.error));
    EXPECT_EQ(c.name ? open_error_from_errno(c.error, *c.name) : open_error_from_errno(c.error),
              c.expected);
  }
}

}  // namespace
}  // namespace pat
