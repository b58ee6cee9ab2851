#include "downloader/files/own_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"

namespace pat {
namespace {

TEST(OwnFileName, ExactNameElseTheOneEntryOfAnotherLetterCase) {
  struct Case {
    std::string label;
    std::vector<std::string> files;    // as on disk (UTF-8)
    std::vector<std::string> folders;
    std::string name;                  // the program's text (code page 437)
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"exact name", {"header.txt"}, {}, "header.txt", "header.txt"},
      {"exact name beside other casings", {"header.txt", "HEADER.TXT", "Header.txt"}, {},
       "header.txt", "header.txt"},
      {"an exact folder stands", {"HEADER.TXT"}, {"header.txt"}, "header.txt", "header.txt"},
      {"one other casing", {"HEADER.TXT", "other.txt"}, {}, "header.txt", "HEADER.TXT"},
      {"one other casing of a link", {"COM3"}, {}, "com3", "COM3"},
      {"two other casings", {"HEADER.TXT", "Header.Txt"}, {}, "header.txt", ""},
      {"a file and a folder", {"HEADER.TXT"}, {"Header.txt"}, "header.txt", ""},
      {"no match", {"header.txt.bak", "header.tx", "eader.txt"}, {}, "header.txt", ""},
      {"empty folder", {}, {}, "quelmarint.cfg", ""},
      {"only letters are folded", {"A{B"}, {}, "a[b", ""},
      {"accented letter as it stands", {"CAF\xC3\xA9.TXT"}, {}, "caf\x82.txt", "CAF\x82.TXT"},
      {"accented letter not folded", {"CAF\xC3\x89.TXT"}, {}, "caf\x82.txt", ""},
      {"exact accented name", {"caf\xC3\xA9.txt"}, {}, "caf\x82.txt", "caf\x82.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::WorkingFolder dir;
    for (const std::string& f : c.files) test::write_bytes(f, "x");
    for (const std::string& f : c.folders) std::filesystem::create_directory(f);
    EXPECT_EQ(own_file_name(c.name), c.expected);
  }
}

}  // namespace
}  // namespace pat
