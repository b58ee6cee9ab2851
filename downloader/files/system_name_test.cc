#include "downloader/files/system_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pat {
namespace {

TEST(SystemName, HighBytesBecomeUtf8AndTheRestStays) {
  struct Case {
    std::string label;
    std::string typed;  // code page 437
    std::string on_disk;
  };
  const std::vector<Case> cases = {
      {"plain name", "shop.txt", "shop.txt"},
      {"empty", "", ""},
      {"e acute", "caf\x82.txt", "caf\xC3\xA9.txt"},
      {"first high byte", "\x80", "\xC3\x87"},
      {"sharp s", "stra\xE1" "e", "stra\xC3\x9F" "e"},
      {"pound sign", "\x9C" "5", "\xC2\xA3" "5"},
      {"box drawing is three bytes", "\xC4", "\xE2\x94\x80"},
      {"last byte is a no-break space", "a\xFF" "b", "a\xC2\xA0" "b"},
      {"folder and name", "d\x82p\x93t/r\x82sum\x82.csv",
       "d\xC3\xA9p\xC3\xB4t/r\xC3\xA9sum\xC3\xA9.csv"},
      {"control bytes and 127 unchanged", std::string("a\x01\x1F\x7F", 4),
       std::string("a\x01\x1F\x7F", 4)},
      {"NUL unchanged", std::string("a\0b", 3), std::string("a\0b", 3)},
      {"UTF-8 bytes are read as code page 437", "caf\xC3\xA9", "caf\xE2\x94\x9C\xE2\x8C\x90"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(system_name(c.typed), c.on_disk);
  }
}

}  // namespace
}  // namespace pat
