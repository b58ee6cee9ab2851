#pragma once

#include "downloader/program.h"

namespace pat {

// Two screens of settings to make on the tester, each closed with Enter.
void show_tester_instructions(Program& p);

}  // namespace pat
