// What putting the files on the medium costs: a CSV conversion of a 2 MB
// and of a 52 MB certificate download on this machine's disk, each with the
// flushes (the converted file's fsync, the folder's after the move and the
// delete) and, beside it in the same run, with them replaced by nothing.
// Each conversion runs in a child of its own, after a sync, so that no run
// pays for the dirty pages of another.
//
//   flush_bench                            the whole bench
//   flush_bench --child SOURCE with|without one conversion; prints its seconds

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "downloader/files/medium_sync.h"
#include "downloader/run_error.h"
#include "downloader/run_frame.h"
#include "tests/e2e_support.h"
#include "tests/support/in_process_run.h"
#include "tests/support/scratch_folder.h"

namespace pat::bench {
namespace {

namespace fs = std::filesystem;

constexpr int runs = 5;

// A certificate download of about `bytes`, as the capture leaves it.
long write_download(const std::string& path, long bytes) {
  const std::string thousand = test::certificate_blocks(1000);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (long written = 0; written < bytes; written += static_cast<long>(thousand.size()))
    out << thousand;
  out << "end of data";
  out.close();
  require(static_cast<bool>(out), "cannot write " + path);
  return file_size(path);
}

int child(const std::string& source, bool flushes) {
  if (!flushes) replace_medium_sync([](int) { return 0; });
  test::InProcessRun run;
  RemoveOnStop on_stop(run.folder());
  RunSettings& s = run.program.settings;
  s.file_name = "bench.csv";
  s.output_format = 5;
  s.report_format = "2";
  fs::copy_file(source, run.file(s.file_name));
  ::sync();
  const auto start = Clock::now();
  try {
    finish_download(run.program);
  } catch (const RunError& e) {
    std::fprintf(stderr, "flush_bench: error %d\n", e.number);
    return 3;
  }
  const double seconds = seconds_since(start);
  if (run.row(2) != " Finished" || fs::exists(run.file("bench.tmp"))) return 4;
  std::printf("%.6f\n", seconds);
  return 0;
}

double convert_in_child(const std::string& source, bool flushes) {
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  int out[2];
  require(pipe(out) == 0, "pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(self.c_str(), self.c_str(), "--child", source.c_str(), flushes ? "with" : "without",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[64];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  require(WIFEXITED(status) && WEXITSTATUS(status) == 0, "conversion child failed");
  return std::stod(text);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main_bench() {
  test::ScratchFolder temp("pat-flush-bench");
  RemoveOnStop on_stop(temp.path());
  struct Size {
    const char* name;
    long bytes;
  };
  std::vector<Row> rows;
  for (const Size& size : {Size{"2 MB", 2L * 1000 * 1000}, Size{"52 MB", 52L * 1000 * 1000}}) {
    const std::string source = temp.file("source.txt");
    const long bytes = write_download(source, size.bytes);
    ::sync();
    // Taken in turns, so that both meet the same load.
    std::vector<double> with, without;
    for (int i = 0; i < runs; ++i) {
      with.push_back(convert_in_child(source, true));
      without.push_back(convert_in_child(source, false));
    }
    const double w = median(with), wo = median(without);
    const std::string figure = "CSV conversion of " + fixed(static_cast<double>(bytes) / 1e6, 1) +
                               " MB with the flushes to the medium";
    rows.push_back({figure, fixed(w * 1000, 1), "ms",
                    "median of " + std::to_string(runs) + "; without them " +
                        fixed(wo * 1000, 1) + " ms, in turns with these"});
    goal_line("flushes to the medium, " + std::string(size.name) + " conversion",
              "shown beside the same conversion without them",
              fixed(w * 1000, 1) + " ms against " + fixed(wo * 1000, 1) + " ms",
              fixed(w / wo, 2) + " x, " + fixed((w - wo) * 1000, 1) + " ms more", true);
    fs::remove(source);
  }
  print_table("Flushes to the medium on this disk (" + temp.path() + ")", rows);
  return 0;
}

}  // namespace
}  // namespace pat::bench

int main(int argc, char** argv) {
  pat::bench::remove_folders_on_stop();
  try {
    if (argc == 4 && std::string(argv[1]) == "--child")
      return pat::bench::child(argv[2], std::string(argv[3]) == "with");
    return pat::bench::main_bench();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "flush_bench: %s\n", e.what());
    return 1;
  }
}
