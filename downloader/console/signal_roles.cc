#include "downloader/console/signal_roles.h"

#include <signal.h>

namespace pat {

SignalRole signal_role(int number) {
  switch (number) {
    case SIGINT:
    case SIGTERM:
    case SIGHUP:
    case SIGUSR1:
    case SIGUSR2:
    case SIGALRM:
    case SIGVTALRM:
    case SIGPROF:
    case SIGXCPU:
    case SIGIO:
#ifdef SIGSTKFLT
    case SIGSTKFLT:
#endif
#ifdef SIGPWR
    case SIGPWR:
#endif
      return SignalRole::end_request;
    // A pipe without a reader, a file at its size limit: the write reports
    // it, and the run shows it as it does a full disk.
    case SIGPIPE:
    case SIGXFSZ:
      return SignalRole::ignored;
    // Raised by an instruction of the program itself: a trap instruction or
    // a system call refused by a filter is no request to end, and going on
    // past it would not be sound. The core dump stays for whoever looks.
    case SIGSEGV:
    case SIGABRT:
    case SIGBUS:
    case SIGFPE:
    case SIGILL:
    case SIGTRAP:
    case SIGSYS:
      return SignalRole::fault;
    default:
      // The C library keeps the numbers below SIGRTMIN for itself.
      return number >= SIGRTMIN && number <= SIGRTMAX ? SignalRole::end_request
                                                      : SignalRole::left_alone;
  }
}

void ReplacedSignals::replace(int number, const struct sigaction& action) {
  if (!replaced_[number]) replaced_[number] = sigaction(number, &action, &previous_[number]) == 0;
}

void ReplacedSignals::put_back() {
  for (int number = 1; number < NSIG; ++number) {
    if (replaced_[number]) sigaction(number, &previous_[number], nullptr);
    replaced_[number] = false;
  }
}

}  // namespace pat
