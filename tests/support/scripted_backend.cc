#include "tests/support/scripted_backend.h"

namespace pat::test {

void ScriptedBackend::type(std::string_view chars) {
  for (char c : chars) {
    auto byte = static_cast<std::uint8_t>(c);
    press(byte, TypedKey{byte, 0}, true);
    release(byte);
  }
}

void ScriptedBackend::type_line(std::string_view chars) {
  type(chars);
  press(key::enter, TypedKey{13, 0}, true);
  release(key::enter);
}

void ScriptedBackend::press(std::int32_t code, TypedKey typed, bool has_typed) {
  steps_.push_back(Step{Step::Kind::press, code, typed, has_typed});
}

void ScriptedBackend::release(std::int32_t code) {
  steps_.push_back(Step{Step::Kind::release, code, TypedKey{}, false});
}

void ScriptedBackend::idle_steps(int count) {
  for (int i = 0; i < count; ++i) steps_.push_back(Step{Step::Kind::idle, 0, TypedKey{}, false});
}

void ScriptedBackend::end_request() {
  steps_.push_back(Step{Step::Kind::end_request, 0, TypedKey{}, false});
}

void ScriptedBackend::answer_boxes(std::vector<bool> answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void ScriptedBackend::idle() {
  if (console_ == nullptr) return;
  // A step waits for the program to take the key before it, from whichever
  // store it reads: typed keys in a line entry, key events in the capture.
  if (console_->typed_keys_waiting() && console_->key_events_waiting()) return;
  if (steps_.empty()) {
    // Nothing more will ever be typed: end the run rather than wait forever.
    console_->request_end();
    return;
  }
  Step step = steps_.front();
  steps_.pop_front();
  switch (step.kind) {
    case Step::Kind::press:
      console_->key_press(step.code, step.typed, step.has_typed);
      break;
    case Step::Kind::release:
      console_->key_release(step.code);
      break;
    case Step::Kind::end_request:
      console_->request_end();
      break;
    case Step::Kind::idle:
      break;
  }
}

bool ScriptedBackend::ask_yes_no(std::string_view caption, std::string_view text) {
  boxes.emplace_back(caption);
  boxes.emplace_back(text);
  if (answers_.empty()) return false;
  bool answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void ScriptedBackend::show_message(std::string_view caption, std::string_view text) {
  boxes.emplace_back(caption);
  boxes.emplace_back(text);
}

}  // namespace pat::test
