#pragma once

#include <signal.h>

// What a console makes of each signal whose default action would end the
// process, so that none of them leaves the terminal behind.

namespace pat {

enum class SignalRole {
  left_alone,   // its default ends nothing, or it cannot be caught
  end_request,  // ends the run as Ctrl+C does
  ignored,      // raised by a write that cannot be done: the write fails instead
  fault,        // a fault of the program: the terminal back, then the default action
};

SignalRole signal_role(int number);

// The actions found before a console's own, put back when it ends.
class ReplacedSignals {
 public:
  void replace(int number, const struct sigaction& action);
  void put_back();

 private:
  struct sigaction previous_[NSIG];
  bool replaced_[NSIG] = {};
};

}  // namespace pat
