#pragma once

#include <string>

#include "tests/support/scripted_backend.h"
#include "tests/support/tmux_run.h"

// The dialogue before a capture, answered as a user does: either typed ahead
// into the scripted console of an in-process run, or answered in tmux, each
// answer once its question shows.

namespace pat::test {

struct DialogueAnswers {
  std::string port = "3";
  std::string baud = "2";  // the number of the choice in the list of rates
  std::string name;
  std::string format;
  bool overwrite = false;  // answers Y to the question for an existing file
};

// Types the answers and the Enters of both instruction screens; the second
// Enter starts the capture.
void script_dialogue(ScriptedBackend& keys, const DialogueAnswers& answers);

// Answers the dialogue and the first instruction screen, and waits for the
// second, whose Enter starts the capture. Empty when every screen came;
// otherwise the screen that did not come, and the screen there was.
std::string dialogue_up_to_capture(TmuxRun& run, const DialogueAnswers& answers);

}  // namespace pat::test
