// A simulated tester on a pseudo-terminal: it offers the line through a
// com<N> link, waits until the downloader has opened and set up the port,
// sends a download at a chosen pace and waits until the port is closed.
// It keeps only the master side open, since the downloader refuses a port
// that another process has open; --hold-lock opens and locks the port side
// instead, as another program holding the port would.
//
//   sim_tester --link PATH [--send FILE] [--baud N | --fast]
//              [--pause OFFSET:SECONDS]... [--hold-lock]
//              [--timeout SECONDS] [--ready FILE]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSliceMs = 10;

struct Pause {
  std::size_t offset = 0;
  double seconds = 0;
};

struct Options {
  std::string link;
  std::string send;
  std::string ready;
  long baud = 0;  // 0: as fast as the port takes it
  std::vector<Pause> pauses;
  bool hold_lock = false;
  double timeout_s = 120;
};

const char kUsage[] =
    "usage: sim_tester --link PATH [--send FILE] [--baud N | --fast]\n"
    "                  [--pause OFFSET:SECONDS]... [--hold-lock]\n"
    "                  [--timeout SECONDS] [--ready FILE]\n";

int g_signal_pipe[2] = {-1, -1};
volatile sig_atomic_t g_signal = 0;

void on_signal(int signo) {
  g_signal = signo;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
}

bool parse_number(const std::string& text, double& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && errno == 0 && *end == '\0' && out >= 0;
}

std::optional<Options> parse_options(int argc, char** argv) {
  Options o;
  bool fast = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    double d = 0;
    if (arg == "--link") {
      if (!value(o.link)) return std::nullopt;
    } else if (arg == "--send") {
      if (!value(o.send)) return std::nullopt;
    } else if (arg == "--ready") {
      if (!value(o.ready)) return std::nullopt;
    } else if (arg == "--fast") {
      fast = true;
    } else if (arg == "--hold-lock") {
      o.hold_lock = true;
    } else if (arg == "--baud") {
      if (!value(v) || !parse_number(v, d) || d < 10 || d != static_cast<long>(d))
        return std::nullopt;
      o.baud = static_cast<long>(d);
    } else if (arg == "--timeout") {
      if (!value(v) || !parse_number(v, d) || d <= 0) return std::nullopt;
      o.timeout_s = d;
    } else if (arg == "--pause") {
      const std::size_t colon = value(v) ? v.find(':') : std::string::npos;
      double offset = 0;
      Pause p;
      if (colon == std::string::npos || !parse_number(v.substr(0, colon), offset) ||
          offset != static_cast<double>(static_cast<std::size_t>(offset)) ||
          !parse_number(v.substr(colon + 1), p.seconds))
        return std::nullopt;
      p.offset = static_cast<std::size_t>(offset);
      o.pauses.push_back(p);
    } else {
      return std::nullopt;
    }
  }
  if (o.link.empty() || (fast && o.baud != 0)) return std::nullopt;
  std::stable_sort(o.pauses.begin(), o.pauses.end(),
                   [](const Pause& a, const Pause& b) { return a.offset < b.offset; });
  return o;
}

int fail(const std::string& what) {
  std::fprintf(stderr, "sim_tester: %s: %s\n", what.c_str(), std::strerror(errno));
  return 1;
}

class Tester {
 public:
  explicit Tester(Options o) : o_(std::move(o)), deadline_(deadline_from(o_.timeout_s)) {}

  ~Tester() {
    if (link_made_) ::unlink(o_.link.c_str());
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }

  int run() {
    if (!o_.send.empty()) {
      std::ifstream in(o_.send, std::ios::binary);
      if (!in) return fail("cannot read " + o_.send);
      data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (int rc = make_pty(); rc != 0) return rc;
    if (int rc = make_link(); rc != 0) return rc;

    if (o_.hold_lock) {
      slave_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (slave_ < 0) return fail("cannot open " + slave_path_);
      if (::flock(slave_, LOCK_EX) != 0) return fail("cannot lock " + slave_path_);
      if (int rc = write_ready(); rc != 0) return rc;
      // Holding the port is the whole job: a signal or the time-out ends it.
      while (wait_ms(remaining_ms())) {
        if (remaining_ms() == 0) break;
      }
      return 0;
    }

    if (int rc = write_ready(); rc != 0) return rc;
    if (int rc = wait_for_setup(); rc != 0) return rc;
    if (int rc = send(); rc != 0) return rc;
    return wait_for_close();
  }

 private:
  static Clock::time_point deadline_from(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(seconds));
  }

