// What the terminal program loads: the shared libraries mapped into the
// real program at its closing prompt, started alone in a fresh folder in
// tmux. The window's libraries belong only to a run that opens a window.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "tests/e2e_support.h"

namespace pat::bench {
namespace {

// The file names of the shared libraries a process has mapped.
std::set<std::string> mapped_libraries(int pid) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::set<std::string> names;
  std::string line;
  while (std::getline(maps, line)) {
    const std::size_t slash = line.rfind('/');
    if (slash == std::string::npos) continue;
    const std::string name = line.substr(slash + 1);
    if (name.find(".so") != std::string::npos) names.insert(name);
  }
  return names;
}

bool is_window_library(const std::string& name) {
  for (const char* prefix : {"libglut.", "libGLEW.", "libGL.", "libGLX", "libX11."}) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

int main_bench() {
  test::RunFolder folder;
  test::TmuxRun run(folder, "/v");
  require(run.wait_contains("Press any key to continue"), "no closing prompt after /v", &run);
  const int pid = run.program_pid();
  require(pid > 0, "the program is not running", &run);
  const std::set<std::string> all = mapped_libraries(pid);
  std::vector<std::string> window;
  std::copy_if(all.begin(), all.end(), std::back_inserter(window), is_window_library);
  run.key("Enter");
  require(run.wait_exit() == 0, "the program did not end with status 0", &run);

  std::string names;
  for (const std::string& n : window) names += (names.empty() ? "" : ", ") + n;
  print_table("Libraries of the terminal program (/v, copied alone into a fresh folder)",
              {{"shared libraries mapped", std::to_string(all.size()), "",
                "/proc/<pid>/maps at the closing prompt"},
               {"of them the window's", std::to_string(window.size()), "",
                window.empty() ? "freeglut, GLEW, GL, X11: none" : names}});
  goal_line("window libraries loaded by the terminal program", "none",
            window.empty() ? "none" : names, std::to_string(all.size()) + " libraries in all",
            window.empty());
  return window.empty() ? 0 : 1;
}

}  // namespace
}  // namespace pat::bench

int main() { return pat::bench::run_bench("startup_bench", pat::bench::main_bench); }
