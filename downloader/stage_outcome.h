#pragma once

namespace pat {

// How the run goes on after a stage; the run frame alone acts on it.
enum class Outcome {
  go_on,          // the next stage
  version_lines,  // the version lines, then the closing prompt
  end_run,        // the closing prompt at once: the stage showed its own last lines
};

}  // namespace pat
