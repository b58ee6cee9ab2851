#pragma once

// Small helpers shared by the bench programs: clocks, a process's processor
// time, the dialogue up to the capture, and a plain table of figures.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e_support.h"
#include "tests/support/dialogue.h"

namespace pat::bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

inline void sleep_seconds(double s) {
  std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

// Processor time of one thread, in seconds, as the scheduler counts it in
// nanoseconds (the first field of its schedstat); negative when it is gone.
// utime and stime of /proc/<pid>/stat come in 10 ms ticks, too coarse for
// the tens of milliseconds a slow download takes.
inline double thread_cpu_seconds(int pid, int tid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/schedstat");
  long long ns = -1;
  if (!(in >> ns)) return -1;
  return static_cast<double>(ns) / 1e9;
}

// The same summed over every thread of a process; negative when it is gone.
// A thread that ends takes its time with it: the processes measured here
// keep their threads to the end.
inline double cpu_seconds(int pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code ec;
  std::filesystem::directory_iterator it(tasks, ec);
  if (ec) return -1;
  double total = 0;
  for (const auto& task : it) {
    const double seconds = thread_cpu_seconds(pid, std::atoi(task.path().filename().c_str()));
    if (seconds >= 0) total += seconds;
  }
  return total;
}

// Context switches, voluntary and not, of every thread of a process: how
// often it woke. Negative when the process is gone.
inline long context_switches(int pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code ec;
  std::filesystem::directory_iterator it(tasks, ec);
  if (ec) return -1;
  long total = 0;
  for (const auto& task : it) {
    std::ifstream in(task.path() / "status");
    std::string line;
    while (std::getline(in, line)) {
      for (const char* name : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
        if (line.rfind(name, 0) == 0) total += std::stol(line.substr(std::strlen(name)));
      }
    }
  }
  return total;
}

inline long file_size(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// Folders to remove should the bench be stopped by a signal; their owners
// remove them on every other way out.
struct StopCleanup {
  std::mutex mutex;
  std::set<std::string> paths;
  int pipe[2] = {-1, -1};
};

inline StopCleanup& stop_cleanup() {
  static StopCleanup c;
  return c;
}

class RemoveOnStop {
 public:
  explicit RemoveOnStop(std::string path) : path_(std::move(path)) {
    std::lock_guard lock(stop_cleanup().mutex);
    stop_cleanup().paths.insert(path_);
  }
  ~RemoveOnStop() {
    std::lock_guard lock(stop_cleanup().mutex);
    stop_cleanup().paths.erase(path_);
  }
  RemoveOnStop(const RemoveOnStop&) = delete;
  RemoveOnStop& operator=(const RemoveOnStop&) = delete;

 private:
  std::string path_;
};

// On SIGINT, SIGTERM or SIGHUP: remove the registered folders and end. The
// handler only wakes a thread; caught signals go back to their defaults in
// the programs the bench starts, so the tester and tmux behave as usual.
inline void remove_folders_on_stop() {
  StopCleanup& c = stop_cleanup();
  if (::pipe(c.pipe) != 0) return;
  std::thread([] {
    char signo = 0;
    while (::read(stop_cleanup().pipe[0], &signo, 1) != 1) {
    }
    std::lock_guard lock(stop_cleanup().mutex);
    for (const std::string& path : stop_cleanup().paths) {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
    _exit(128 + signo);
  }).detach();
  struct sigaction sa {};
  sa.sa_handler = [](int signo) {
    const char byte = static_cast<char>(signo);
    [[maybe_unused]] ssize_t n = ::write(stop_cleanup().pipe[1], &byte, 1);
  };
  sigemptyset(&sa.sa_mask);
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) sigaction(signo, &sa, nullptr);
}

inline void require(bool ok, const std::string& what, const test::TmuxRun* run = nullptr) {
  if (ok) return;
  std::string message = what;
  if (run != nullptr) message += "\nscreen:\n" + run->screen_text();
  throw std::runtime_error(message);
}

// Answers the dialogue and the first instruction screen; the next Enter
// starts the capture.
inline void answer_up_to_capture(test::TmuxRun& run, const std::string& baud_choice,
                                 const std::string& name, const std::string& format) {
  const std::string missing =
      test::dialogue_up_to_capture(run, {.baud = baud_choice, .name = name, .format = format});
  require(missing.empty(), missing);
}

// A table of figures: name, value, unit, how it was measured.
struct Row {
  std::string figure;
  std::string value;
  std::string unit;
  std::string how;
};

inline std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

inline void print_table(const std::string& title, const std::vector<Row>& rows) {
  std::size_t w0 = 6, w1 = 5, w2 = 4;
  for (const Row& r : rows) {
    w0 = std::max(w0, r.figure.size());
    w1 = std::max(w1, r.value.size());
    w2 = std::max(w2, r.unit.size());
  }
  std::printf("\n== %s ==\n", title.c_str());
  std::printf("%-*s  %*s  %-*s  %s\n", static_cast<int>(w0), "figure", static_cast<int>(w1),
              "value", static_cast<int>(w2), "unit", "measured as");
  std::printf("%s\n", std::string(w0 + w1 + w2 + 6 + 11, '-').c_str());
  for (const Row& r : rows) {
    std::printf("%-*s  %*s  %-*s  %s\n", static_cast<int>(w0), r.figure.c_str(),
                static_cast<int>(w1), r.value.c_str(), static_cast<int>(w2), r.unit.c_str(),
                r.how.c_str());
  }
  std::fflush(stdout);
}

// One row of the closing table that bench/run gathers from every bench:
// the figure, its goal, what was measured and the ratio to its peer.
inline void goal_line(const std::string& figure, const std::string& goal,
                      const std::string& measured, const std::string& ratio, bool met) {
  std::printf("goal\t%s\t%s\t%s\t%s\t%s\n", figure.c_str(), goal.c_str(), measured.c_str(),
              ratio.c_str(), met ? "met" : "NOT MET");
  std::fflush(stdout);
}

// cat of a tester's line, set raw as the program sets it, into a file: the
// peer of the program's capture. The child's process id.
inline pid_t start_raw_cat(const std::string& port, const std::string& out) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int line = ::open(port.c_str(), O_RDONLY | O_NOCTTY);
    const int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    termios t{};
    if (line < 0 || file < 0 || ::tcgetattr(line, &t) != 0) _exit(126);
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(line, TCSANOW, &t) != 0) _exit(126);
    ::dup2(line, 0);
    ::dup2(file, 1);
    ::execlp("cat", "cat", static_cast<char*>(nullptr));
    _exit(127);
  }
  require(pid > 0, "cannot start cat");
  return pid;
}

// A bench's main: its folders removed even when it is stopped, and a failure
// reported under its name.
inline int run_bench(const char* name, int (*bench)()) {
  remove_folders_on_stop();
  try {
    return bench();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", name, e.what());
    return 1;
  }
}

}  // namespace pat::bench
