#pragma once

// The kernel's termios2, for a free baud rate (BOTHER). This header clashes
// with <termios.h>: include it only where <termios.h> is not.
#include <asm/termbits.h>

#include "downloader/serial/serial_settings.h"

namespace pat {

// Turns `line` into a raw line with the settings' rate and character frame,
// no flow control, and reads that return at once. Other fields are kept.
void make_raw_line(termios2& line, const SerialSettings& settings);

}  // namespace pat
