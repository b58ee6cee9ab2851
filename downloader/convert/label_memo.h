#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "downloader/convert/label_index.h"
#include "downloader/text/text.h"

// Remembers the labels found in the lines met lately, keyed by their bytes,
// and beside them what the parser made of each. A download repeats many of
// its lines (the same site and user, the same results, empty comment
// lines): a line met again costs a hash and a comparison instead of a
// search.

namespace pat {

// Kept beside a remembered line for its parser: what the line's rules made
// of it when all they do is fill slots (and maybe complete the record), as
// the slots and the bytes of the line each takes.
struct LineYield {
  static constexpr std::size_t most_fills = 8;
  enum class Kind : std::uint8_t { unknown, fills_only, other };
  struct Fill {
    std::uint8_t slot = 0;
    std::uint16_t start = 0;
    std::uint16_t length = 0;
  };
  Kind kind = Kind::unknown;
  bool completes = false;
  std::uint8_t count = 0;
  std::array<Fill, most_fills> fills{};
};

class LabelMemo {
 public:
  // The index must outlive the memo.
  explicit LabelMemo(const LabelIndex& index);

  // As index.find(line, index.all(), columns). `yield`, unless null,
  // receives the yield kept beside the line while it is remembered, else
  // null; a line remembered afresh comes with an unknown one.
  RuleSet find(std::string_view line, LabelColumns& columns, LineYield** yield = nullptr);

 private:
  // Lines are remembered two to a set, so that a new line pushes out the
  // one of the two used less lately rather than whichever it hashes to; and
  // only once they are met a second time: a line met once (an appliance's
  // own) costs no more than its hash.
  static constexpr std::size_t sets = 64;
  static constexpr std::size_t seen_places = 4096;
  static constexpr std::size_t longest_line = 256;  // longer ones are searched each time

  struct Entry {
    bool used = false;
    std::uint64_t hash = 0;  // of the line, compared before its bytes
    Text line;
    RuleSet found = 0;
    std::array<std::uint16_t, most_label_rules> columns{};  // of the rules found
    LineYield yield;
  };
  struct Set {
    std::array<Entry, 2> ways;
    std::size_t last_used = 0;
  };

  // A line not remembered: searched, and remembered if met before.
  RuleSet search(std::string_view line, std::uint64_t hash, Set& set, LabelColumns& columns,
                 LineYield** yield);

  const LabelIndex& index_;
  std::vector<Set> sets_;
  // Sixteen bits of the hash of each line met lately, by its hash: two
  // lines alike in both only cost a line remembered too soon.
  std::vector<std::uint16_t> seen_;
};

}  // namespace pat
