#pragma once

// Whether the terminal has hung up, told only by what the system reports of
// its input. A wake-up that finds no byte is no event: another program
// reading the same terminal (a pager, `cat /dev/tty`) may have taken it.

namespace pat {

// poll's report for the terminal: POLLHUP, POLLERR or POLLNVAL, whatever
// else stands beside them. Linux reports a terminal whose reads return 0
// this way too.
bool poll_reports_hang_up(short revents);

// A read that gave no byte: errno after it, 0 when it failed for no reason
// (nothing was waiting). Only a want of bytes (EAGAIN) or a signal (EINTR)
// leaves the terminal open; EIO and the like mean it is gone.
bool read_reports_hang_up(int error);

}  // namespace pat
