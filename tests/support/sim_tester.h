#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/tmux_run.h"

// The simulated tester (tools/sim_tester) on a pseudo-terminal linked as
// com<port> in a folder.

namespace pat::test {

struct TesterOptions {
  int port = 3;
  std::string send;       // the bytes to send, empty for none
  long baud = 19200;      // 0 = as fast as the port takes it
  std::vector<std::pair<long, double>> pauses;  // after this many bytes, pause
  bool hold_lock = false;
  double timeout = 120;
  std::string link;       // the link's name in the folder; empty for com<port>
};

class SimTester {
 public:
  // folder: where com<port> is linked (the program's folder). Throws, with
  // the tester's own message, when it ends or is not ready within 10 s.
  SimTester(const std::string& folder, const TesterOptions& options);
  SimTester(const RunFolder& folder, const TesterOptions& options)
      : SimTester(folder.path(), options) {}
  ~SimTester();
  SimTester(const SimTester&) = delete;
  SimTester& operator=(const SimTester&) = delete;
  // Waits for the tester to end; its stderr report.
  std::string finish(double seconds = 30);

 private:
  pid_t pid_ = -1;
  std::string log_;
};

}  // namespace pat::test
