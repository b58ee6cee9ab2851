#pragma once

#include <string_view>

#include "downloader/console/console.h"
#include "downloader/text/text.h"

// The line entry: one typed answer ended by Enter, keys that would spoil it
// refused one at a time.

namespace pat {

enum class AnswerKind { answer_number, answer_text };

struct Answer {
  float number = 0;
  Text text;
};

Answer input_statement(Console& console, AnswerKind kind, bool line_end);

// Whether the typed line is acceptable so far for an entry of that kind.
bool line_acceptable(std::string_view line, AnswerKind kind);
// The answer that an acceptable line gives.
Answer line_answer(std::string_view line, AnswerKind kind);

}  // namespace pat
