#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "downloader/convert/label_index.h"
#include "downloader/text/text.h"

// Remembers the labels found in the lines met last, keyed by their bytes.
// A download repeats many of its lines (the same site and user, the same
// results, empty comment lines): a line met again costs a hash and a
// comparison instead of a search.

namespace pat {

class LabelMemo {
 public:
  // The index must outlive the memo.
  explicit LabelMemo(const LabelIndex& index);

  // As index.find(line, index.all(), columns).
  RuleSet find(std::string_view line, LabelColumns& columns);

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
  };
  struct Set {
    std::array<Entry, 2> ways;
    std::size_t last_used = 0;
  };

  // A line not remembered: searched, and remembered if met before.
  RuleSet search(std::string_view line, std::uint64_t hash, Set& set, LabelColumns& columns);

  const LabelIndex& index_;
  std::vector<Set> sets_;
  // Sixteen bits of the hash of each line met lately, by its hash: two
  // lines alike in both only cost a line remembered too soon.
  std::vector<std::uint16_t> seen_;
};

}  // namespace pat
