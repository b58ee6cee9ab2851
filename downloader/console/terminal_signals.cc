#include "downloader/console/terminal_signals.h"

#define NCURSES_WIDECHAR 1
#include <ncurses.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "downloader/console/signal_roles.h"

namespace pat {

namespace {

// State the signal handlers reach: only atomics and data fixed before the
// terminal was taken over.
std::atomic<bool> terminal_taken{false};
int terminal_fd = -1;
char restore_bytes[512];
std::size_t restore_length = 0;
termios saved_termios;
bool have_saved_termios = false;

// Gives the terminal back without curses: safe inside a signal handler.
void restore_terminal_now() {
  if (!terminal_taken.exchange(false)) return;
  if (restore_length > 0) {
    ssize_t written = write(terminal_fd, restore_bytes, restore_length);
    (void)written;
  }
  if (have_saved_termios) tcsetattr(terminal_fd, TCSANOW, &saved_termios);
}

void restore_at_exit() { restore_terminal_now(); }

void on_fatal_signal(int number) {
  restore_terminal_now();
  // The handler was reset on entry: the signal, raised again, ends the
  // process as it would have without us.
  std::signal(number, SIG_DFL);
  std::raise(number);
}

// The end signals have a guard of their own; the stop and quit keys' signals
// and the faults belong to the terminal.
bool ignored_by_terminal(int number) { return number == SIGQUIT || number == SIGTSTP; }

ReplacedSignals replaced_signals;

void install_signal_handlers() {
  struct sigaction ignore {};
  sigemptyset(&ignore.sa_mask);
  ignore.sa_handler = SIG_IGN;
  struct sigaction fault {};
  sigemptyset(&fault.sa_mask);
  fault.sa_handler = on_fatal_signal;
  fault.sa_flags = SA_RESETHAND;
  for (int number = 1; number < NSIG; ++number) {
    if (ignored_by_terminal(number)) replaced_signals.replace(number, ignore);
    if (signal_role(number) == SignalRole::fault) replaced_signals.replace(number, fault);
  }
}

void restore_signal_handlers() { replaced_signals.put_back(); }

// Curses learns of a new terminal size from its own SIGWINCH handler, which
// only notes it. The thread sleeps until woken: ours calls that handler and
// wakes the thread, which then reads the resize as a key.
struct sigaction curses_resize_action;
std::atomic<const WakePipe*> resize_wake{nullptr};

void on_resize(int number, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  if ((curses_resize_action.sa_flags & SA_SIGINFO) != 0) {
    if (curses_resize_action.sa_sigaction != nullptr) curses_resize_action.sa_sigaction(number, info, context);
  } else if (curses_resize_action.sa_handler != SIG_DFL && curses_resize_action.sa_handler != SIG_IGN) {
    curses_resize_action.sa_handler(number);
  }
  if (const WakePipe* pipe = resize_wake.load()) pipe->wake();
  errno = saved_errno;
}

void chain_resize_signal(const WakePipe& wake) {
  resize_wake.store(&wake);
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_sigaction = on_resize;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigaction(SIGWINCH, &action, &curses_resize_action);
}

void unchain_resize_signal() {
  sigaction(SIGWINCH, &curses_resize_action, nullptr);
  resize_wake.store(nullptr);
}

// What endwin would send, fetched now so a signal handler can send it.
void prepare_restore_bytes() {
  restore_length = 0;
  for (const char* name : {"sgr0", "op", "oc", "cnorm", "rmkx", "rmcup"}) {
    const char* bytes = tigetstr(name);
    if (bytes == nullptr || bytes == reinterpret_cast<const char*>(-1)) continue;
    std::size_t length = std::strlen(bytes);
    if (restore_length + length > sizeof restore_bytes) continue;
    std::memcpy(restore_bytes + restore_length, bytes, length);
    restore_length += length;
  }
}

}  // namespace

void take_terminal_signals(int fd) {
  terminal_fd = fd;
  have_saved_termios = tcgetattr(fd, &saved_termios) == 0;
  install_signal_handlers();
}

void guard_terminal(const WakePipe& wake) {
  chain_resize_signal(wake);
  prepare_restore_bytes();
  terminal_taken.store(true);
  static std::once_flag exit_hook;
  std::call_once(exit_hook, [] { std::atexit(restore_at_exit); });
}

void unguard_terminal() {
  unchain_resize_signal();
  terminal_taken.store(false);
}

void give_back_terminal_signals() {
  restore_signal_handlers();
  terminal_fd = -1;
  have_saved_termios = false;
}

}  // namespace pat
