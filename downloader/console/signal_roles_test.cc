#include "downloader/console/signal_roles.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pat {
namespace {

std::string name(int number) { return std::to_string(number) + " " + strsignal(number); }

// Whether a process that receives the signal under its default action ends:
// a child raises it on itself, without leaving a core file.
bool default_action_ends_the_process(int number) {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    prctl(PR_SET_DUMPABLE, 0);
    signal(number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    raise(number);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, WUNTRACED);
  if (WIFSTOPPED(status)) {  // a stop signal: stopped, not ended
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return false;
  }
  return WIFSIGNALED(status);
}

// Every signal that would end the process has a role, whatever the kernel
// adds; those that end nothing are left alone.
TEST(SignalRoles, EverySignalThatWouldEndTheProcessHasARole) {
  for (int number = 1; number <= SIGRTMAX; ++number) {
    if (number > SIGSYS && number < SIGRTMIN) continue;  // the C library's own
    SCOPED_TRACE(name(number));
    const bool ends = default_action_ends_the_process(number);
    // SIGKILL cannot be caught; SIGQUIT is the terminal's, which ignores
    // it with its key.
    if (number == SIGKILL || number == SIGQUIT) {
      EXPECT_TRUE(ends);
      EXPECT_EQ(signal_role(number), SignalRole::left_alone);
    } else {
      EXPECT_EQ(signal_role(number) != SignalRole::left_alone, ends);
    }
  }
}

TEST(SignalRoles, WhatEachKindBecomes) {
  struct Case {
    int number;
    SignalRole role;
  };
  const Case cases[] = {
      {SIGINT, SignalRole::end_request},   {SIGUSR1, SignalRole::end_request},
      {SIGALRM, SignalRole::end_request},  {SIGXCPU, SignalRole::end_request},
      {SIGRTMIN, SignalRole::end_request}, {SIGRTMAX, SignalRole::end_request},
      {SIGPIPE, SignalRole::ignored},      {SIGXFSZ, SignalRole::ignored},
      {SIGSEGV, SignalRole::fault},        {SIGTRAP, SignalRole::fault},
      {SIGSYS, SignalRole::fault},         {SIGSTOP, SignalRole::left_alone},
      {SIGWINCH, SignalRole::left_alone},  {SIGCHLD, SignalRole::left_alone},
  };
  for (const Case& c : cases) EXPECT_EQ(signal_role(c.number), c.role) << name(c.number);
}

}  // namespace
}  // namespace pat
