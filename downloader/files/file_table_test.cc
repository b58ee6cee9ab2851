#include "downloader/files/file_table.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "downloader/files/line_reader.h"
#include "downloader/files/medium_sync.h"
#include "downloader/run_error.h"
#include "tests/support/file_bytes.h"
#include "tests/support/held_file.h"
#include "tests/support/run_errors.h"
#include "tests/support/scratch_folder.h"

namespace pat {
namespace {

using test::HeldFile;
using test::read_bytes;
using test::WorkingFolder;
using test::write_bytes;

using test::error_of;

std::set<std::string> folder_entries() {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator("."))
    names.insert(e.path().filename().string());
  return names;
}

const std::string eof26(1, '\x1a');
constexpr std::uint64_t whole_file = ~std::uint64_t{0};

struct LineCase {
  std::string label;
  std::string bytes;
  std::vector<std::string> lines;
  std::uint64_t final_position = whole_file;  // where the reads stop
};

std::vector<LineCase> line_cases() {
  std::string every_kept_byte;
  for (int b = 0; b < 256; ++b)
    if (b != 10 && b != 13 && b != 26) every_kept_byte += static_cast<char>(b);
  const std::size_t block = file_block_size;

  std::vector<LineCase> cases = {
      {"cr lf", "a\r\nb", {"a", "b"}},
      {"lf cr", "a\n\rb", {"a", "b"}},
      {"cr cr is two ends", "a\r\rb", {"a", "", "b"}},
      {"lf lf is two ends", "a\n\nb", {"a", "", "b"}},
      {"cr lf at the end gives no empty line", "a\r\n", {"a"}},
      {"cr at the end", "a\r", {"a"}},
      {"no line end", "a", {"a"}},
      {"26 ends the file and is never taken", "ab" + eof26 + "cd", {"ab"}, 2},
      {"26 after a line end", "a\r\n" + eof26 + "zz", {"a"}, 3},
      {"26 first reads as empty", eof26 + "abc", {}, 0},
      {"empty file", "", {}},
      {"byte 0 kept", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
      {"every other byte value kept", every_kept_byte + "\r\n", {every_kept_byte}},
      {"5000-byte line", std::string(5000, 'x') + "\r\ny", {std::string(5000, 'x'), "y"}},
      {"line across the block boundary", std::string(block + 4464, 'x') + "\r\n",
       {std::string(block + 4464, 'x')}},
      {"26 first in the second block", std::string(block, 'x') + eof26 + "cd",
       {std::string(block, 'x')}, block},
      {"many blocks of short lines", "", {}},
  };
  for (int i = 0; i < 30000; ++i) {
    cases.back().bytes += "line " + std::to_string(i) + "\r\n";
    cases.back().lines.push_back("line " + std::to_string(i));
  }
  // Lines of every length around the splitter's 16-byte steps, each line end
  // after each length, high bytes among the kept ones.
  for (const std::string ender : {"\r", "\n", "\r\n", "\n\r"}) {
    LineCase c{"lengths 0 to 40, ender " + std::to_string(ender.size()) +
                   (ender[0] == '\r' ? " cr first" : " lf first"),
               "",
               {}};
    for (std::size_t length = 0; length <= 40; ++length) {
      std::string line;
      for (std::size_t i = 0; i < length; ++i) line += static_cast<char>(i % 2 ? 'a' + i : 0x80 + i);
      c.bytes += line + ender;
      c.lines.push_back(line);
      // CR CR and LF LF hold an empty line between them.
      if (ender.size() == 1 && length % 7 == 3) {
        c.bytes += ender;
        c.lines.push_back("");
      }
    }
    cases.push_back(c);
  }
  for (std::size_t length = 11; length <= 33; length += 11) {
    cases.push_back({"26 after " + std::to_string(length) + " bytes and cr lf",
                     std::string(length, 'x') + "\r\n" + eof26 + "zz",
                     {std::string(length, 'x')}, length + 2});
    cases.push_back({"26 " + std::to_string(length) + " bytes into a line",
                     "a\n" + std::string(length, 'x') + eof26 + "zz",
                     {"a", std::string(length, 'x')}, length + 2});
  }
  // A line end split by the block boundary, in every position around it.
  for (std::size_t length = block - 3; length <= block + 1; ++length) {
    for (const std::string ender : {"\r\n", "\n\r"}) {
      cases.push_back({"split " + std::to_string(length) + (ender[0] == '\r' ? " crlf" : " lfcr"),
                       std::string(length, 'x') + ender + "b",
                       {std::string(length, 'x'), "b"}});
    }
  }
  return cases;
}

TEST(LineInputFile, ReadsEveryLineAndStopsAtTheEnd) {
  for (const LineCase& c : line_cases()) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    write_bytes("in", c.bytes);
    FileTable files;
    files.open_file("in", mode_input, 1);

    std::vector<std::string> got;
    while (!files.end_of_file(1) && got.size() <= c.lines.size()) {
      Text line = "old";
      files.line_input_file(1, line);
      got.push_back(line);
    }
    EXPECT_EQ(got, c.lines);
    EXPECT_TRUE(files.end_of_file(1));

    Text target = "old";
    EXPECT_EQ(error_of([&] { files.line_input_file(1, target); }), err::input_past_end);
    EXPECT_EQ(target, "");
    EXPECT_TRUE(files.entry(1)->at_end);
    const std::uint64_t expected_position =
        c.final_position == whole_file ? c.bytes.size() : c.final_position;
    EXPECT_EQ(files.entry(1)->position, expected_position);
  }
}

// The reader that takes lines from the buffer agrees with the table's own
// reads line by line: the same lines, the same position and end after each,
// and the same error past the end.
TEST(LineReader, ReadsAsLineInputFileDoes) {
  for (const LineCase& c : line_cases()) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    write_bytes("in", c.bytes);
    FileTable files;
    files.open_file("in", mode_input, 1);
    files.open_file("in", mode_input, 2);
    LineReader reader(files, 1);

    std::size_t lines = 0;
    while (!reader.at_end()) {
      ASSERT_FALSE(files.end_of_file(2));
      ASSERT_LE(++lines, c.lines.size());
      Text copy = "old";
      const std::string got(reader.next(copy));
      Text want;
      files.line_input_file(2, want);
      ASSERT_EQ(got, want) << "line " << lines;
      ASSERT_EQ(files.entry(1)->position, files.entry(2)->position) << "line " << lines;
      ASSERT_EQ(files.entry(1)->at_end, files.entry(2)->at_end) << "line " << lines;
    }
    EXPECT_EQ(lines, c.lines.size());
    EXPECT_TRUE(files.end_of_file(2));
    Text copy = "old";
    EXPECT_EQ(error_of([&] { reader.next(copy); }), err::input_past_end);
    EXPECT_EQ(copy, "");
  }
}

