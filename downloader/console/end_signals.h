#pragma once

#include "downloader/console/wake_pipe.h"

// While a guard lives, the signals that would end the process are the
// console's end request (Ctrl+C, a shutdown, the terminal closing, SIGUSR1,
// a timer and the like): the handler only notes the signal and wakes the
// backend's thread, which asks the console to end. SIGPIPE and SIGXFSZ are
// ignored, so that a write they would stop fails as a write. Fault signals
// are the backend's. The handlers found before come back when the guard
// ends. One guard at a time.

namespace pat {

class EndSignals {
 public:
  // wake: written on every such signal; it must outlive the guard.
  explicit EndSignals(const WakePipe& wake);
  ~EndSignals();
  EndSignals(const EndSignals&) = delete;
  EndSignals& operator=(const EndSignals&) = delete;

  // Whether one of the signals came since the guard was made.
  static bool arrived();
};

}  // namespace pat
