#pragma once

// The dialogue of whole runs in tmux, for the end-to-end tests.
#include "tests/support/e2e_dialogue.h"
