#include "tests/support/sim_tester.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/file_bytes.h"

namespace pat::test {
namespace {

void sleep_seconds(double s) {
  std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

}  // namespace

SimTester::SimTester(const std::string& folder, const TesterOptions& o) {
  // Named by port, so that two testers can share one folder.
  const std::string port = std::to_string(o.port);
  auto in_folder = [&](const std::string& name) { return folder + "/" + name; };
  const std::string ready = in_folder(".tester-ready-" + port);
  log_ = in_folder(".tester-log-" + port);
  const std::string link = o.link.empty() ? "com" + port : o.link;
  std::vector<std::string> argv = {binary_dir() + "/sim_tester", "--link", in_folder(link),
                                   "--ready", ready, "--timeout", std::to_string(o.timeout)};
  if (!o.send.empty()) {
    const std::string download = in_folder(".download-" + port);
    write_bytes(download, o.send);
    argv.push_back("--send");
    argv.push_back(download);
  }
  if (o.baud > 0) {
    argv.push_back("--baud");
    argv.push_back(std::to_string(o.baud));
  } else {
    argv.push_back("--fast");
  }
  for (const auto& [offset, secs] : o.pauses) {
    argv.push_back("--pause");
    argv.push_back(std::to_string(offset) + ":" + std::to_string(secs));
  }
  if (o.hold_lock) argv.push_back("--hold-lock");
  pid_ = fork();
  if (pid_ == 0) {
    const int log = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(log, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  // A tester that ends before it is ready, or never gets there, is no line
  // to test against: say so with its own words rather than fail later.
  for (int i = 0; !path_exists(ready); ++i) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("the simulated tester ended before it was ready: " +
                               read_bytes(log_));
    }
    if (i == 400) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      throw std::runtime_error("the simulated tester was not ready in 10 s: " + read_bytes(log_));
    }
    sleep_seconds(0.025);
  }
}

SimTester::~SimTester() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string SimTester::finish(double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (pid_ > 0) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    if (std::chrono::steady_clock::now() > until) break;
    sleep_seconds(0.05);
  }
  return read_bytes(log_);
}

}  // namespace pat::test
