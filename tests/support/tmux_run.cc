#include "tests/support/tmux_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace pat::test {
namespace {

namespace fs = std::filesystem;

std::atomic<int> session_counter{0};

void sleep_seconds(double s) {
  std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

}  // namespace

std::string binary_dir() { return PAT_BINARY_DIR; }

DetachedRun run_detached(const std::vector<std::string>& argv, char** environment) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  char** env = environment != nullptr ? environment : environ;
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error("pipe");
  }
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    dup2(out[1], 1);
    dup2(err[1], 2);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    execvpe(args[0], args.data(), env);
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  DetachedRun run;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&run.out, &run.err};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[65536];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        texts[i]->append(buf, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::string run_command(const std::vector<std::string>& argv, char** environment) {
  return run_detached(argv, environment).out;
}

RunFolder::RunFolder() : ScratchFolder("pat-run") {
  fs::copy_file(binary_dir() + "/pat-downloader", file("pat-downloader"));
  fs::permissions(file("pat-downloader"), fs::perms::owner_all);
}

std::vector<std::string> RunFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(path())) {
    std::string n = e.path().filename().string();
    if (n[0] != '.' && n != "pat-downloader") names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TmuxRun::TmuxRun(const RunFolder& folder, const std::string& args, const std::string& program,
                 int columns, int rows)
    : folder_(folder), rows_(rows) {
  socket_ = "pat-" + std::to_string(getpid()) + "-" + std::to_string(session_counter++);
  // The shell must outlive a Ctrl+C that the program takes as its end request.
  std::string command = "trap '' INT; " + program;
  if (!args.empty()) command += " " + args;
  // Named by session, so that two runs can share one folder.
  const std::string exit_file = ".exit-" + socket_;
  const std::string stty_file = ".stty-" + socket_;
  command += "; echo $? > " + exit_file + "; stty -a > " + stty_file + ".tmp; mv " + stty_file +
             ".tmp " + stty_file + "; exec sleep 600";
  run_command({"tmux", "-L", socket_, "-f", "/dev/null", "start-server", ";", "set", "-g",
               "default-terminal", "tmux-256color", ";", "new-session", "-d", "-x", std::to_string(columns),
               "-y", std::to_string(rows), "-c", folder.path(), "-e", "LANG=C.UTF-8", "-e", "LC_ALL=C.UTF-8",
               "sh -c " + shell_quote(command)});
}

TmuxRun::~TmuxRun() {
  run_command({"tmux", "-L", socket_, "kill-server"});
  // The server leaves its socket behind.
  const char* dir = std::getenv("TMUX_TMPDIR");
  const std::string base = dir ? dir : "/tmp";
  unlink((base + "/tmux-" + std::to_string(getuid()) + "/" + socket_).c_str());
}

void TmuxRun::type(const std::string& text) {
  run_command({"tmux", "-L", socket_, "send-keys", "-t", "0", "-l", "--", text});
}

void TmuxRun::key(const std::string& name) {
  run_command({"tmux", "-L", socket_, "send-keys", "-t", "0", name});
}

void TmuxRun::paste(const std::string& text) {
  run_command({"tmux", "-L", socket_, "set-buffer", "-b", "paste", "--", text});
  run_command({"tmux", "-L", socket_, "paste-buffer", "-d", "-r", "-b", "paste", "-t", "0"});
}

void TmuxRun::resize(int columns, int rows) {
  run_command({"tmux", "-L", socket_, "resize-window", "-t", "0", "-x", std::to_string(columns), "-y",
               std::to_string(rows)});
  rows_ = rows;
}

std::vector<std::string> TmuxRun::screen() const {
  std::string text = run_command({"tmux", "-L", socket_, "capture-pane", "-p", "-t", "0"});
  std::vector<std::string> rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    rows.push_back(line);
  }
  rows.resize(static_cast<std::size_t>(rows_));
  return rows;
}

std::string TmuxRun::row(int row) const {
  const std::vector<std::string> rows = screen();
  return row >= 1 && row <= static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row - 1)] : "";
}

std::string TmuxRun::screen_text() const {
  std::string all;
  int n = 1;
  for (const auto& r : screen()) all += std::to_string(n++) + "|" + r + "\n";
  return all;
}

std::string TmuxRun::screen_with_colours() const {
  return run_command({"tmux", "-L", socket_, "capture-pane", "-p", "-e", "-t", "0"});
}

bool TmuxRun::wait_for(const std::function<bool(const std::vector<std::string>&)>& condition,
                       double seconds) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (condition(screen())) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    sleep_seconds(0.05);
  }
}

bool TmuxRun::wait_row(int row, const std::string& text, double seconds) const {
  return wait_for([&](const auto& rows) { return rows[row - 1] == text; }, seconds);
}

bool TmuxRun::wait_contains(const std::string& text, double seconds) const {
  return wait_for(
      [&](const auto& rows) {
        for (const auto& r : rows)
          if (r.find(text) != std::string::npos) return true;
        return false;
      },
      seconds);
}

bool TmuxRun::ended() const { return path_exists(folder_.file(".stty-" + socket_)); }

int TmuxRun::wait_exit(double seconds) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!ended()) {
    if (std::chrono::steady_clock::now() > until) return -1;
    sleep_seconds(0.05);
  }
  return std::atoi(read_bytes(folder_.file(".exit-" + socket_)).c_str());
}

int TmuxRun::program_pid() const {
  const std::string pane =
      run_command({"tmux", "-L", socket_, "list-panes", "-t", "0", "-F", "#{pane_pid}"});
  const int shell = std::atoi(pane.c_str());
  if (shell <= 0) return 0;
  // Missing once the shell has ended, and then there is no program either.
  std::ifstream in("/proc/" + std::to_string(shell) + "/task/" + std::to_string(shell) +
                   "/children");
  int child = 0;
  in >> child;
  return child;
}

bool TmuxRun::signal_program(int signal) const {
  const int pid = program_pid();
  return pid > 0 && kill(pid, signal) == 0;
}

std::string TmuxRun::stty_after() const {
  return read_bytes(folder_.file(".stty-" + socket_));
}

bool TmuxRun::alternate_screen_on() const {
  return run_command({"tmux", "-L", socket_, "display-message", "-p", "-t", "0", "#{alternate_on}"}) == "1\n";
}

bool TmuxRun::cursor_shown() const {
  return run_command({"tmux", "-L", socket_, "display-message", "-p", "-t", "0", "#{cursor_flag}"}) == "1\n";
}

}  // namespace pat::test
