#include "downloader/convert/label_index.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "downloader/text/text.h"

namespace pat {
namespace {

// The column of one label by a search of its own.
long plain_search(const CertificateLabelRule& rule, std::string_view line) {
  long p = string_instr(line, rule.label);
  while (rule.skip_after_s && p > 1 && line[static_cast<std::size_t>(p - 2)] == 'S')
    p = string_instr(p + 1, line, rule.label);
  return p;
}

CertificateLabelRule rule_of(std::string_view label, bool skip_after_s = false) {
  CertificateLabelRule rule;
  rule.label = label;
  rule.skip_after_s = skip_after_s;
  return rule;
}

// Every rule that a set asks for is found at the column of its own search,
// whatever the other labels around it: labels shorter than the key, labels
// that share their first four bytes, labels inside others.
TEST(LabelIndex, FindsWhatEachRuleFindsAlone) {
  const std::vector<std::vector<CertificateLabelRule>> tables = {
      certificate_label_rules(),
      {rule_of("AB"), rule_of("ABCD"), rule_of("ABCDEF"), rule_of("ABCDXY"), rule_of("BCD"),
       rule_of("LKGE", true), rule_of("SLKGE"), rule_of("\x80\xff\x01Z"), rule_of("ZZZZ")},
  };
  const std::vector<std::string> pieces = {
      "AB", "ABC", "ABCD", "ABCDEF", "ABCDXY", "BCD", "LKGE", "SLKGE", "SSLKGE", "S", "Z", "ZZ",
      "\x80\xff\x01Z", "\x80", " ", "    ", "x", "APPLIANCE", "DATE", "SITE:", "TLKGE  ",
      "LKGE  ", "SLKGE  ", "IEC LEAD  ", "OVERALL ST", "COMMENTS:", "SIGNATURE:", "LOCATION:"};
  std::mt19937 random(7);
  for (const auto& rules : tables) {
    const LabelIndex index(rules);
    for (int i = 0; i < 3000; ++i) {
      std::string line;
      const int count = static_cast<int>(random() % 10);
      for (int k = 0; k < count; ++k) line += pieces[random() % pieces.size()];
      const RuleSet wanted = i % 3 == 0 ? index.all() : static_cast<RuleSet>(random()) & index.all();
      LabelColumns columns{};
      const RuleSet found = index.find(line, wanted, columns);
      for (std::size_t r = 0; r < rules.size(); ++r) {
        SCOPED_TRACE("line [" + line + "] label " + std::string(rules[r].label));
        const bool asked = (wanted >> r) & 1u;
        const long want = asked ? plain_search(rules[r], line) : 0;
        ASSERT_EQ(((found >> r) & 1u) != 0, want != 0);
        if (want != 0) {
          ASSERT_EQ(columns[r], want);
        }
      }
    }
  }
}

TEST(LabelIndex, ShortestLabel) {
  EXPECT_EQ(LabelIndex(certificate_label_rules()).shortest_label(), 4u);
  const std::vector<CertificateLabelRule> rules = {rule_of("ABCDE"), rule_of("XY")};
  EXPECT_EQ(LabelIndex(rules).shortest_label(), 2u);
}

}  // namespace
}  // namespace pat
