#pragma once

#include "downloader/console/wake_pipe.h"

// While a guard lives, SIGINT, SIGTERM and SIGHUP (Ctrl+C, a shutdown, the
// terminal closing) are the console's end request: the handler only notes
// the signal and wakes the backend's thread, which asks the console to end.
// The handlers found before come back when the guard ends. One guard at a
// time.

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
