// Processor share of the real program in tmux while it waits: for data, for
// the bytes of a slow download, at the closing prompt and in a line entry.
// Each is the program's user plus system time over a stretch of wall time,
// as a percentage of one core, with how often the program woke up: the
// voluntary context switches of its main thread and of all its threads.

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "tests/e2e_support.h"

namespace pat::bench {
namespace {

constexpr double sample_s = 10;
constexpr double limit_percent = 5;
// Wake-ups per second of the main thread while waiting for data.
constexpr double limit_wakeups = 10;

struct Share {
  double cpu_s = 0;
  double wall_s = 0;
  long main_wakeups = 0;  // voluntary switches of the main thread
  long all_wakeups = 0;   // the same, summed over all threads
  double percent() const { return wall_s > 0 ? 100 * cpu_s / wall_s : 0; }
  double main_per_s() const { return wall_s > 0 ? main_wakeups / wall_s : 0; }
  double all_per_s() const { return wall_s > 0 ? all_wakeups / wall_s : 0; }
};

// Processor time and wake-ups of a process from one moment to another.
class Meter {
 public:
  explicit Meter(int pid)
      : pid_(pid),
        cpu_(cpu_seconds(pid)),
        main_(thread_switches(pid, pid).voluntary),
        all_(process_voluntary_switches(pid)),
        start_(Clock::now()) {}

  Share stop() const {
    Share s;
    const double cpu = cpu_seconds(pid_);
    const long main = thread_switches(pid_, pid_).voluntary;
    const long all = process_voluntary_switches(pid_);
    s.wall_s = seconds_since(start_);
    require(cpu_ >= 0 && cpu >= 0 && main_ >= 0 && main >= 0 && all_ >= 0 && all >= 0,
            "program ended during the sample");
    s.cpu_s = cpu - cpu_;
    s.main_wakeups = main - main_;
    s.all_wakeups = all - all_;
    return s;
  }

 private:
  int pid_;
  double cpu_;
  long main_;
  long all_;
  Clock::time_point start_;
};

// The program's processor time over the next `seconds` of wall time.
Share sample(int pid, double seconds) {
  const Meter meter(pid);
  sleep_seconds(seconds);
  return meter.stop();
}

int running_pid(const test::TmuxRun& run) {
  const int pid = run.program_pid();
  require(pid > 0, "program not running", &run);
  return pid;
}

Share waiting_for_data() {
  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::SimTester tester(folder, {});  // a line that never sends
  test::TmuxRun run(folder);
  answer_up_to_capture(run, "3", "idle", "2");
  run.key("Enter");
  require(run.wait_row(2, " Waiting for data from Supernova. This can take up to 60 seconds"),
          "no waiting screen", &run);
  const Share s = sample(running_pid(run), sample_s);
  run.key("Escape");
  run.wait_exit(5);
  return s;
}

Share receiving_slowly(std::size_t& bytes) {
  // About 15 s of certificate text at 28800 baud.
  const std::size_t block = test::certificate_blocks(1).size();
  const int appliances = static_cast<int>(15 * 2880 / block);
  const std::string download = test::certificate_download(appliances);
  bytes = download.size();

  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::SimTester tester(folder, {.send = download, .baud = 28800, .timeout = 120});
  test::TmuxRun run(folder);
  answer_up_to_capture(run, "3", "slow", "2");
  const int pid = running_pid(run);
  run.key("Enter");
  require(run.wait_row(1, " Reading data from Supernova on COM port #3", 20),
          "no reading screen", &run);
  const Meter meter(pid);
  require(run.wait_row(1, " Finished!", 60), "download did not finish", &run);
  const Share s = meter.stop();
  require(folder.read("slow.txt") == download.substr(0, download.size() - 2),
          "slow download not kept byte for byte");
  run.key("Enter");
  run.wait_exit(5);
  return s;
}

Share closing_prompt() {
  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::TmuxRun run(folder, "/v");
  require(run.wait_row(25, "Press any key to continue"), "no closing prompt", &run);
  const Share s = sample(running_pid(run), sample_s);
  run.key("Enter");
  run.wait_exit(5);
  return s;
}

Share line_entry() {
  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::TmuxRun run(folder);
  require(run.wait_row(2, " Enter COM port number #"), "no first question", &run);
  const Share s = sample(running_pid(run), sample_s);
  run.key("C-c");
  run.wait_exit(5);
  return s;
}

Row row_of(const std::string& name, const Share& s, const std::string& how) {
  const bool ok = s.percent() < limit_percent;
  return {name, fixed(s.percent(), 2), "% core",
          how + ": " + fixed(s.cpu_s * 1000, 0) + " ms over " + fixed(s.wall_s, 1) + " s" +
              (ok ? "" : "  ABOVE 5%")};
}

Row wakeup_row(const std::string& name, const Share& s) {
  return {name, fixed(s.main_per_s(), 1), "/s",
          "main thread " + std::to_string(s.main_wakeups) + ", all threads " +
              std::to_string(s.all_wakeups) + " (" + fixed(s.all_per_s(), 1) +
              "/s): voluntary_ctxt_switches of /proc/<pid>/task/<tid>/status"};
}

int main_bench() {
  std::printf("processor share: 4 stretches of about %.0f s each\n", sample_s);
  std::fflush(stdout);
  const Share waiting = waiting_for_data();
  std::size_t slow_bytes = 0;
  const Share receiving = receiving_slowly(slow_bytes);
  const Share prompt = closing_prompt();
  const Share entry = line_entry();

  const std::string stat = "utime+stime of /proc/<pid>/stat";
  const std::vector<Row> rows = {
      row_of("(a) waiting for data", waiting, "60-second wait, " + stat),
      row_of("(b) receiving at 28800 baud", receiving,
             std::to_string(slow_bytes) + " bytes, reading screen to \" Finished!\", " + stat),
      row_of("(c) closing prompt (/v)", prompt, "\"Press any key to continue\", " + stat),
      row_of("(d) line entry (first question)", entry, "\"Enter COM port number #\", " + stat),
  };
  print_table("Processor share of the program (limit: well under 5% of one core)", rows);
  const bool quiet_wait = waiting.main_per_s() <= limit_wakeups;
  const std::vector<Row> wakeups = {
      wakeup_row("(a) waiting for data", waiting),
      wakeup_row("(b) receiving at 28800 baud", receiving),
      wakeup_row("(c) closing prompt (/v)", prompt),
      wakeup_row("(d) line entry (first question)", entry),
  };
  print_table("Wake-ups of the program's main thread (limit while waiting for data: " +
                  fixed(limit_wakeups, 0) + "/s -> " + (quiet_wait ? "met" : "NOT MET") + ")",
              wakeups);
  for (const Share& s : {waiting, receiving, prompt, entry})
    if (s.percent() >= limit_percent) return 1;
  return quiet_wait ? 0 : 1;
}

}  // namespace
}  // namespace pat::bench

int main() {
  pat::bench::remove_folders_on_stop();
  try {
    return pat::bench::main_bench();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cpu_share_bench: %s\n", e.what());
    return 1;
  }
}
