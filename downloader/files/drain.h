#pragma once

// Reads a descriptor that never blocks (the reading end of a wake pipe)
// empty; whether anything was there. -1 holds nothing.

namespace pat {

bool drain_descriptor(int fd);

}  // namespace pat
