#pragma once

#include <atomic>

// A pipe that wakes a thread sleeping in poll: any thread, or a signal
// handler, writes a byte; the sleeping thread polls the reading end and
// drains it before it looks at what changed.

namespace pat {

class WakePipe {
 public:
  WakePipe() = default;
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  // False when no pipe could be made.
  bool open();
  void close();
  bool is_open() const { return read_fd_.load() >= 0; }
  // The end to poll for reading; -1 when closed.
  int fd() const { return read_fd_.load(); }
  // Safe in a signal handler; never blocks, and does nothing when closed.
  void wake() const;
  // Takes every byte written so far.
  void drain() const;

 private:
  std::atomic<int> read_fd_{-1};
  std::atomic<int> write_fd_{-1};
};

}  // namespace pat
