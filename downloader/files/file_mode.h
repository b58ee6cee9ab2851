#pragma once

// How a file is opened: the mode of the open, and when an output that
// exists loses what it held.

namespace pat {

enum FileMode { mode_random = 1, mode_input = 3, mode_output = 4 };

// When an output file that exists loses what it held: at the open, or only
// when its first byte is written, so that a run which writes nothing leaves
// it as it was. Such a file, closed with nothing written, is deleted when
// the open created it and left untouched otherwise.
enum class Emptying { at_open, at_first_write };

}  // namespace pat