TEST(LineReader, RefusesWhatLineInputFileRefuses) {
  WorkingFolder dir;
  write_bytes("in", "a\r\n");
  FileTable files;
  files.open_file("in", mode_input, 1);
  files.open_file("out", mode_output, 2);
  files.open_file("random", mode_random, 3);
  for (const auto& [number, expected] : std::vector<std::pair<int, int>>{
           {4, err::bad_file_number}, {2, err::path_file_access}, {3, err::bad_file_mode}}) {
    SCOPED_TRACE(number);
    LineReader reader(files, number);
    Text copy;
    EXPECT_EQ(error_of([&] { reader.next(copy); }), expected);
  }
}

TEST(LineInputFile, ReadsWithoutEndTestMeetPastEnd) {
  WorkingFolder dir;
  write_bytes("in", "a\r\rb");
  FileTable files;
  files.open_file("in", mode_input, 1);
  Text line;
  for (const char* expected : {"a", "", "b"}) {
    files.line_input_file(1, line);
    EXPECT_EQ(line, expected);
  }
  EXPECT_EQ(error_of([&] { files.line_input_file(1, line); }), err::input_past_end);
  EXPECT_EQ(line, "");
}

TEST(OpenFile, OutputEmptiesOrCreates) {
  WorkingFolder dir;
  write_bytes("old", std::string(1000, 'o'));
  FileTable files;
  files.open_file("old", mode_output, 2);
  EXPECT_EQ(read_bytes("old"), "");  // before any write
  files.open_file("new", mode_output, 3);
  EXPECT_TRUE(std::filesystem::exists("new"));
  files.close_all();
  EXPECT_EQ(read_bytes("old"), "");
  EXPECT_EQ(read_bytes("new"), "");
}

