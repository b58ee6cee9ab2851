// Conversion speed and memory: a certificate download of over 50 MB,
// converted in one process by convert_capture (formats 5 to 8). Each
// conversion runs in a child process of its own, so that its peak memory is
// the conversion's alone; reading the same file with cat gives the scale.
//
//   convert_bench                         the whole bench
//   convert_bench --child FORMAT SOURCE   one conversion; prints its figures

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "downloader/convert/convert_capture.h"
#include "downloader/formats.h"
#include "downloader/run_error.h"
#include "tests/e2e_support.h"
#include "tests/support/in_process_run.h"
#include "tests/support/scratch_folder.h"

namespace pat::bench {
namespace {

namespace fs = std::filesystem;

constexpr long source_bytes = 50L << 20;
constexpr int cat_runs = 3;
constexpr int conversion_runs = 3;

// Streams the download to the file a thousand appliances at a time.
long write_source(const std::string& path, int& appliances) {
  const std::size_t block = test::certificate_blocks(1).size();
  appliances = static_cast<int>((source_bytes + block - 1) / block);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int first = 1; first <= appliances; first += 1000)
    out << test::certificate_blocks(std::min(1000, appliances - first + 1), first);
  out << "end of data";  // as the capture leaves it
  out.close();
  require(static_cast<bool>(out), "cannot write " + path);
  return file_size(path);
}

long lines_in(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> buf(1 << 16);
  long n = 0;
  while (in.read(buf.data(), static_cast<std::streamsize>(buf.size())) || in.gcount() > 0)
    n += std::count(buf.data(), buf.data() + in.gcount(), '\n');
  return n;
}

long peak_resident_kb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// The child: converts a link to the source in a fresh folder and prints
// "seconds output_bytes output_lines finished peak_kb".
int child(int format, const std::string& source) {
  test::InProcessRun run;
  RemoveOnStop on_stop(run.folder());
  const std::string name =
      "bench." + std::string(find_format(static_cast<float>(format)).extension);
  if (link(source.c_str(), run.file(name).c_str()) != 0) return 2;
  RunSettings& s = run.program.settings;
  s.file_name = name;
  s.output_format = static_cast<float>(format);
  // Layout 1 builds its report from a summary download, not from certificates.
  s.report_format = "2";
  s.port_text = "3";
  s.baud_text = "28800";

  // No keys are scripted, so the closing prompt ends the run at once.
  const auto start = Clock::now();
  try {
    run.ends_run(convert_capture(run.program));
  } catch (const RunError& e) {
    std::fprintf(stderr, "convert_bench: format %d raised error %d\n", format, e.number);
    return 3;
  }
  const double seconds = seconds_since(start);
  const bool finished = run.row(2) == " Finished";
  std::printf("%.6f %ld %ld %d %ld\n", seconds, file_size(run.file(name)),
              lines_in(run.file(name)), finished ? 1 : 0, peak_resident_kb());
  return 0;
}

struct ChildResult {
  double seconds = 0;
  long output_bytes = 0;
  long output_lines = 0;
  bool finished = false;
  long peak_kb = 0;      // VmHWM of the child after its exec
  long maxrss_kb = 0;    // ru_maxrss of the child, from wait4
};

ChildResult convert_in_child(int format, const std::string& source) {
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  int out[2];
  require(pipe(out) == 0, "pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    const std::string f = std::to_string(format);
    execl(self.c_str(), self.c_str(), "--child", f.c_str(), source.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buf[256];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  require(WIFEXITED(status) && WEXITSTATUS(status) == 0,
          "conversion child failed for format " + std::to_string(format));
  ChildResult r;
  int finished = 0;
  std::istringstream in(text);
  in >> r.seconds >> r.output_bytes >> r.output_lines >> finished >> r.peak_kb;
  require(static_cast<bool>(in), "no figures from the child: " + text);
  r.finished = finished == 1;
  r.maxrss_kb = usage.ru_maxrss;
  return r;
}

double time_cat(const std::string& path) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execlp("cat", "cat", path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  require(WIFEXITED(status) && WEXITSTATUS(status) == 0, "cat failed");
  return seconds_since(start);
}

int main_bench() {
  test::ScratchFolder temp("pat-bench");
  RemoveOnStop on_stop(temp.path());
  const std::string source = temp.file("source.txt");
  int appliances = 0;
  const auto generated = Clock::now();
  const long bytes = write_source(source, appliances);
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("conversion: %ld bytes (%d appliances) generated in %.2f s\n", bytes, appliances,
              seconds_since(generated));
  std::fflush(stdout);

  time_cat(source);  // warms the cache
  std::vector<double> cats;
  for (int i = 0; i < cat_runs; ++i) cats.push_back(time_cat(source));
  std::sort(cats.begin(), cats.end());
  const double cat_s = cats[cats.size() / 2];

  std::vector<Row> rows;
  bool ok = true;
  for (int format : {5, 6, 7, 8}) {
    // The median run by time; the highest peak of them all.
    std::vector<ChildResult> results;
    long maxrss_kb = 0, peak_kb = 0;
    for (int i = 0; i < conversion_runs; ++i) {
      results.push_back(convert_in_child(format, source));
      maxrss_kb = std::max(maxrss_kb, results.back().maxrss_kb);
      peak_kb = std::max(peak_kb, results.back().peak_kb);
    }
    std::sort(results.begin(), results.end(),
              [](const ChildResult& a, const ChildResult& b) { return a.seconds < b.seconds; });
    const ChildResult& r = results[results.size() / 2];
    std::string check = r.finished ? "finished" : "NOT FINISHED";
    if (find_format(static_cast<float>(format)).writer == Writer::csv) {
      // The title line and one row per appliance.
      const bool rows_ok = r.output_lines == appliances + 1;
      check += rows_ok ? ", " + std::to_string(appliances) + " rows" : ", WRONG ROW COUNT";
      ok = ok && rows_ok;
    }
    ok = ok && r.finished && r.output_bytes > 0;
    const std::string f = "format " + std::to_string(format);
    const std::string timing = fixed(mb, 1) + " MB in " + fixed(r.seconds, 2) +
                               " s, median of " + std::to_string(conversion_runs) + ", " +
                               fixed(r.seconds / cat_s, 0) + " x the time of cat";
    const std::string outcome =
        check + ", output " + fixed(static_cast<double>(r.output_bytes) / 1e6, 1) + " MB";
    rows.push_back({f + " conversion", fixed(mb / r.seconds, 1), "MB/s",
                    "convert_capture in one process, scripted console: " + timing + "; " +
                        outcome});
    rows.push_back({f + " peak memory", fixed(static_cast<double>(maxrss_kb) / 1024, 1),
                    "MiB",
                    "highest ru_maxrss (wait4) of the children doing only this conversion; "
                    "their VmHWM " +
                        fixed(static_cast<double>(peak_kb) / 1024, 1) + " MiB"});
    std::fflush(stdout);
  }
  rows.push_back({"cat file > /dev/null", fixed(mb / cat_s, 0), "MB/s",
                  fixed(cat_s * 1000, 1) + " ms, median of " + std::to_string(cat_runs) +
                      " runs after one warm-up (cache warm), same file"});
  print_table("Conversion of a " + fixed(mb, 1) + " MB certificate download", rows);
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace pat::bench

int main(int argc, char** argv) {
  pat::bench::remove_folders_on_stop();
  try {
    if (argc == 4 && std::string(argv[1]) == "--child")
      return pat::bench::child(std::atoi(argv[2]), argv[3]);
    return pat::bench::main_bench();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "convert_bench: %s\n", e.what());
    return 1;
  }
}
