#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "downloader/convert/label_rules.h"

// Finds the labels of the certificate rules in a line, all of them in one
// pass, so that a line costs about the same whatever the number of rules.

namespace pat {

// A set of rules, one bit per place in the table.
using RuleSet = std::uint32_t;
inline constexpr std::size_t most_label_rules = 32;
// The column (from 1) of each rule's label, where a find reported one.
using LabelColumns = std::array<long, most_label_rules>;

class LabelIndex {
 public:
  // The rules must outlive the index.
  explicit LabelIndex(const std::vector<CertificateLabelRule>& rules);

  const std::vector<CertificateLabelRule>& rules() const { return rules_; }
  RuleSet all() const { return all_; }
  std::size_t shortest_label() const { return shortest_label_; }

  // The rules of `wanted` whose labels the line holds, each label at its
  // first position (for a rule with skip_after_s, its first one that does
  // not follow an "S"); `columns` receives the columns of those rules and of
  // no other.
  RuleSet find(std::string_view line, RuleSet wanted, LabelColumns& columns) const;

 private:
  static constexpr std::size_t key_bytes = 4;  // the label bytes that a key holds

  struct Group {
    std::uint32_t key = 0;  // the first four bytes of the labels
    RuleSet rules = 0;      // the rules whose labels begin with them
  };

  void look_at(std::string_view line, std::size_t i, std::size_t slot, RuleSet& missing,
               RuleSet& found, LabelColumns& columns) const;

  const std::vector<CertificateLabelRule>& rules_;
  RuleSet all_ = 0;
  RuleSet short_labels_ = 0;  // too short for a key: searched one by one
  std::size_t shortest_label_ = std::string_view::npos;
  // A hash table of the keys. 0: empty; else a place in groups_, from 1.
  // Mostly empty, so that a position that begins no label seldom meets a
  // filled slot.
  std::array<std::uint8_t, 4096> slots_{};
  std::vector<Group> groups_;
};

}  // namespace pat
