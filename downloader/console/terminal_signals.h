#pragma once

#include "downloader/console/wake_pipe.h"

// The terminal's process-wide state, reached from signal handlers: the mode
// it had and the bytes that take curses' screen away, to give it back on a
// fault signal (before the signal's own end, core dump included) and at an
// exit that finds it still taken. While it is taken, SIGQUIT and SIGTSTP are
// ignored, their keys being ordinary keys, and a resize wakes the backend's
// thread once curses' own handler has noted it. The handlers touch only
// atomics and data fixed before the terminal was taken.
// One terminal at a time; the calls come in this order.

namespace pat {

// Before curses starts on fd and after the end signals' guard is made, so
// that curses leaves these signals alone: notes the terminal's mode, takes
// the fault signals and ignores the quit and stop signals.
void take_terminal_signals(int fd);
// Once curses has set the terminal up: from now on a fault or the exit
// gives the terminal back, and a resize wakes `wake` (it must outlive this).
void guard_terminal(const WakePipe& wake);
// Before endwin, which gives the terminal back itself.
void unguard_terminal();
// Once curses is gone, or never started: the handlers found before.
void give_back_terminal_signals();

}  // namespace pat