// A run that writes nothing must not cost the file it would have replaced.
TEST(OpenFile, OutputKeptUntilItsFirstByte) {
  struct Case {
    const char* label;
    bool existed;
    std::string written;
    bool kept;  // the name still there after the close
    std::string after;
  };
  const Case cases[] = {
      {"existing, nothing written", true, "", true, "last month's download"},
      {"made by the open, nothing written", false, "", false, ""},
      {"existing, a byte written", true, "x", true, "x"},
      {"made by the open, a byte written", false, "x", true, "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    if (c.existed) write_bytes("shop.txt", "last month's download");
    FileTable files;
    files.open_file("shop.txt", mode_output, 2, Emptying::at_first_write);
    EXPECT_EQ(files.entry(2)->created, !c.existed);
    if (c.existed) EXPECT_EQ(read_bytes("shop.txt"), "last month's download");
    if (!c.written.empty()) files.print_to_file(2, c.written, false);
    files.close_file(2);
    EXPECT_EQ(std::filesystem::exists("shop.txt"), c.kept);
    if (c.kept) EXPECT_EQ(read_bytes("shop.txt"), c.after);
    EXPECT_EQ(files.left_as_found("shop.txt"), c.written.empty());
    EXPECT_TRUE(files.opened_for_writing("shop.txt"));
  }
}

// The same on every way a run ends: the table's own end and close_all.
TEST(OpenFile, OutputKeptUntilItsFirstByteWhateverCloses) {
  WorkingFolder dir;
  write_bytes("old.txt", "kept");
  {
    FileTable files;
    files.open_file("old.txt", mode_output, 2, Emptying::at_first_write);
    files.open_file("new.txt", mode_output, 3, Emptying::at_first_write);
  }
  EXPECT_EQ(read_bytes("old.txt"), "kept");
  EXPECT_FALSE(std::filesystem::exists("new.txt"));
  FileTable files;
  files.open_file("new.txt", mode_output, 3, Emptying::at_first_write);
  files.close_all();
  EXPECT_FALSE(std::filesystem::exists("new.txt"));
}

// A name that names no port is no file to make.
TEST(OpenPort, ANameOfNoDeviceIsNotAnsweringAndMakesNothing) {
  WorkingFolder dir;
  FileTable without_opener;
  FileTable refusing([](std::string_view) { return std::unique_ptr<Device>(); });
  for (FileTable* files : {&without_opener, &refusing}) {
    EXPECT_EQ(error_of([&] { files->open_port("COM2.5:19200,N,8,1,BIN,CS0,DS0", 1); }),
              err::device_unavailable);
    EXPECT_FALSE(files->is_open(1));
  }
  EXPECT_TRUE(folder_entries().empty());
}

int medium_syncs = 0;
int counted_sync(int) {
  ++medium_syncs;
  return 0;
}

// Written files reach the medium before they are closed; a flush that fails
// is a failed write, reported once.
TEST(SyncFile, WrittenFilesReachTheMedium) {
  WorkingFolder dir;
  const MediumSync saved = replace_medium_sync(counted_sync);
  medium_syncs = 0;
  {
    FileTable files;
    files.open_file("out", mode_output, 2);
    files.print_to_file(2, "abc", false);
    files.sync_file(2);
    EXPECT_EQ(read_bytes("out"), "abc");
    EXPECT_EQ(medium_syncs, 1);
    files.open_file("in", mode_random, 4);
    files.open_file("untouched", mode_output, 3, Emptying::at_first_write);
    files.close_all();
    EXPECT_EQ(medium_syncs, 2);  // the output again; not the probe nor the untouched one
  }
  replace_medium_sync([](int) { return EIO; });
  {
    FileTable files;
    files.open_file("out", mode_output, 2);
    files.print_to_file(2, "abc", false);
    EXPECT_EQ(error_of([&] { files.sync_file(2); }), err::path_file_access);
    EXPECT_EQ(error_of([&] { files.close_file(2); }), 0);
    files.open_file("out2", mode_output, 2);
    EXPECT_EQ(error_of([&] { files.close_file(2); }), err::path_file_access);
  }
  replace_medium_sync(saved);
}

TEST(OpenFile, RandomKeepsContentOrCreates) {
  WorkingFolder dir;
  write_bytes("kept", "hello");
  FileTable files;
  files.open_file("kept", mode_random, 4);
  files.open_file("made", mode_random, 1);
  for (int n : {1, 4}) {
    EXPECT_TRUE(files.entry(n)->can_read);
    EXPECT_TRUE(files.entry(n)->can_write);
    EXPECT_EQ(files.entry(n)->record_length, 128u);
    EXPECT_EQ(files.entry(n)->position, 0u);
  }
  EXPECT_FALSE(files.entry(4)->created);
  EXPECT_TRUE(files.entry(1)->created);
  files.close_all();
  EXPECT_EQ(read_bytes("kept"), "hello");
  EXPECT_EQ(read_bytes("made"), "");
}

// Root passes every permission bit, but nobody may write a running program.
TEST(OpenFile, RandomFallsBackToReadingAlone) {
  const int probe = ::open("/proc/self/exe", O_RDWR);
  if (probe >= 0) {
    ::close(probe);
    GTEST_SKIP() << "this system lets a running program be written";
  }
  ASSERT_EQ(errno, ETXTBSY);
  FileTable files;
  files.open_file("/proc/self/exe", mode_random, 4);
  EXPECT_TRUE(files.entry(4)->can_read);
  EXPECT_FALSE(files.entry(4)->can_write);
}

TEST(OpenFile, FailuresRaiseTheirNumberAndCreateNothing) {
  struct Case {
    std::string label;
    std::string name;
    FileMode mode;
    int expected;
  };
  const std::vector<Case> cases = {
      {"input of a missing file", "absent", mode_input, err::file_not_found},
      {"input in a missing folder", "nofolder/x", mode_input, err::path_not_found},
      {"output in a missing folder", "nofolder/x", mode_output, err::path_not_found},
      {"random in a missing folder", "nofolder/x", mode_random, err::path_not_found},
      {"a file where a folder should be", "plain/x", mode_input, err::path_not_found},
      {"input of a folder", "dir", mode_input, err::permission_denied},
      {"output of a folder", "dir", mode_output, err::permission_denied},
      {"random of a folder", "dir", mode_random, err::permission_denied},
      {"star in output", "a*b", mode_output, err::file_not_found},
      {"question mark in random", "a?b", mode_random, err::file_not_found},
      {"star matching a file, input", "pla*", mode_input, err::file_not_found},
      {"NUL cuts no name short", std::string("plain\0x", 7), mode_output,
       err::file_not_found},
      {"NUL in a new name", std::string("fresh\0x", 7), mode_random, err::file_not_found},
      // A FIFO would hold the run until another program opened its other end.
      {"input of a FIFO", "fifo", mode_input, err::file_not_found},
      {"random of a FIFO", "fifo", mode_random, err::file_not_found},
      {"output of a FIFO without a reader", "fifo", mode_output, err::device_unavailable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    write_bytes("plain", "keep");
    std::filesystem::create_directory("dir");
    ASSERT_EQ(mkfifo("fifo", 0644), 0);
    const auto before = folder_entries();
    FileTable files;
    EXPECT_EQ(error_of([&] { files.open_file(c.name, c.mode, 1); }), c.expected);
    EXPECT_FALSE(files.is_open(1));
    EXPECT_EQ(folder_entries(), before);
    EXPECT_EQ(read_bytes("plain"), "keep");
  }
}

TEST(OpenFile, AccentedNamesAreHeldAsUtf8) {
  struct Case {
    std::string label;
    std::string typed;  // code page 437, as the console gives it
    FileMode mode;
    std::string on_disk;
  };
  const std::vector<Case> cases = {
      {"output creates", "caf\x82.txt", mode_output, "caf\xC3\xA9.txt"},
      {"random creates in an accented folder", "d\x82p/r\x82sum\x82.csv", mode_random,
       "d\xC3\xA9p/r\xC3\xA9sum\xC3\xA9.csv"},
      {"input opens the existing file", "caf\x82.in", mode_input, "caf\xC3\xA9.in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    std::filesystem::create_directory("d\xC3\xA9p");
    write_bytes("caf\xC3\xA9.in", "line\r\n");
    FileTable files;
    files.open_file(c.typed, c.mode, 1);
    files.close_all();
    EXPECT_TRUE(std::filesystem::exists(c.on_disk));
    EXPECT_EQ(folder_entries(), (std::set<std::string>{"caf\xC3\xA9.in", "d\xC3\xA9p",
                                                       c.on_disk.substr(0, c.on_disk.find('/'))}));
  }
}

TEST(OpenFile, AccentedNameContentIsNotConverted) {
  WorkingFolder dir;
  std::filesystem::create_directory("d\xC3\xA9p");
  FileTable files;
  files.open_file("d\x82p/caf\x82.txt", mode_output, 2);
  files.print_to_file(2, "caf\x82", true);
  files.close_all();
  EXPECT_EQ(read_bytes("d\xC3\xA9p/caf\xC3\xA9.txt"), "caf\x82\r\n");
  // The folder exists under its UTF-8 name: a missing file there is no
  // missing folder.
  EXPECT_EQ(error_of([&] { files.open_file("d\x82p/absent", mode_input, 1); }),
            err::file_not_found);
}

// Another copy of the program holds the file (its own open, locked).
TEST(OpenFile, FileLockedElsewhereIsRefusedAndKept) {
  struct Case {
    std::string label;
    int lock;
    FileMode mode;
    int expected;
  };
  const std::vector<Case> cases = {
      {"output of a file being written", LOCK_EX, mode_output, err::permission_denied},
      {"output of a file being read", LOCK_SH, mode_output, err::permission_denied},
      {"random of a file being written", LOCK_EX, mode_random, err::permission_denied},
      {"random of a file being read", LOCK_SH, mode_random, err::permission_denied},
      {"input reads on", LOCK_EX, mode_input, 0},
  };
  const std::string content(1000, 'c');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    write_bytes("shop.txt", content);
    HeldFile holder("shop.txt", c.lock);
    FileTable files;
    EXPECT_EQ(error_of([&] { files.open_file("shop.txt", c.mode, 2); }), c.expected);
    EXPECT_EQ(files.is_open(2), c.expected == 0);
    EXPECT_EQ(files.opened_for_writing("shop.txt"), false);
    EXPECT_EQ(read_bytes("shop.txt"), content);
  }
}

// Two runs in one folder with one output name: the second never cuts the
// first one's capture, and may use the name once the first has closed it.
TEST(OpenFile, OutputIsHeldFromOpenToClose) {
  WorkingFolder dir;
  FileTable first;
  first.open_file("shop.txt", mode_output, 2);
  first.print_to_file(2, "captured so far", false);
  first.flush_file(2);

  FileTable second;
  for (FileMode mode : {mode_output, mode_random}) {
    EXPECT_EQ(error_of([&] { second.open_file("shop.txt", mode, 2); }), err::permission_denied);
  }
  EXPECT_FALSE(second.opened_for_writing("shop.txt"));
  first.print_to_file(2, ", and the rest", false);
  first.close_file(2);
  EXPECT_EQ(read_bytes("shop.txt"), "captured so far, and the rest");
  EXPECT_TRUE(first.opened_for_writing("shop.txt"));

  second.open_file("shop.txt", mode_output, 2);
  EXPECT_EQ(read_bytes("shop.txt"), "");
  EXPECT_TRUE(second.opened_for_writing("shop.txt"));
}

// A copy reading the file (the conversion's temporary copy) keeps others
// from emptying it, while other readers share it.
TEST(OpenFile, ReaderKeepsWritersAwayButNotReaders) {
  WorkingFolder dir;
  write_bytes("shop.tmp", "capture\r\n");
  FileTable converting;
  converting.open_file("shop.tmp", mode_input, 1);
  FileTable other;
  EXPECT_EQ(error_of([&] { other.open_file("shop.tmp", mode_output, 2); }),
            err::permission_denied);
  EXPECT_EQ(error_of([&] { other.open_file("shop.tmp", mode_random, 4); }),
            err::permission_denied);
  other.open_file("shop.tmp", mode_input, 3);
  Text line;
  converting.line_input_file(1, line);
  EXPECT_EQ(line, "capture");
  EXPECT_EQ(read_bytes("shop.tmp"), "capture\r\n");
}

TEST(OpenFile, NumberBelowOneOrInUse) {
  WorkingFolder dir;
  FileTable files;
  EXPECT_EQ(error_of([&] { files.open_file("zero", mode_output, 0); }), err::bad_file_number);
  EXPECT_EQ(error_of([&] { files.open_file("minus", mode_output, -1); }), err::bad_file_number);
  EXPECT_TRUE(folder_entries().empty());

  files.open_file("first", mode_output, 2);
  files.print_to_file(2, "abc", false);
  EXPECT_EQ(error_of([&] { files.open_file("second", mode_output, 2); }),
            err::file_already_open);
  EXPECT_EQ(error_of([&] { files.open_file("first", mode_output, 2); }),
            err::file_already_open);
  EXPECT_FALSE(std::filesystem::exists("second"));
  files.print_to_file(2, "def", false);
  files.close_file(2);
  EXPECT_EQ(read_bytes("first"), "abcdef");
}

TEST(CloseFile, FreeNumbersAreNoError) {
  FileTable files;
  EXPECT_EQ(error_of([&] { files.close_file(3); }), 0);
  EXPECT_EQ(error_of([&] { files.close_all(); }), 0);
}

TEST(FileTable, NumbersKeepTheirFilesWhateverTheOrder) {
  WorkingFolder dir;
  for (const char* name : {"a", "b", "c", "d"}) write_bytes(name, std::string(name) + "\n");
  FileTable files;
  files.open_file("c", mode_input, 3);
  files.open_file("a", mode_input, 1);
  files.open_file("b", mode_input, 2);
  files.close_file(2);
  EXPECT_FALSE(files.is_open(2));
  files.open_file("d", mode_input, 2);
  EXPECT_EQ(error_of([&] { files.open_file("b", mode_input, 3); }), err::file_already_open);
  for (const auto& [number, content] :
       std::vector<std::pair<int, std::string>>{{1, "a"}, {2, "d"}, {3, "c"}}) {
    Text line;
    files.line_input_file(number, line);
    EXPECT_EQ(line, content) << "number " << number;
  }
  files.close_all();
  for (int number = 1; number <= 3; ++number) EXPECT_FALSE(files.is_open(number));
}

TEST(FileTable, OperationsRefuseTheWrongNumberOrMode) {
  struct Case {
    std::string label;
    std::function<void(FileTable&)> action;
    int expected;
  };
  FixedText one(1);
  FixedText too_wide(129);
  Text line;
  const std::vector<Case> cases = {
      {"line input, free number", [&](FileTable& f) { f.line_input_file(4, line); },
       err::bad_file_number},
      {"line input, output file", [&](FileTable& f) { f.line_input_file(2, line); },
       err::path_file_access},
      {"line input, random file", [&](FileTable& f) { f.line_input_file(3, line); },
       err::bad_file_mode},
      {"print, free number", [](FileTable& f) { f.print_to_file(4, "x", false); },
       err::bad_file_number},
      {"print, input file", [](FileTable& f) { f.print_to_file(1, "x", false); },
       err::bad_file_mode},
      {"print, random file", [](FileTable& f) { f.print_to_file(3, "x", true); },
       err::bad_file_mode},
      {"end of file, free number", [](FileTable& f) { f.end_of_file(4); },
       err::bad_file_number},
      {"get, free number", [&](FileTable& f) { f.get_from_file(4, one); },
       err::bad_file_number},
      {"get, input file", [&](FileTable& f) { f.get_from_file(1, one); }, err::bad_file_mode},
      {"get, output file", [&](FileTable& f) { f.get_from_file(2, one); },
       err::bad_file_mode},
      {"get, buffer wider than a record", [&](FileTable& f) { f.get_from_file(3, too_wide); },
       err::bad_record_length},
      {"location, free number", [](FileTable& f) { f.file_location(4); },
       err::bad_file_number},
      {"read available, free number", [&](FileTable& f) { f.read_available(4, line); },
       err::bad_file_number},
      {"read available, input file", [&](FileTable& f) { f.read_available(1, line); },
       err::bad_file_mode},
      {"read available, random file", [&](FileTable& f) { f.read_available(3, line); },
       err::bad_file_mode},
      {"flush, free number", [](FileTable& f) { f.flush_file(4); }, err::bad_file_number},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WorkingFolder dir;
    write_bytes("in", "x\r\n");
    FileTable files;
    files.open_file("in", mode_input, 1);
    files.open_file("out", mode_output, 2);
    files.open_file("rnd", mode_random, 3);
    line = "kept";
    EXPECT_EQ(error_of([&] { c.action(files); }), c.expected);
    EXPECT_EQ(line, "kept");
  }
}

TEST(PrintToFile, WritesTheBytesAsGiven) {
  struct Case {
    std::string text;
    bool line_end;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"x", true, "x\r\n"},
      {"x", false, "x"},
      {"", false, ""},
      {"", true, "\r\n"},
      {"a\nb", false, "a\nb"},
      {std::string("\0\xff\r", 3), false, std::string("\0\xff\r", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    WorkingFolder dir;
    FileTable files;
    files.open_file("out", mode_output, 2);
    files.print_to_file(2, c.text, c.line_end);
    EXPECT_EQ(files.entry(2)->position, c.written.size());
    files.close_file(2);
    EXPECT_EQ(read_bytes("out"), c.written);
  }
}

TEST(PrintToFile, LongOutputArrivesWholeAndInOrder) {
  WorkingFolder dir;
  std::string expected;
  {
    FileTable files;
    files.open_file("out", mode_output, 2);
    for (int i = 0; i < 5000; ++i) {
      const std::string piece = std::to_string(i) + std::string(i % 97, 'a' + i % 26);
      files.print_to_file(2, piece, i % 3 == 0);
      expected += piece + (i % 3 == 0 ? "\r\n" : "");
    }
    const std::string big(3 * file_block_size + 7, 'B');
    files.print_to_file(2, big, true);
    expected += big + "\r\n";
    // Output is handed over as it grows, not held until the close.
    EXPECT_GE(std::filesystem::file_size("out"), big.size());
    files.print_to_file(2, "tail", false);
    expected += "tail";
  }  // the table closes what is still open
  EXPECT_EQ(read_bytes("out"), expected);
}

TEST(PrintToFile, FlushAndCloseAllHandOverBufferedOutput) {
  WorkingFolder dir;
  FileTable files;
  files.open_file("a", mode_output, 2);
  files.open_file("b", mode_output, 3);
  files.print_to_file(2, "one", false);
  files.print_to_file(3, "two", true);
  files.flush_file(2);
  EXPECT_EQ(read_bytes("a"), "one");
  files.close_all();
  EXPECT_FALSE(files.is_open(2));
  EXPECT_FALSE(files.is_open(3));
  EXPECT_EQ(read_bytes("b"), "two\r\n");
}

TEST(PrintToFile, FailedWriteIsReported) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  FileTable files;
  files.open_file("/dev/full", mode_output, 2);
  files.print_to_file(2, "x", false);
  EXPECT_EQ(error_of([&] { files.close_file(2); }), err::path_file_access);
  EXPECT_FALSE(files.is_open(2));

  files.open_file("/dev/full", mode_output, 2);
  EXPECT_EQ(error_of([&] { files.print_to_file(2, std::string(file_block_size, 'x'), true); }),
            err::path_file_access);
  files.print_to_file(2, "y", false);
  EXPECT_EQ(error_of([&] { files.flush_file(2); }), err::path_file_access);
  // What failed once is not reported a second time.
  EXPECT_EQ(error_of([&] { files.close_file(2); }), 0);
}

// Every byte taken from the source is in the output before more is asked
// for, so a killed process loses nothing it had taken.
TEST(FileLocation, OutputsReachTheFileBeforeMoreIsRead) {
  WorkingFolder dir;
  write_bytes("src", std::string(300, 's'));
  FileTable files;
  files.open_file("src", mode_random, 1);
  files.open_file("cap", mode_output, 2);
  files.print_to_file(2, "xy", false);
  ASSERT_EQ(read_bytes("cap"), "");  // still buffered
  files.file_location(1);
  EXPECT_EQ(read_bytes("cap"), "xy");
  files.print_to_file(2, "z", false);
  FixedText one(1);
  files.get_from_file(1, one);
  EXPECT_EQ(read_bytes("cap"), "xyz");
}

TEST(GetFromFile, RandomFileReadsOneRecordAtATime) {
  WorkingFolder dir;
  std::string bytes(300, '.');
  bytes[0] = 'A';
  bytes[128] = 'B';
  bytes[256] = 'C';
  write_bytes("rnd", bytes);
  FileTable files;
  files.open_file("rnd", mode_random, 1);
  FixedText one(1);
  std::uint64_t position = 0;
  for (const char* expected : {"A", "B", "C"}) {
    files.get_from_file(1, one);
    position += 128;
    EXPECT_EQ(one.value(), expected);
    EXPECT_FALSE(files.entry(1)->at_end);
    EXPECT_EQ(files.entry(1)->position, position);
  }
  files.get_from_file(1, one);
  EXPECT_EQ(one.value(), std::string(1, '\0'));
  EXPECT_TRUE(files.entry(1)->at_end);
  EXPECT_EQ(files.entry(1)->position, position);
}

}  // namespace
}  // namespace pat
