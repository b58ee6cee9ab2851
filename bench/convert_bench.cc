// Conversion speed and memory: a certificate download of over 50 MB,
// converted in one process as a run finishes it (formats 5 to 8, the Basic
// Report in each of its layouts), the summary-based report built from the
// same lines, and downloads of empty lines alone. Each conversion runs in a
// child process of its own, so that its peak memory is the conversion's
// alone. Each conversion of the certificate download is held to the time
// of the system's grep finding the labels in the same file, measured beside
// it; cat of the same file gives the scale.
//
//   convert_bench                       the whole bench
//   convert_bench --child KIND SOURCE   one conversion; prints its figures
//                                       (KIND: 5, 6, 7/2, 7/3, 7/4, 8 or summary)

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
#include "downloader/convert/label_rules.h"
#include "downloader/formats.h"
#include "downloader/run_error.h"
#include "downloader/run_frame.h"
#include "tests/e2e_support.h"
#include "tests/support/in_process_run.h"
#include "tests/support/scratch_folder.h"

namespace pat::bench {
namespace {

namespace fs = std::filesystem;

constexpr long source_bytes = 50L << 20;
constexpr int reference_runs = 5;
constexpr int conversion_runs = 3;
// The marks: every conversion of the certificate download within this many
// times the time of grep finding the labels, and a download of empty lines
// at this speed or more.
constexpr double most_times_grep = 2;
constexpr double least_empty_mb_s = 100;

// One kind of conversion: the format, the Basic Report's layout, or the
// summary-based report.
struct Kind {
  int format = 5;
  std::string report_format = "2";
  bool summary = false;
};

Kind parse_kind(const std::string& text) {
  Kind k;
  if (text == "summary") {
    k.format = 7;
    k.report_format = "1";
    k.summary = true;
    return k;
  }
  k.format = std::atoi(text.c_str());
  const std::size_t slash = text.find('/');
  if (slash != std::string::npos) k.report_format = text.substr(slash + 1);
  return k;
}

// Streams the download to the file a thousand appliances at a time.
long write_source(const std::string& path, int& appliances) {
  const std::size_t block = test::certificate_blocks(1).size();
  appliances = static_cast<int>((source_bytes + block - 1) / block);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int first = 1; first <= appliances; first += 1000) {
    std::string blocks = test::certificate_blocks(std::min(1000, appliances - first + 1), first);
    out << blocks;
  }
  out << "end of data";  // as the capture leaves it
  out.close();
  require(static_cast<bool>(out), "cannot write " + path);
  return file_size(path);
}

// A download of nothing but line ends.
long write_empty_lines(const std::string& path, const std::string& line_end) {
  std::string chunk;
  for (int i = 0; i < 4096; ++i) chunk += line_end;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (long written = 0; written < source_bytes; written += static_cast<long>(chunk.size()))
    out << chunk;
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
int child(const std::string& kind_text, const std::string& source) {
  const Kind kind = parse_kind(kind_text);
  test::InProcessRun run;
  RemoveOnStop on_stop(run.folder());
  // The format as the dialogue leaves it: layout 1 builds its report from a
  // summary download, not from certificates.
  const FormatChoice choice = choose_format(static_cast<float>(kind.format), kind.report_format);
  const std::string name = "bench." + std::string(choice.extension);
  if (link(source.c_str(), run.file(name).c_str()) != 0) return 2;
  RunSettings& s = run.program.settings;
  s.file_name = name;
  s.output_format = choice.output_format;
  s.report_format = kind.report_format;
  s.summary_report = choice.summary_report;
  s.port_text = "3";
  s.baud_text = "28800";

  const auto start = Clock::now();
  try {
    finish_download(run.program);
  } catch (const RunError& e) {
    std::fprintf(stderr, "convert_bench: %s raised error %d\n", kind_text.c_str(), e.number);
    return 3;
  }
  const double seconds = seconds_since(start);
  // The finishing lines of a file kept as captured, or of a converted one.
  const bool finished = kind.summary ? run.row(1) == " Finished!" : run.row(2) == " Finished";
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

ChildResult convert_in_child(const std::string& kind, const std::string& source) {
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  int out[2];
  require(pipe(out) == 0, "pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(self.c_str(), self.c_str(), "--child", kind.c_str(), source.c_str(),
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
          "conversion child failed for " + kind);
  ChildResult r;
  int finished = 0;
  std::istringstream in(text);
  in >> r.seconds >> r.output_bytes >> r.output_lines >> finished >> r.peak_kb;
  require(static_cast<bool>(in), "no figures from the child: " + text);
  r.finished = finished == 1;
  r.maxrss_kb = usage.ru_maxrss;
  return r;
}

// The time of a program run with its output into `out`; an exit status
// above `most_status` fails the bench.
double time_program(const std::vector<std::string>& args, const std::string& out, int most_status) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int to = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(to, 1);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  require(WIFEXITED(status) && WEXITSTATUS(status) <= most_status, args[0] + " failed");
  return seconds_since(start);
}

// The median of a program's times, after one warm-up.
double median_time(const std::vector<std::string>& args, const std::string& out,
                   int most_status = 0) {
  time_program(args, out, most_status);
  std::vector<double> times;
  for (int i = 0; i < reference_runs; ++i) times.push_back(time_program(args, out, most_status));
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double median_cat(const std::string& path) { return median_time({"cat", path}, "/dev/null"); }

// The system's grep counting the lines that hold any of the certificate
// labels: what finding the labels alone costs a tool tuned for it. Its
// count goes to a file: grep stops at the first match when its output is
// /dev/null.
double median_label_grep(const std::string& path, const std::string& count_file) {
  std::vector<std::string> args = {"grep", "-c", "-F"};
  for (const CertificateLabelRule& rule : certificate_label_rules()) {
    args.push_back("-e");
    args.emplace_back(rule.label);
  }
  args.push_back(path);
  return median_time(args, count_file, 1);
}

// Which mark a case is held to.
enum class Mark { times_grep, empty_speed, none };

struct Case {
  std::string kind;
  std::string figure;
  const std::string* source;
  Mark mark = Mark::times_grep;
};

int main_bench() {
  test::ScratchFolder temp("pat-bench");
  RemoveOnStop on_stop(temp.path());
  const std::string source = temp.file("source.txt");
  const std::string crlf_source = temp.file("crlf.txt");
  const std::string lf_source = temp.file("lf.txt");
  int appliances = 0;
  const auto generated = Clock::now();
  const long bytes = write_source(source, appliances);
  write_empty_lines(crlf_source, "\r\n");
  write_empty_lines(lf_source, "\n");
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("conversion: %ld bytes (%d appliances) generated in %.2f s\n", bytes, appliances,
              seconds_since(generated));
  std::fflush(stdout);

  const std::vector<Case> cases = {
      {"5", "format 5", &source},
      {"6", "format 6", &source},
      {"7/2", "format 7, ReportFormat 2", &source},
      {"7/3", "format 7, ReportFormat 3", &source},
      {"7/4", "format 7, ReportFormat 4", &source},
      {"8", "format 8", &source},
      {"summary", "summary-based report", &source},
      // A tester ends its lines with CR LF; a download of LF alone has twice
      // the lines in the same bytes and is shown without a mark.
      {"6", "empty lines (CR LF), format 6", &crlf_source, Mark::empty_speed},
      {"6", "empty lines (LF alone), format 6", &lf_source, Mark::none},
  };

  std::vector<Row> rows;
  std::vector<std::string> below;
  bool ok = true;
  long highest_kb = 0;
  for (const Case& c : cases) {
    const Kind kind = parse_kind(c.kind);
    const double source_mb = static_cast<double>(file_size(*c.source)) / 1e6;
    // grep and cat beside each conversion, so that all meet the same load.
    const double cat_s = median_cat(*c.source);
    const double grep_s =
        c.mark == Mark::times_grep ? median_label_grep(*c.source, temp.file("grep-count.txt")) : 0;
    // The median run by time; the highest peak of them all.
    std::vector<ChildResult> results;
    long maxrss_kb = 0, peak_kb = 0;
    for (int i = 0; i < conversion_runs; ++i) {
      results.push_back(convert_in_child(c.kind, *c.source));
      maxrss_kb = std::max(maxrss_kb, results.back().maxrss_kb);
      peak_kb = std::max(peak_kb, results.back().peak_kb);
    }
    std::sort(results.begin(), results.end(),
              [](const ChildResult& a, const ChildResult& b) { return a.seconds < b.seconds; });
    highest_kb = std::max(highest_kb, maxrss_kb);
    const ChildResult& r = results[results.size() / 2];
    std::string check = r.finished ? "finished" : "NOT FINISHED";
    if (kind.format == 5 && c.source == &source) {
      // The title line and one row per appliance.
      const bool rows_ok = r.output_lines == appliances + 1;
      check += rows_ok ? ", " + std::to_string(appliances) + " rows" : ", WRONG ROW COUNT";
      ok = ok && rows_ok;
    }
    ok = ok && r.finished && r.output_bytes > 0;
    const double speed = source_mb / r.seconds;
    const double times_cat = r.seconds / cat_s;
    const double times_grep = c.mark == Mark::times_grep ? r.seconds / grep_s : 0;
    if (c.mark == Mark::times_grep) {
      goal_line("conversion, " + c.figure,
                "within " + fixed(most_times_grep, 0) + " x the time of grep finding the labels",
                fixed(speed, 0) + " MB/s, " + fixed(static_cast<double>(maxrss_kb) / 1024, 1) +
                    " MiB peak",
                fixed(times_grep, 2) + " x grep, " + fixed(times_cat, 1) + " x cat",
                times_grep <= most_times_grep && r.finished);
    }
    if (c.mark == Mark::empty_speed) {
      goal_line("conversion, " + c.figure, ">= " + fixed(least_empty_mb_s, 0) + " MB/s",
                fixed(speed, 0) + " MB/s", fixed(times_cat, 1) + " x cat",
                speed >= least_empty_mb_s && r.finished);
    }
    if (c.mark == Mark::times_grep && times_grep > most_times_grep)
      below.push_back(c.figure + " (" + fixed(times_grep, 2) + " x grep)");
    if (c.mark == Mark::empty_speed && speed < least_empty_mb_s)
      below.push_back(c.figure + " (" + fixed(speed, 1) + " MB/s)");
    std::string timing = fixed(source_mb, 1) + " MB in " + fixed(r.seconds, 3) +
                         " s, median of " + std::to_string(conversion_runs) + "; ";
    if (c.mark == Mark::times_grep)
      timing += fixed(times_grep, 2) + " x the time of grep finding the labels (" +
                fixed(grep_s * 1000, 1) + " ms), ";
    timing += fixed(times_cat, 1) + " x the time of cat (" + fixed(cat_s * 1000, 1) + " ms)";
    const std::string outcome =
        check + ", output " + fixed(static_cast<double>(r.output_bytes) / 1e6, 1) + " MB";
    rows.push_back({c.figure, fixed(speed, 1), "MB/s", timing + "; " + outcome});
    rows.push_back({c.figure + ", peak memory", fixed(static_cast<double>(maxrss_kb) / 1024, 1),
                    "MiB",
                    "highest ru_maxrss (wait4) of the children doing only this conversion; "
                    "their VmHWM " +
                        fixed(static_cast<double>(peak_kb) / 1024, 1) + " MiB"});
    std::fflush(stdout);
  }
  // The two yardsticks on their own: what the labels' search alone costs a
  // tool built for searching, and what reading the file costs.
  const double cat_s = median_cat(source);
  const double grep_s = median_label_grep(source, temp.file("grep-count.txt"));
  rows.push_back({"reference: grep -c -F of the labels", fixed(mb / grep_s, 1), "MB/s",
                  "the system's grep counting the lines that hold any label, median of " +
                      std::to_string(reference_runs) + "; " + fixed(grep_s / cat_s, 1) +
                      " x the time of cat"});
  rows.push_back({"reference: cat", fixed(mb / cat_s, 1), "MB/s",
                  "cat of the certificate download to /dev/null, median of " +
                      std::to_string(reference_runs)});
  print_table("Conversion of a " + fixed(mb, 1) +
                  " MB certificate download and of 50 MiB of empty lines; grep of the labels "
                  "and cat of the same file (cache warm, median of " +
                  std::to_string(reference_runs) + ") measured beside each",
              rows);
  // A conversion holds one line and one record at a time, whatever the
  // download's size.
  const double highest_mib = static_cast<double>(highest_kb) / 1024;
  goal_line("conversion peak memory, " + fixed(mb, 0) + " MB download", "flat: <= 8 MiB",
            fixed(highest_mib, 1) + " MiB", "-", highest_mib <= 8);
  for (const std::string& b : below) std::printf("below the mark: %s\n", b.c_str());
  return ok && below.empty() ? 0 : 1;
}

}  // namespace
}  // namespace pat::bench

int main(int argc, char** argv) {
  pat::bench::remove_folders_on_stop();
  try {
    if (argc == 4 && std::string(argv[1]) == "--child")
      return pat::bench::child(argv[2], argv[3]);
    return pat::bench::main_bench();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "convert_bench: %s\n", e.what());
    return 1;
  }
}
