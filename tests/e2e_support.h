#pragma once

// What the end-to-end tests use: the program in tmux in a folder of its own,
// the simulated tester, downloads to send, and files as bytes.
#include "tests/support/downloads.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sim_tester.h"
#include "tests/support/tmux_run.h"
