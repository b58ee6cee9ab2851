#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/dialogue.h"

namespace pat::test {

// Answers the dialogue and the first instruction screen as a user types
// them; the capture begins with the Enter of the second screen. A screen
// that does not come fails the test.
inline void answer_up_to_capture(TmuxRun& run, const std::string& port, const std::string& baud,
                                 const std::string& name, const std::string& format) {
  const std::string missing =
      dialogue_up_to_capture(run, {.port = port, .baud = baud, .name = name, .format = format});
  ASSERT_TRUE(missing.empty()) << missing;
}

// The same for a name where one file exists that the run would replace (the
// output file, or the conversion's temporary file): its question answered Y.
inline void answer_up_to_capture_overwriting(TmuxRun& run, const std::string& name,
                                             const std::string& format) {
  const std::string missing =
      dialogue_up_to_capture(run, {.name = name, .format = format, .overwrite = true});
  ASSERT_TRUE(missing.empty()) << missing;
}

}  // namespace pat::test
