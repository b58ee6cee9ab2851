#include "downloader/convert/label_memo.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace pat {
namespace {

// Lines met again and again, among more than the memo holds: lines alike
// but for their last byte or their length, lines too long to remember. Each
// answer is the index's own, and no other rule's column is touched.
TEST(LabelMemo, AnswersAsTheIndexDoes) {
  const LabelIndex index(certificate_label_rules());
  std::vector<std::string> pool = {"", "SITE:", "SITE: A", "SITE: B", "SITE: A ", "DATE",
                                   "  VISUAL              P", "SLKGE  LKGE  x",
                                   std::string(300, ' ') + "USER: FAR",
                                   std::string(300, ' ') + "USER: FAX"};
  // Two hundred lines of one length, each with a label (or none) at a
  // column of its own.
  std::mt19937 random(5);
  const std::vector<std::string> labels = {"SITE:", "DATE", "USER:", "xxxx"};
  for (int i = 0; i < 200; ++i) {
    std::string line(24, '.');
    line.replace(random() % 16, 5, labels[random() % labels.size()] + "-");
    pool.push_back(line);
  }
  LabelMemo memo(index);
  for (int i = 0; i < 20000; ++i) {
    const std::string& line = pool[random() % pool.size()];
    SCOPED_TRACE("[" + line + "]");
    LabelColumns want{};
    const RuleSet want_found = index.find(line, index.all(), want);
    LabelColumns got;
    got.fill(-7);
    const RuleSet got_found = memo.find(line, got);
    ASSERT_EQ(got_found, want_found);
    for (std::size_t r = 0; r < most_label_rules; ++r) {
      ASSERT_EQ(got[r], ((want_found >> r) & 1u) ? want[r] : -7) << "rule " << r;
    }
  }
}

}  // namespace
}  // namespace pat
