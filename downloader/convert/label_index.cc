#include "downloader/convert/label_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "downloader/text/text.h"

namespace pat {

namespace {

std::uint32_t key_at(const char* bytes) {
  std::uint32_t key;
  std::memcpy(&key, bytes, sizeof key);
  return key;
}

std::size_t slot_of(std::uint32_t key) {
  // The top twelve bits of a multiplicative hash.
  return static_cast<std::size_t>((key * 0x9E3779B1u) >> 20);
}

// The label's column, 0 when absent: one rule's own search.
long find_one_label(const CertificateLabelRule& rule, std::string_view line) {
  long p = string_instr(line, rule.label);
  if (rule.skip_after_s) {
    // The tail of "SLKGE  " is no leakage label.
    while (p > 1 && line[static_cast<std::size_t>(p - 2)] == 'S') {
      p = string_instr(p + 1, line, rule.label);
    }
  }
  return p;
}

// Whether the rule's label stands at position i, whose first four bytes
// have matched already.
bool label_stands_at(const CertificateLabelRule& rule, std::string_view line, std::size_t i) {
  const std::string_view label = rule.label;
  if (line.size() - i < label.size()) return false;
  for (std::size_t k = 4; k < label.size(); ++k) {
    if (line[i + k] != label[k]) return false;
  }
  // The tail of "SLKGE  " is no leakage label.
  return !rule.skip_after_s || i == 0 || line[i - 1] != 'S';
}

}  // namespace

LabelIndex::LabelIndex(const std::vector<CertificateLabelRule>& rules) : rules_(rules) {
  if (rules.size() > most_label_rules) throw std::logic_error("too many certificate label rules");
  all_ = rules.size() == most_label_rules ? ~RuleSet{0} : (RuleSet{1} << rules.size()) - 1;
  for (std::size_t r = 0; r < rules.size(); ++r) {
    const std::string_view label = rules[r].label;
    shortest_label_ = std::min(shortest_label_, label.size());
    if (label.size() < key_bytes) {
      short_labels_ |= RuleSet{1} << r;
      continue;
    }
    const std::uint32_t key = key_at(label.data());
    for (std::size_t slot = slot_of(key);; slot = (slot + 1) % slots_.size()) {
      if (slots_[slot] == 0) {
        groups_.push_back(Group{key, 0});
        slots_[slot] = static_cast<std::uint8_t>(groups_.size());
      }
      Group& group = groups_[slots_[slot] - 1u];
      if (group.key == key) {
        group.rules |= RuleSet{1} << r;
        break;
      }
    }
  }
}

RuleSet LabelIndex::find(std::string_view line, RuleSet wanted, LabelColumns& columns) const {
  RuleSet found = 0;
  for (RuleSet left = wanted & short_labels_; left != 0; left &= left - 1) {
    const int r = std::countr_zero(left);
    const long p = find_one_label(rules_[static_cast<std::size_t>(r)], line);
    columns[static_cast<std::size_t>(r)] = p;
    if (p != 0) found |= RuleSet{1} << r;
  }
  RuleSet missing = wanted & ~short_labels_;
  if (line.size() < key_bytes || missing == 0) return found;
  const std::size_t starts = line.size() - key_bytes + 1;
  const char* const data = line.data();
  std::size_t i = 0;
  // Four positions at a time: most begin no label at all.
  for (; i + 4 <= starts; i += 4) {
    const std::size_t s0 = slot_of(key_at(data + i));
    const std::size_t s1 = slot_of(key_at(data + i + 1));
    const std::size_t s2 = slot_of(key_at(data + i + 2));
    const std::size_t s3 = slot_of(key_at(data + i + 3));
    if ((slots_[s0] | slots_[s1] | slots_[s2] | slots_[s3]) == 0) continue;
    if (slots_[s0] != 0) look_at(line, i, s0, missing, found, columns);
    if (slots_[s1] != 0) look_at(line, i + 1, s1, missing, found, columns);
    if (slots_[s2] != 0) look_at(line, i + 2, s2, missing, found, columns);
    if (slots_[s3] != 0) look_at(line, i + 3, s3, missing, found, columns);
    if (missing == 0) return found;
  }
  for (; i < starts; ++i) {
    const std::size_t slot = slot_of(key_at(data + i));
    if (slots_[slot] != 0) look_at(line, i, slot, missing, found, columns);
  }
  return found;
}

// Takes the labels of the `missing` rules that begin at position i, whose
// key hashes to `slot`.
void LabelIndex::look_at(std::string_view line, std::size_t i, std::size_t slot,
                         RuleSet& missing, RuleSet& found, LabelColumns& columns) const {
  const std::uint32_t key = key_at(line.data() + i);
  for (; slots_[slot] != 0; slot = (slot + 1) % slots_.size()) {
    const Group& group = groups_[slots_[slot] - 1u];
    if (group.key != key) continue;
    for (RuleSet candidates = group.rules & missing; candidates != 0;
         candidates &= candidates - 1) {
      const int r = std::countr_zero(candidates);
      if (!label_stands_at(rules_[static_cast<std::size_t>(r)], line, i)) continue;
      columns[static_cast<std::size_t>(r)] = static_cast<long>(i) + 1;
      found |= RuleSet{1} << r;
      missing &= ~(RuleSet{1} << r);
    }
    return;
  }
}

}  // namespace pat
