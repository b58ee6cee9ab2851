#pragma once

#include <string>

// Certificate downloads as the tester sends them.

namespace pat::test {

// n appliance blocks of a certificate download, with CR LF line ends.
std::string certificate_blocks(int appliances, int first = 1);
// The same, closed by "end of data" and its line end.
std::string certificate_download(int appliances);

}  // namespace pat::test
