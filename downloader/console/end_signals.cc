#include "downloader/console/end_signals.h"

#include <signal.h>

#include <atomic>
#include <cerrno>

namespace pat {

namespace {

// What the handler reaches: atomics only.
std::atomic<bool> end_signal{false};
std::atomic<const WakePipe*> wake_pipe{nullptr};

constexpr int end_signal_numbers[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous_actions[3];

void on_end_signal(int) {
  const int saved_errno = errno;
  end_signal.store(true);
  if (const WakePipe* pipe = wake_pipe.load()) pipe->wake();
  errno = saved_errno;
}

}  // namespace

EndSignals::EndSignals(const WakePipe& wake) {
  end_signal.store(false);
  wake_pipe.store(&wake);
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = on_end_signal;
  // A read or a write that the signal meets goes on; the run ends at its
  // next step.
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) sigaction(end_signal_numbers[i], &action, &previous_actions[i]);
}

EndSignals::~EndSignals() {
  for (int i = 0; i < 3; ++i) sigaction(end_signal_numbers[i], &previous_actions[i], nullptr);
  wake_pipe.store(nullptr);
}

bool EndSignals::arrived() { return end_signal.load(); }

}  // namespace pat
