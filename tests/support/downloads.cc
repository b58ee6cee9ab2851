#include "tests/support/downloads.h"

#include <cstdio>

namespace pat::test {

std::string certificate_blocks(int appliances, int first) {
  auto pad = [](std::string s, std::size_t column, const std::string& text) {
    if (s.size() < column - 1) s.resize(column - 1, ' ');
    return s + text;
  };
  std::string out;
  auto line = [&](const std::string& l) { out += l + "\r\n"; };
  for (int i = first; i < first + appliances; ++i) {
    char id[16];
    std::snprintf(id, sizeof id, "A%04d", i);
    line(std::string(40, '='));
    line(pad("APPLIANCE:", 12, id));
    line(pad(pad("DATE:", 7, "05/03/2019"), 18, "14:25"));
    line(pad("SITE:", 7, "NORTH WORKSHOP"));
    line(pad(pad("LOCATION:", 14, "STORE ROOM 2"), 43, "TEST1-DATA"));
    line(pad(pad("USER:", 14, "J SMITH"), 43, "TEST2-DATA"));
    line(pad("  VISUAL  ", 23, "P"));
    line(pad(pad("  INS  ", 12, "299.9 MOhm"), 23, "P"));
    line(pad(pad("  EARTH  ", 13, "0.09 Ohm"), 23, "P"));
    line(pad("  OVERALL STATUS", 20, "PASS"));
    line(pad(pad("COMMENTS: ", 11, "CABLE REPLACED"), 70, " "));
    line(pad("", 11, "PLUG FUSE 13A"));
    line(pad("", 11, "RETEST IN 6 MONTHS"));
    line("");
    line("SIGNATURE:");
  }
  return out;
}

std::string certificate_download(int appliances) {
  return certificate_blocks(appliances) + "end of data\r\n";
}

}  // namespace pat::test
