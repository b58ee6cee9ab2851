#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "downloader/console/console.h"

// A console backend for tests in one process: keys come from a script, one
// step whenever the program waits with no typed key pending, and modal boxes
// are answered from a list. When the script runs out it asks the run to end,
// so a test never hangs.

namespace pat::test {

class ScriptedBackend : public ConsoleBackend {
 public:
  struct Step {
    enum class Kind { press, release, end_request, idle };
    Kind kind = Kind::press;
    std::int32_t code = 0;
    TypedKey typed;
    bool has_typed = false;
  };

  // Each character: its press (typed as that character) and its release.
  void type(std::string_view chars);
  // The characters, then Enter.
  void type_line(std::string_view chars);
  // A key press without a release (Shift held, say), or with its own typed entry.
  void press(std::int32_t code, TypedKey typed, bool has_typed);
  void release(std::int32_t code);
  // A step that only lets the program wait once more.
  void idle_steps(int count);
  void end_request();
  // Answers of ask_yes_no, in order; an unanswered box is answered N.
  void answer_boxes(std::vector<bool> answers);

  bool script_done() const { return steps_.empty(); }

  // What the modal boxes showed: caption, then text.
  std::vector<std::string> boxes;

  void attach(Console& console) override { console_ = &console; }
  void detach() override { console_ = nullptr; }
  void idle() override;
  void sleep_ms(int) override {}
  bool keys_arrive_unasked() const override { return false; }
  bool ask_yes_no(std::string_view caption, std::string_view text) override;
  void show_message(std::string_view caption, std::string_view text) override;

 private:
  Console* console_ = nullptr;
  std::deque<Step> steps_;
  std::deque<bool> answers_;
};

}  // namespace pat::test
