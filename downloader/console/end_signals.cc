#include "downloader/console/end_signals.h"

#include <signal.h>

#include <atomic>
#include <cerrno>

#include "downloader/console/signal_roles.h"

namespace pat {

namespace {

// What the handler reaches: atomics only.
std::atomic<bool> end_signal{false};
std::atomic<const WakePipe*> wake_pipe{nullptr};

ReplacedSignals replaced;

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
  struct sigaction noted {};
  sigemptyset(&noted.sa_mask);
  noted.sa_handler = on_end_signal;
  // A read or a write that the signal meets goes on; the run ends at its
  // next step.
  noted.sa_flags = SA_RESTART;
  struct sigaction ignored {};
  sigemptyset(&ignored.sa_mask);
  ignored.sa_handler = SIG_IGN;
  for (int number = 1; number < NSIG; ++number) {
    const SignalRole role = signal_role(number);
    if (role == SignalRole::end_request) replaced.replace(number, noted);
    if (role == SignalRole::ignored) replaced.replace(number, ignored);
  }
}

EndSignals::~EndSignals() {
  replaced.put_back();
  wake_pipe.store(nullptr);
}

bool EndSignals::arrived() { return end_signal.load(); }

}  // namespace pat
