// Processor share of the real program in tmux while it waits: for data, for
// the bytes of a slow download, at the closing prompt and in a line entry.
// Each is the program's processor time over a stretch of wall time, as a
// percentage of one core, and how often its threads woke meanwhile.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_util.h"
#include "tests/e2e_support.h"

namespace pat::bench {
namespace {

constexpr double sample_s = 10;
constexpr double limit_percent = 5;
// A program that only waits wakes for a key, a byte or a tick, not in steps.
constexpr double wake_limit = 10;

struct Share {
  double cpu_s = 0;
  double main_s = 0;  // of which the main thread's
  double wall_s = 0;
  long switches = 0;
  double percent() const { return wall_s > 0 ? 100 * cpu_s / wall_s : 0; }
  double wakes_per_second() const { return wall_s > 0 ? static_cast<double>(switches) / wall_s : 0; }
};

// The program's processor time and context switches over the next
// `seconds` of wall time.
Share sample(int pid, double seconds) {
  Share s;
  const double before = cpu_seconds(pid);
  const long switches_before = context_switches(pid);
  const auto start = Clock::now();
  sleep_seconds(seconds);
  const double after = cpu_seconds(pid);
  const long switches_after = context_switches(pid);
  s.wall_s = seconds_since(start);
  require(before >= 0 && after >= 0 && switches_before >= 0 && switches_after >= 0,
          "program ended during the sample");
  s.cpu_s = after - before;
  s.switches = switches_after - switches_before;
  return s;
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

constexpr double receive_s = 15;

// About receive_s of certificate text at 28800 baud.
std::string slow_download() {
  const std::size_t block = test::certificate_blocks(1).size();
  return test::certificate_download(static_cast<int>(receive_s * 2880 / block));
}

// cat taking the same stream from a simulated tester like the program's:
// the peer of the program's share while receiving.
Share cat_receiving(const std::string& download) {
  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::SimTester tester(folder, {.send = download, .baud = 28800, .timeout = 120});
  const std::string out = folder.file("cat.txt");
  const pid_t pid = start_raw_cat(folder.file("com3"), out);
  const auto limit = Clock::now() + std::chrono::seconds(60);
  while (file_size(out) <= 0 && Clock::now() < limit) sleep_seconds(0.001);
  Share s;
  const double before = cpu_seconds(pid);
  const long switches_before = context_switches(pid);
  const auto start = Clock::now();
  while (file_size(out) < static_cast<long>(download.size()) && Clock::now() < limit)
    sleep_seconds(0.01);
  s.cpu_s = cpu_seconds(pid) - before;
  s.switches = context_switches(pid) - switches_before;
  s.wall_s = seconds_since(start);
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  require(test::read_bytes(out) == download, "cat's copy differs from the download");
  tester.finish(30);
  return s;
}

Share receiving_slowly(test::TmuxRun& run, int pid, const test::RunFolder& folder,
                       const std::string& download) {
  run.key("Enter");
  require(run.wait_row(1, " Reading data from Supernova on COM port #3", 20),
          "no reading screen", &run);
  Share s;
  const double before = cpu_seconds(pid);
  const double main_before = thread_cpu_seconds(pid, pid);
  const long switches_before = context_switches(pid);
  const auto start = Clock::now();
  require(run.wait_row(1, " Finished!", 4 * receive_s), "download did not finish", &run);
  const double after = cpu_seconds(pid);
  const double main_after = thread_cpu_seconds(pid, pid);
  const long switches_after = context_switches(pid);
  s.wall_s = seconds_since(start);
  s.cpu_s = after - before;
  s.main_s = main_after - main_before;
  s.switches = switches_after - switches_before;
  require(folder.read("slow.txt") == download.substr(0, download.size() - 2),
          "slow download not kept byte for byte");
  run.key("Enter");
  run.wait_exit(5);
  return s;
}

struct Receiving {
  Share program;
  Share cat;
};

// The program and cat take the same stream at the same time, each from a
// tester of its own, so that both meet the machine in the same state: one
// after the other, cat's figure alone went from 36 to 64 ms between runs.
Receiving receiving_beside_cat(const std::string& download) {
  test::RunFolder folder;
  RemoveOnStop on_stop(folder.path());
  test::SimTester tester(folder, {.send = download, .baud = 28800, .timeout = 120});
  test::TmuxRun run(folder);
  answer_up_to_capture(run, "3", "slow", "2");
  const int pid = running_pid(run);
  Receiving r;
  std::string cat_failed;
  std::thread cat([&] {
    try {
      r.cat = cat_receiving(download);
    } catch (const std::exception& e) {
      cat_failed = e.what();
    }
  });
  try {
    r.program = receiving_slowly(run, pid, folder, download);
  } catch (...) {
    cat.join();
    throw;
  }
  cat.join();
  require(cat_failed.empty(), cat_failed);
  return r;
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
          how + ": " + fixed(s.cpu_s * 1000, 1) + " ms over " + fixed(s.wall_s, 1) + " s" +
              (ok ? "" : "  ABOVE 5%")};
}

Row wake_row(const std::string& name, const Share& s, bool waiting) {
  const bool ok = !waiting || s.wakes_per_second() <= wake_limit;
  return {name, fixed(s.wakes_per_second(), 1), "/s",
          std::to_string(s.switches) + " context switches over " + fixed(s.wall_s, 1) + " s" +
              (ok ? "" : "  ABOVE 10/s")};
}

int main_bench() {
  std::printf("processor share: 4 stretches of about %.0f s each\n", sample_s);
  std::fflush(stdout);
  const Share waiting = waiting_for_data();
  const std::string slow = slow_download();
  const std::size_t slow_bytes = slow.size();
  const auto [receiving, cat] = receiving_beside_cat(slow);
  const Share prompt = closing_prompt();
  const Share entry = line_entry();

  const std::string stat = "/proc/<pid>/task/*/schedstat";
  const std::vector<Row> rows = {
      row_of("(a) waiting for data", waiting, "60-second wait, " + stat),
      row_of("(b) receiving at 28800 baud", receiving,
             std::to_string(slow_bytes) + " bytes, reading screen to \" Finished!\", " + stat +
                 "; main thread " + fixed(receiving.main_s * 1000, 1) + " ms, terminal thread " +
                 fixed((receiving.cpu_s - receiving.main_s) * 1000, 1) + " ms"),
      row_of("(c) closing prompt (/v)", prompt, "\"Press any key to continue\", " + stat),
      row_of("(d) line entry (first question)", entry, "\"Enter COM port number #\", " + stat),
      row_of("(e) cat receiving the same stream", cat,
             std::to_string(slow_bytes) + " bytes at 28800 baud into a file, beside (b), " + stat),
  };
  print_table("Processor share of the program (limit: well under 5% of one core)", rows);
  const std::string all = ", all threads, /proc/<pid>/task/*/status";
  const std::vector<Row> wakes = {
      wake_row("(a) waiting for data", waiting, true),
      wake_row("(b) receiving at 28800 baud", receiving, false),
      wake_row("(c) closing prompt (/v)", prompt, true),
      wake_row("(d) line entry (first question)", entry, true),
  };
  print_table("Wake-ups of the program (voluntary + involuntary context switches" + all +
                  "; aim: 10/s or fewer while waiting)",
              wakes);
  bool met = true;
  for (const auto& [name, share] :
       {std::pair{"waiting for data", waiting}, std::pair{"at the closing prompt", prompt},
        std::pair{"in a line entry", entry}}) {
    const bool ok = share.wakes_per_second() <= wake_limit;
    goal_line(std::string("wake-ups per second ") + name, "<= " + fixed(wake_limit, 0),
              fixed(share.wakes_per_second(), 1) + "/s", "-", ok);
    met = met && ok;
  }
  const double share_ratio = receiving.cpu_s / std::max(cat.cpu_s, 1e-6);
  goal_line("processor time receiving at 28800 baud", "<= 2 x cat",
            fixed(receiving.cpu_s * 1000, 1) + " ms against cat's " + fixed(cat.cpu_s * 1000, 1) +
                " ms",
            fixed(share_ratio, 1) + " x cat", share_ratio <= 2);
  met = met && share_ratio <= 2;
  for (const Share& s : {waiting, receiving, prompt, entry})
    if (s.percent() >= limit_percent) return 1;
  return met ? 0 : 1;
}

}  // namespace
}  // namespace pat::bench

int main() { return pat::bench::run_bench("cpu_share_bench", pat::bench::main_bench); }
