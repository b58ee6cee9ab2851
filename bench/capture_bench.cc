// Capture speed: a certificate download of several megabytes sent by the
// simulated tester as fast as the port takes it, captured by the real
// program in tmux (format 2) and checked byte for byte. Beside each capture,
// cat reads the same download from the same kind of pseudo-terminal into a
// file: the time the program takes is given as a multiple of cat's.

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "tests/e2e_support.h"

namespace pat::bench {
namespace {

constexpr double line_bytes_per_s = 28800 / 10.0;  // 8 data bits, start and stop bit
constexpr long download_bytes = 8L << 20;
constexpr int runs = 5;
// The program's time may be at most this many times cat's.
constexpr double cat_time_limit = 5;

std::string big_download() {
  const std::size_t block = test::certificate_blocks(1).size();
  const int appliances = static_cast<int>((download_bytes + block - 1) / block);
  std::string all;
  all.reserve(static_cast<std::size_t>(appliances) * block + 16);
  for (int first = 1; first <= appliances; first += 1000)
    all += test::certificate_blocks(std::min(1000, appliances - first + 1), first);
  return all + "end of data\r\n";
}

struct RunResult {
  long bytes = 0;           // what the program wrote
  double program_s = 0;     // first byte in the file to the file complete
  double tester_s = 0;      // the tester's first write to its last
  long tester_bytes = 0;
  double cpu_s = 0;         // the program's processor time over program_s
  bool intact = false;
  std::string fault;
};

RunResult capture_once(const std::string& download) {
  RunResult r;
  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::SimTester tester(folder, {.send = download, .baud = 0, .timeout = 180});
  test::TmuxRun run(folder);
  answer_up_to_capture(run, "3", "speed", "2");
  const int pid = run.program_pid();
  require(pid > 0, "program not running", &run);

  const std::string out = folder.file("speed.txt");
  const long expected = static_cast<long>(download.size()) - 2;  // its CR LF is never read
  run.key("Enter");

  // The output is handed to the system whenever the port runs dry, so its
  // size follows the capture closely; it reaches the whole download only
  // when the capture closes the file.
  const auto limit = Clock::now() + std::chrono::seconds(150);
  Clock::time_point first{}, last{};
  double cpu_first = 0, cpu_last = 0;
  bool started = false;
  for (;;) {
    const long size = file_size(out);
    if (!started && size > 0) {
      first = Clock::now();
      cpu_first = cpu_seconds(pid);
      started = true;
    }
    if (started && size >= expected) {
      last = Clock::now();
      cpu_last = cpu_seconds(pid);
      break;
    }
    require(Clock::now() < limit, "capture did not finish; file has " +
                                      std::to_string(size) + " bytes", &run);
    sleep_seconds(0.001);
  }
  require(run.wait_row(1, " Finished!", 30), "no closing screen", &run);
  r.program_s = std::chrono::duration<double>(last - first).count();
  r.cpu_s = cpu_last - cpu_first;

  const std::string log = tester.finish(30);
  std::smatch m;
  if (std::regex_search(log, m, std::regex("sent ([0-9]+) bytes in ([0-9.]+) s"))) {
    r.tester_bytes = std::atol(m[1].str().c_str());
    r.tester_s = std::atof(m[2].str().c_str());
  }

  const std::string got = folder.read("speed.txt");
  r.bytes = static_cast<long>(got.size());
  const std::string want = download.substr(0, static_cast<std::size_t>(expected));
  r.intact = got == want;
  if (!r.intact) {
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    r.fault = "file has " + std::to_string(got.size()) + " bytes, expected " +
              std::to_string(want.size()) + "; first difference at byte " +
              std::to_string(diff.first - got.begin());
  }
  run.key("Enter");
  run.wait_exit(10);
  return r;
}

struct CatResult {
  long bytes = 0;
  double seconds = 0;  // first byte in the file to the whole download
  bool intact = false;
};

// cat of the tester's line (raw, as the program sets it) into a file.
CatResult cat_once(const std::string& download) {
  CatResult r;
  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::SimTester tester(folder, {.send = download, .baud = 0, .timeout = 180});
  const std::string out = folder.file("cat.txt");
  const std::string port = folder.file("com3");
  const pid_t pid = start_raw_cat(port, out);

  const long expected = static_cast<long>(download.size());
  const auto limit = Clock::now() + std::chrono::seconds(60);
  Clock::time_point first{}, last{};
  bool started = false;
  bool timed_out = false;
  for (;;) {
    const long size = file_size(out);
    if (!started && size > 0) {
      first = Clock::now();
      started = true;
    }
    if (started && size >= expected) {
      last = Clock::now();
      break;
    }
    if (Clock::now() >= limit) {
      timed_out = true;
      break;
    }
    sleep_seconds(0.001);
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  require(!timed_out, "cat did not finish; file has " + std::to_string(file_size(out)) +
                          " bytes");
  tester.finish(30);
  r.seconds = std::chrono::duration<double>(last - first).count();
  const std::string got = folder.read("cat.txt");
  r.bytes = static_cast<long>(got.size());
  r.intact = got == download;
  return r;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main_bench() {
  const std::string download = big_download();
  std::printf("capture speed: %zu bytes of certificate text, format 2, %d runs\n",
              download.size(), runs);
  std::fflush(stdout);

  std::vector<double> program_rates, tester_rates, cpu_per_mb, cat_rates, cat_ratios;
  bool all_intact = true;
  std::string faults;
  for (int i = 0; i < runs; ++i) {
    // cat right before each capture, so that both meet the same load.
    const CatResult c = cat_once(download);
    cat_rates.push_back(static_cast<double>(c.bytes) / c.seconds);
    std::printf("  run %d: cat: %ld bytes in %.3f s, %s\n", i + 1, c.bytes, c.seconds,
                c.intact ? "intact" : "NOT INTACT");
    if (!c.intact) {
      all_intact = false;
      faults += "cat's copy differs; ";
    }
    const RunResult r = capture_once(download);
    cat_ratios.push_back(r.program_s / c.seconds);
    program_rates.push_back(static_cast<double>(r.bytes) / r.program_s);
    if (r.tester_s > 0) tester_rates.push_back(static_cast<double>(r.tester_bytes) / r.tester_s);
    cpu_per_mb.push_back(r.cpu_s / (static_cast<double>(r.bytes) / 1e6));
    std::printf("  run %d: %ld bytes in %.3f s (program), tester sent %ld in %.3f s, %s\n",
                i + 1, r.bytes, r.program_s, r.tester_bytes, r.tester_s,
                r.intact ? "intact" : r.fault.c_str());
    std::fflush(stdout);
    if (!r.intact) {
      all_intact = false;
      faults += r.fault + "; ";
    }
  }

  const double rate = median(program_rates);
  const double ratio = rate / line_bytes_per_s;
  const double cat_ratio = median(cat_ratios);
  std::vector<Row> rows = {
      {"capture rate (program)", fixed(rate / 1e6, 2), "MB/s",
       "median of " + std::to_string(runs) +
           " runs: bytes in the file / time from the first byte in the file to the file "
           "complete (size polled every 1 ms)"},
      {"capture rate (tester)", tester_rates.empty() ? "n/a" : fixed(median(tester_rates) / 1e6, 2),
       "MB/s", "median of the tester's own \"sent N bytes in S s\" (first write to last write)"},
      {"ratio to 28800 baud", fixed(ratio, 0), "x",
       "program rate / 2880 bytes/s; needed: at least 100 x -> " +
           std::string(ratio >= 100 ? "met" : "NOT MET")},
      {"cat of the same line", fixed(median(cat_rates) / 1e6, 2), "MB/s",
       "median of " + std::to_string(runs) +
           " runs: cat of the raw pty into a file, first byte in the file to the whole "
           "download, one run right before each capture"},
      {"program time / cat time", fixed(cat_ratio, 1), "x",
       "median of the " + std::to_string(runs) + " pairs; needed: at most " +
           fixed(cat_time_limit, 0) + " x -> " +
           std::string(cat_ratio <= cat_time_limit ? "met" : "NOT MET")},
      {"processor time per MB", fixed(median(cpu_per_mb) * 1000, 1), "ms/MB",
       "program's processor time over the capture (/proc/<pid>/task/*/schedstat), per 10^6 bytes"},
      {"bytes lost or changed", all_intact ? "0" : "FAULT", "",
       all_intact ? "file == download up to \"end of data\", byte for byte, every run"
                  : faults},
  };
  print_table("Capture speed (" + fixed(static_cast<double>(download.size()) / 1e6, 1) +
                  " MB, --fast, real program in tmux)",
              rows);
  goal_line("capture of " + fixed(static_cast<double>(download.size()) / 1e6, 1) +
                " MB through a pty",
            "<= " + fixed(cat_time_limit, 0) + " x cat, 0 bytes lost",
            fixed(rate / 1e6, 1) + " MB/s, " + (all_intact ? "0 lost" : "BYTES LOST"),
            fixed(cat_ratio, 1) + " x cat", all_intact && cat_ratio <= cat_time_limit);
  return all_intact && ratio >= 100 && cat_ratio <= cat_time_limit ? 0 : 1;
}

}  // namespace
}  // namespace pat::bench

int main() { return pat::bench::run_bench("capture_bench", pat::bench::main_bench); }