  int remaining_ms() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
  }

  int signalled() const { return 128 + g_signal; }

  // Sleeps up to ms; false when a signal asks us to stop.
  bool wait_ms(int ms) {
    pollfd p{g_signal_pipe[0], POLLIN, 0};
    ::poll(&p, 1, std::max(0, ms));
    return g_signal == 0;
  }

  int make_pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail("grantpt");
    char name[256];
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname");
    slave_path_ = name;

    // A line as a freshly booted port would have it: cooked, so that the
    // downloader's raw set-up is visible (and needed).
    termios t{};
    if (::tcgetattr(master_, &t) != 0) return fail("tcgetattr");
    t.c_iflag |= ICRNL | IXON;
    t.c_oflag |= OPOST | ONLCR;
    t.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS8 | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    if (::tcsetattr(master_, TCSANOW, &t) != 0) return fail("tcsetattr");
    return 0;
  }

  int make_link() {
    struct stat st;
    if (::lstat(o_.link.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return fail(o_.link);
      }
      if (::unlink(o_.link.c_str()) != 0) return fail("cannot replace " + o_.link);
    }
    if (::symlink(slave_path_.c_str(), o_.link.c_str()) != 0)
      return fail("cannot link " + o_.link);
    link_made_ = true;
    return 0;
  }

  int write_ready() {
    if (o_.ready.empty()) return 0;
    const int fd = ::open(o_.ready.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return fail("cannot write " + o_.ready);
    const std::string text = slave_path_ + "\n";
    const bool ok = ::write(fd, text.data(), text.size()) ==
                    static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok ? 0 : fail("cannot write " + o_.ready);
  }

  // The downloader has set the port up once the line is no longer canonical.
  int wait_for_setup() {
    while (true) {
      termios t{};
      if (::tcgetattr(master_, &t) != 0) return fail("tcgetattr");
      if (!(t.c_lflag & ICANON)) return 0;
      if (remaining_ms() == 0) {
        std::fprintf(stderr, "sim_tester: timed out waiting for the port to be opened\n");
        return 1;
      }
      if (!wait_ms(std::min(kSliceMs, remaining_ms()))) return signalled();
    }
  }

  bool port_closed() {
    pollfd p{master_, 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
  }

  // Writes up to `count` bytes as the port takes them now; -1 on failure.
  long write_some(std::size_t count) {
    const ssize_t n = ::write(master_, data_.data() + sent_, count);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EINTR) return 0;
    return -1;
  }

  int send() {
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
      return fail("fcntl");
    const double bytes_per_s = static_cast<double>(o_.baud) / 10.0;
    std::size_t next_pause = 0;
    const auto started = Clock::now();
    auto pace_since = started;
    std::size_t pace_base = 0;

    while (true) {
      if (next_pause < o_.pauses.size() && o_.pauses[next_pause].offset == sent_) {
        const int ms = static_cast<int>(o_.pauses[next_pause].seconds * 1000.0);
        ++next_pause;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
          if (remaining_ms() == 0) return timed_out("sending");
          const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
              until - Clock::now());
          if (!wait_ms(std::min<int>(static_cast<int>(left.count()) + 1, remaining_ms())))
            return signalled();
        }
        pace_since = Clock::now();
        pace_base = sent_;
        continue;
      }
      if (sent_ == data_.size()) break;
      while (next_pause < o_.pauses.size() && o_.pauses[next_pause].offset < sent_)
        ++next_pause;  // offsets beyond the download never come
      const std::size_t stop =
          next_pause < o_.pauses.size()
              ? std::min(o_.pauses[next_pause].offset, data_.size())
              : data_.size();

      if (port_closed()) break;  // the downloader stopped listening
      if (remaining_ms() == 0) return timed_out("sending");

      std::size_t allowed = stop - sent_;
      if (o_.baud != 0) {
        const double elapsed =
            std::chrono::duration<double>(Clock::now() - pace_since).count();
        const auto due = pace_base + static_cast<std::size_t>(elapsed * bytes_per_s);
        allowed = due > sent_ ? std::min(allowed, due - sent_) : 0;
      }
      if (allowed > 0) {
        const long n = write_some(allowed);
        if (n < 0) return fail("write");
        sent_ += static_cast<std::size_t>(n);
        last_write_ = Clock::now();
        if (n > 0 && o_.baud == 0) continue;
      }
      if (o_.baud != 0) {
        if (!wait_ms(std::min(kSliceMs, remaining_ms()))) return signalled();
      } else {
        // The port is full: wait until it takes more (or is closed).
        pollfd p[2] = {{master_, POLLOUT, 0}, {g_signal_pipe[0], POLLIN, 0}};
        ::poll(p, 2, std::min(kSliceMs * 10, remaining_ms()));
        if (g_signal != 0) return signalled();
      }
    }
    const double seconds =
        sent_ == 0 ? 0.0 : std::chrono::duration<double>(last_write_ - started).count();
    std::fprintf(stderr, "sent %zu bytes in %.3f s\n", sent_, seconds);
    return 0;
  }

  int timed_out(const char* doing) {
    std::fprintf(stderr, "sim_tester: timed out %s after %zu bytes\n", doing, sent_);
    return 1;
  }

  int wait_for_close() {
    while (!port_closed()) {
      if (remaining_ms() == 0) {
        std::fprintf(stderr, "sim_tester: timed out waiting for the port to be closed\n");
        return 1;
      }
      pollfd p[2] = {{master_, 0, 0}, {g_signal_pipe[0], POLLIN, 0}};
      ::poll(p, 2, remaining_ms());
      if (g_signal != 0) return signalled();
    }
    return 0;
  }

  Options o_;
  Clock::time_point deadline_;
  std::string data_;
  std::string slave_path_;
  int master_ = -1;
  int slave_ = -1;
  bool link_made_ = false;
  std::size_t sent_ = 0;
  Clock::time_point last_write_{};
};

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parse_options(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signo, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  int rc;
  {
    Tester tester(*options);
    rc = tester.run();
  }
  // Holding the port ends normally when the holder is told to stop.
  if (options->hold_lock && g_signal != 0) rc = 0;
  return rc;
}
