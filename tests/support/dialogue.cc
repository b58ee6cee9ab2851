#include "tests/support/dialogue.h"

#include <vector>

namespace pat::test {
namespace {

// A question of the dialogue and its answer.
struct Step {
  std::string missing;  // what a run that never shows the question lacks
  int row;              // where the question shows; 0 for anywhere
  std::string question;
  std::string answer;   // typed, then Enter
};

std::vector<Step> steps(const DialogueAnswers& a) {
  std::vector<Step> s = {
      {"no port question", 2, " Enter COM port number #", a.port},
      {"no baud question", 9, " ?", a.baud},
      {"no file name question", 15, " ?", a.name},
      {"no format question", 12, " Select", a.format},
  };
  if (a.overwrite) s.push_back({"no overwrite question", 0, "Do you want to overwrite it?", "Y"});
  s.push_back({"no instructions", 0, "Press ENTER to continue", ""});
  s.push_back({"no second instruction screen", 0, "START SEARCH", ""});
  return s;
}

}  // namespace

void script_dialogue(ScriptedBackend& keys, const DialogueAnswers& answers) {
  for (const Step& step : steps(answers)) keys.type_line(step.answer);
}

std::string dialogue_up_to_capture(TmuxRun& run, const DialogueAnswers& answers) {
  const std::vector<Step> all = steps(answers);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Step& step = all[i];
    const bool shown = step.row > 0 ? run.wait_row(step.row, step.question)
                                    : run.wait_contains(step.question);
    if (!shown) return step.missing + "\nscreen:\n" + run.screen_text();
    // The last Enter is the caller's: it starts the capture.
    if (i + 1 == all.size()) break;
    if (step.answer.empty()) {
      run.key("Enter");
    } else {
      run.type_line(step.answer);
    }
  }
  return "";
}

}  // namespace pat::test
