#include "downloader/capture/capture_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <vector>

namespace pat {
namespace {

constexpr std::int32_t escape = 27;

// The rules with a fake clock and key queue, and the file they wrote.
struct Feed {
  explicit Feed(ByteRule rule, float start = 0.25f) : rules(rule, start), clock(start) {}

  CaptureStep bytes(std::string_view block, float at) {
    clock = at;
    const CaptureStep s = rules.step(block, at, [this] {
      ++keys_asked;
      if (keys.empty()) return std::int32_t{0};
      const std::int32_t key = keys.front();
      keys.pop_front();
      return key;
    });
    file.append(s.written);
    return s;
  }
  CaptureStep idle(float at) { return bytes("", at); }

  // Passes with nothing received at each deadline, as the capture's waits
  // give them, up to the reading `until` or the end.
  void wait_until(float until) {
    for (int passes = 0; !rules.ended() && rules.next_deadline() <= until; ++passes) {
      ASSERT_LT(passes, 1000) << "the deadline does not move on";
      idle(std::max(clock, rules.next_deadline()));
    }
  }

  CaptureRules rules;
  float clock;
  std::deque<std::int32_t> keys;
  int keys_asked = 0;
  std::string file;
};

TEST(CaptureRules, NoDataForSixtySecondsEndsTheWait) {
  Feed f(ByteRule::as_sent, 0.25f);
  EXPECT_FLOAT_EQ(f.rules.countdown(), 60);
  f.idle(0.25f);
  EXPECT_FLOAT_EQ(f.rules.countdown(), 60);
  // The first step comes with the first new whole second, then one a second.
  EXPECT_FLOAT_EQ(f.rules.next_deadline(), 1.0f);
  for (int second = 1; second <= 60; ++second) {
    f.wait_until(static_cast<float>(second));
    EXPECT_FLOAT_EQ(f.rules.countdown(), static_cast<float>(60 - second)) << second;
  }
  f.wait_until(60.24f);
  EXPECT_FALSE(f.rules.ended());
  f.wait_until(61);
  EXPECT_TRUE(f.rules.ended());
  EXPECT_FLOAT_EQ(f.clock, 60.25f);
  EXPECT_FLOAT_EQ(f.rules.countdown(), 0);
  EXPECT_FALSE(f.rules.data_received());
  EXPECT_EQ(f.file, "");
}

TEST(CaptureRules, CountdownTakesOneStepAPassAndCatchesUp) {
  Feed f(ByteRule::as_sent, 10.5f);
  const std::vector<std::pair<float, float>> passes = {
      {10.9f, 60}, {11.0f, 59}, {11.2f, 59}, {14.5f, 58}, {14.5f, 57}, {14.5f, 56}, {14.5f, 56}};
  for (const auto& [at, countdown] : passes) {
    const CaptureStep s = f.idle(at);
    EXPECT_TRUE(s.countdown);
    EXPECT_FLOAT_EQ(f.rules.countdown(), countdown) << at;
  }
}

TEST(CaptureRules, LineFeedsAloneAreNoDataInPatsPlus) {
  Feed f(ByteRule::pats_plus, 0.25f);
  const CaptureStep s = f.bytes(std::string(50, '\n'), 1.0f);
  EXPECT_EQ(s.taken, 50u);
  EXPECT_EQ(s.written, "");
  EXPECT_FALSE(s.count);
  EXPECT_FALSE(f.rules.data_received());
  f.wait_until(61);
  EXPECT_TRUE(f.rules.ended());
  EXPECT_FLOAT_EQ(f.clock, 60.25f);
  EXPECT_EQ(f.file, "");

  // Kept as sent, the same bytes are data.
  Feed kept(ByteRule::as_sent, 0.25f);
  kept.bytes(std::string(50, '\n'), 1.0f);
  EXPECT_TRUE(kept.rules.data_received());
  EXPECT_EQ(kept.file, std::string(50, '\n'));
}

TEST(CaptureRules, SilenceAfterTheLastByteWrittenEndsTheCapture) {
  struct Case {
    const char* name;
    ByteRule rule;
    std::vector<std::pair<std::string, float>> blocks;  // received, and when
    float later;           // the next pass
    std::string arriving;  // received at that pass
    bool ended;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"four seconds go on", ByteRule::as_sent, {{"abc", 10}}, 14, "", false, "abc"},
      {"just under five go on", ByteRule::as_sent, {{"abc", 10}}, 14.99f, "", false, "abc"},
      {"five seconds end", ByteRule::as_sent, {{"abc", 10}}, 15, "", true, "abc"},
      {"six seconds end", ByteRule::as_sent, {{"abc", 10}}, 16, "", true, "abc"},
      {"from the last byte", ByteRule::as_sent, {{"abc", 10}, {"d", 13}}, 17.9f, "", false,
       "abcd"},
      {"from the last byte, five", ByteRule::as_sent, {{"abc", 10}, {"d", 13}}, 18, "", true,
       "abcd"},
      {"a dropped line feed is no byte", ByteRule::pats_plus, {{"abc", 10}, {"\n", 13}}, 15, "",
       true, "abc"},
      {"a kept line feed is", ByteRule::summary, {{"abc", 10}, {"\n", 13}}, 15, "", false,
       "abc\n"},
      // A pass writes its byte before it looks at the clock.
      {"a byte taken as the silence ran out", ByteRule::as_sent, {{"abc", 10}}, 15.5f, "more",
       false, "abcmore"},
      {"a dropped byte taken as it ran out", ByteRule::pats_plus, {{"abc", 10}}, 15.5f, "\nmore",
       true, "abc"},
  };
  for (const Case& c : cases) {
    Feed f(c.rule, 0.25f);
    for (const auto& [block, at] : c.blocks) {
      f.bytes(block, at);
      f.idle(at);  // the pass after the first byte draws the reading screen
    }
    ASSERT_TRUE(f.rules.reading_screen_shown()) << c.name;
    f.bytes(c.arriving, c.later);
    EXPECT_EQ(f.rules.ended(), c.ended) << c.name;
    EXPECT_EQ(f.file, c.written) << c.name;
  }
}

TEST(CaptureRules, AFirstByteJustBeforeSixtySecondsIsTaken) {
  Feed f(ByteRule::as_sent, 0.25f);
  f.wait_until(59.25f);
  f.bytes("x", 59.25f);
  f.idle(59.3f);
  f.idle(64.0f);  // 60 s after the wait began, under 5 s after the byte
  EXPECT_FALSE(f.rules.ended());
  EXPECT_FLOAT_EQ(f.rules.next_deadline(), 64.25f);
  f.wait_until(70);
  EXPECT_TRUE(f.rules.ended());
  EXPECT_FLOAT_EQ(f.clock, 64.25f);
  EXPECT_EQ(f.file, "x");
}

TEST(CaptureRules, EscapeEndsOnlyTheWaitBeforeTheFirstByte) {
  struct Case {
    const char* name;
    ByteRule rule;
    std::deque<std::int32_t> keys;
    std::string block;  // received at the second pass
    bool ended;
    int keys_asked;     // over both passes
    std::size_t taken;
  };
  const std::vector<Case> cases = {
      {"Escape at once", ByteRule::as_sent, {escape}, "", true, 1, 0},
      {"one key a pass", ByteRule::as_sent, {'x', -'x', escape}, "", false, 2, 0},
      {"a release is no Escape", ByteRule::as_sent, {-escape, 'x'}, "", false, 2, 0},
      {"after the first byte", ByteRule::as_sent, {0, escape}, "abc", false, 1, 3},
      // Each dropped line feed is a pass of the wait: it reads one key.
      {"among dropped line feeds", ByteRule::pats_plus, {0, 'x', escape}, "\n\n\nabc", true, 3, 2},
      // So is each byte of line noise.
      {"among line noise", ByteRule::as_sent, {0, 'x', escape}, std::string("\0\xff\0abc", 6),
       true, 3, 2},
  };
  for (const Case& c : cases) {
    Feed f(c.rule, 0.25f);
    f.keys = c.keys;
    f.idle(0.5f);
    if (!f.rules.ended()) {
      const CaptureStep s = f.bytes(c.block, 0.6f);
      EXPECT_EQ(s.taken, c.taken) << c.name;
    }
    EXPECT_EQ(f.rules.ended(), c.ended) << c.name;
    EXPECT_EQ(f.keys_asked, c.keys_asked) << c.name;
  }

  // Once data came, keys are never read again.
  Feed f(ByteRule::as_sent, 0.25f);
  f.bytes("a", 1);
  f.keys = {escape};
  f.idle(1.5f);
  f.bytes("b", 2);
  EXPECT_FALSE(f.rules.ended());
  EXPECT_EQ(f.keys_asked, 0);
}

TEST(CaptureRules, RecordCountForEachByteRule) {
  struct Case {
    const char* name;
    ByteRule rule;
    std::string bytes;
    int whole;  // the count shown
    std::string written;
  };
  const std::string crlf3 = "a\r\nb\r\nc\r\n";
  const std::vector<Case> cases = {
      {"summary, 3 carriage returns", ByteRule::summary, crlf3, 0, crlf3},
      // 3 x 0.3333 falls short of one record.
      {"summary, 4", ByteRule::summary, crlf3 + "d\r\n", 1, crlf3 + "d\r\n"},
      {"summary, 6", ByteRule::summary, crlf3 + crlf3, 1, crlf3 + crlf3},
      {"summary, 7", ByteRule::summary, crlf3 + crlf3 + "\r", 2, crlf3 + crlf3 + "\r"},
      {"summary, commas", ByteRule::summary, std::string(14, ','), 0, std::string(14, ',')},
      {"PATS+, 13 commas", ByteRule::pats_plus, std::string(13, ','), 0, std::string(13, ',')},
      {"PATS+, 14 commas", ByteRule::pats_plus, std::string(14, ','), 1, std::string(14, ',')},
      {"PATS+, 28 commas", ByteRule::pats_plus, std::string(28, ','), 2, std::string(28, ',')},
      {"PATS+, line ends", ByteRule::pats_plus, "x\r\n" + std::string(13, ','), 1,
       "x," + std::string(13, ',')},
      {"PATS+, carriage returns", ByteRule::pats_plus, std::string(14, '\r'), 1,
       std::string(14, ',')},
      {"PATS+, plus signs", ByteRule::pats_plus, "++++", 1, "++++"},
      {"as sent, plus signs", ByteRule::as_sent, "a+b+c+d+", 1, "a+b+c+d+"},
      {"as sent, 3 plus signs", ByteRule::as_sent, "+++", 0, "+++"},
      {"as sent, line ends", ByteRule::as_sent, crlf3 + crlf3 + std::string(14, ','), 0,
       crlf3 + crlf3 + std::string(14, ',')},
  };
  for (const Case& c : cases) {
    Feed f(c.rule, 0.25f);
    f.bytes(c.bytes, 1);
    EXPECT_EQ(std::floor(f.rules.record_count()), c.whole) << c.name;
    EXPECT_EQ(f.file, c.written) << c.name;
  }
}

TEST(CaptureRules, ClosingTextInAnyCaseEndsTheCaptureAfterItsLastByte) {
  struct Case {
    const char* name;
    ByteRule rule;
    std::string sent;
    bool ends;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"small letters", ByteRule::as_sent, "abc\r\nend of data\r\nmore", true,
       "abc\r\nend of data"},
      {"mixed case", ByteRule::summary, "abc\r\nEnd Of DATA\r\nmore", true,
       "abc\r\nEnd Of DATA"},
      {"capitals", ByteRule::pats_plus, "abc\r\nEND OF DATA\r\n", true, "abc,END OF DATA"},
      {"alone", ByteRule::as_sent, "end of data", true, "end of data"},
      {"a dropped line feed inside", ByteRule::pats_plus, "end of \ndata!", true, "end of data"},
      {"a kept line feed inside", ByteRule::as_sent, "end of \ndata!", false, "end of \ndata!"},
      {"a carriage return made a comma", ByteRule::pats_plus, "end\rof data", false,
       "end,of data"},
      {"another last letter", ByteRule::as_sent, "end of date", false, "end of date"},
      {"two blanks", ByteRule::as_sent, "end  of data", false, "end  of data"},
  };
  for (const Case& c : cases) {
    // Whole, and split into two blocks at every place.
    for (std::size_t split = 0; split <= c.sent.size(); ++split) {
      Feed f(c.rule, 0.25f);
      f.bytes(c.sent.substr(0, split), 1);
      if (!f.rules.ended()) f.bytes(c.sent.substr(split), 1);
      const std::string where = std::string(c.name) + ", split at " + std::to_string(split);
      EXPECT_EQ(f.rules.ended(), c.ends) << where;
      EXPECT_EQ(f.file, c.written) << where;
    }
  }
}

TEST(CaptureRules, StepsSayWhatTheScreenShows) {
  struct Case {
    const char* name;
    ByteRule rule;
    std::string first;   // the first block after a pass of the wait
    bool countdown;      // the first block's step
    bool reading_screen;
    bool count;
    bool screen_next;    // the reading screen at the pass after it
  };
  const std::vector<Case> cases = {
      {"one byte", ByteRule::as_sent, "a", false, false, true, true},
      {"two bytes", ByteRule::as_sent, "ab", false, true, true, false},
      {"a byte, then a dropped one", ByteRule::pats_plus, "a\n", false, true, false, false},
      {"dropped bytes first", ByteRule::pats_plus, "\n\na", true, false, true, true},
      {"only dropped bytes", ByteRule::pats_plus, "\n", true, false, false, false},
      {"line noise first", ByteRule::as_sent, std::string("\0\xff" "a", 3), true, false, true,
       true},
      {"only line noise", ByteRule::as_sent, std::string("\xff\0", 2), true, false, false, false},
  };
  for (const Case& c : cases) {
    Feed f(c.rule, 0.25f);
    EXPECT_TRUE(f.idle(0.5f).countdown) << c.name;
    const CaptureStep s = f.bytes(c.first, 0.6f);
    EXPECT_EQ(s.countdown, c.countdown) << c.name;
    EXPECT_EQ(s.reading_screen, c.reading_screen) << c.name;
    EXPECT_EQ(s.count, c.count) << c.name;
    const CaptureStep next = f.idle(0.7f);
    EXPECT_EQ(next.reading_screen, c.screen_next) << c.name;
    EXPECT_FALSE(next.count) << c.name;
  }
}

TEST(CaptureRules, LineNoiseBeforeAnyOtherByteIsNotWritten) {
  struct Case {
    const char* name;
    ByteRule rule;
    std::string received;
    std::string written;
  };
  using namespace std::string_literals;
  const std::vector<Case> cases = {
      {"a zero", ByteRule::as_sent, "\0"s, ""},
      {"zeros and 255s", ByteRule::as_sent, "\xff\0\xff\0"s, ""},
      {"then data", ByteRule::as_sent, "\0\xff" "abc"s, "abc"},
      {"inside data", ByteRule::as_sent, "\0a\0\xff" "b\xff"s, "a\0\xff" "b\xff"s},
      {"other low and high bytes", ByteRule::as_sent, "\x01\0\xfe"s, "\x01\0\xfe"s},
      {"before a carriage return made a comma", ByteRule::pats_plus, "\xff\r\n\0"s, ",\0"s},
      // The line feed is dropped, but it came: the zero after it is data.
      {"after a dropped line feed", ByteRule::pats_plus, "\0\n\0"s, "\0"s},
      {"summary", ByteRule::summary, "\0\xff\r\n\0"s, "\r\n\0"s},
  };
  for (const Case& c : cases) {
    // Whole, and one byte a step.
    for (const bool single : {false, true}) {
      const std::string where = std::string(c.name) + (single ? ", one at a time" : "");
      Feed f(c.rule, 0.25f);
      if (single) {
        for (char b : c.received) f.bytes(std::string(1, b), 1);
      } else {
        EXPECT_EQ(f.bytes(c.received, 1).taken, c.received.size()) << where;
      }
      EXPECT_EQ(f.file, c.written) << where;
      EXPECT_EQ(f.rules.data_received(), !c.written.empty()) << where;
    }
  }
}

// Noise in the wait leaves the countdown, the keys, the minute and the
// deadlines exactly as passes with nothing received would.
TEST(CaptureRules, LineNoiseLeavesTheWaitAsIfNothingCame) {
  using namespace std::string_literals;
  Feed noise(ByteRule::as_sent, 0.25f);
  Feed quiet(ByteRule::as_sent, 0.25f);
  noise.keys = quiet.keys = {'x', -'x', 'y', -'y'};
  const std::vector<std::pair<std::string, float>> passes = {
      {"\0"s, 1.25f}, {"\xff"s, 1.3f}, {"\xff\0\xff"s, 7.0f}, {"\0"s, 59.0f}, {"\0"s, 60.2f}};
  for (const auto& [bytes, at] : passes) {
    noise.wait_until(at);
    quiet.wait_until(at);
    const CaptureStep n = noise.bytes(bytes, at);
    CaptureStep q;
    for (std::size_t i = 0; i < bytes.size(); ++i) q = quiet.idle(at);
    EXPECT_EQ(n.taken, bytes.size()) << at;
    EXPECT_TRUE(n.written.empty()) << at;
    EXPECT_FALSE(n.count) << at;
    EXPECT_FALSE(n.reading_screen) << at;
    EXPECT_EQ(n.countdown, q.countdown) << at;
    EXPECT_FLOAT_EQ(noise.rules.countdown(), quiet.rules.countdown()) << at;
    EXPECT_FLOAT_EQ(noise.rules.next_deadline(), quiet.rules.next_deadline()) << at;
    EXPECT_EQ(noise.keys_asked, quiet.keys_asked) << at;
    EXPECT_FALSE(noise.rules.ended()) << at;
  }
  // The minute from the start of the wait, not from the last noise.
  noise.wait_until(61);
  EXPECT_TRUE(noise.rules.ended());
  EXPECT_FLOAT_EQ(noise.clock, 60.25f);
  EXPECT_FLOAT_EQ(noise.rules.countdown(), 0);
  EXPECT_FALSE(noise.rules.data_received());
  EXPECT_EQ(noise.file, "");
}

// A stray byte a second into the wait, the download eight seconds later:
// the silence is timed from the download's bytes only.
TEST(CaptureRules, ADownloadAfterLineNoiseIsTakenWhole) {
  using namespace std::string_literals;
  for (const std::string& stray : {"\0"s, "\xff"s}) {
    Feed f(ByteRule::as_sent, 0.25f);
    f.bytes(stray, 1.25f);
    f.wait_until(9.25f);
    EXPECT_FALSE(f.rules.ended());
    EXPECT_FALSE(f.rules.reading_screen_shown());
    EXPECT_FLOAT_EQ(f.rules.countdown(), 51);
    f.bytes("first", 9.25f);
    EXPECT_TRUE(f.rules.reading_screen_shown());
    f.bytes("\0 then\xff"s, 12);
    f.wait_until(16.9f);
    EXPECT_FALSE(f.rules.ended());
    f.wait_until(18);
    EXPECT_TRUE(f.rules.ended());
    EXPECT_FLOAT_EQ(f.clock, 17);
    EXPECT_EQ(f.file, "first\0 then\xff"s);
  }
}

// The same bytes, readings and keys, in blocks of every size and one at a
// time, give the same file, count, end and screens.
TEST(CaptureRules, BlocksActAsTheirBytesOneAtATime) {
  // What arrives, and when: a silence of 5.5 s before the line feed.
  const std::vector<std::pair<std::string, float>> parts = {
      {std::string("\xff\0\xff", 3), 0.3f},
      {"\n\nA,1\r\n", 0.5f},
      {std::string("B,+2\r\n\0\xff\nx+y\r\n", 14), 1.5f},
      {std::string(40, ','), 2.0f},
      {"\nmore,", 7.5f},
      {"\r\nEnd OF data\r\nafter", 8.0f},
  };
  std::size_t longest = 0;
  for (const auto& [part, at] : parts) longest = std::max(longest, part.size());
  for (ByteRule rule : {ByteRule::as_sent, ByteRule::pats_plus, ByteRule::summary}) {
    for (std::size_t size = 1; size <= longest; ++size) {
      const std::string where = "rule " + std::to_string(static_cast<int>(rule)) +
                                ", blocks of " + std::to_string(size);
      Feed one(rule, 0.25f);
      Feed block(rule, 0.25f);
      one.keys = block.keys = {'k', -'k', 'j'};
      for (const auto& [part, at] : parts) {
        bool one_screen = false, block_screen = false;
        for (std::size_t i = 0; i < part.size() && !one.rules.ended(); ++i)
          one_screen |= one.bytes(part.substr(i, 1), at).reading_screen;
        for (std::size_t i = 0; i < part.size() && !block.rules.ended(); i += size)
          block_screen |= block.bytes(part.substr(i, size), at).reading_screen;
        EXPECT_EQ(block_screen, one_screen) << where;
      }
      EXPECT_EQ(block.file, one.file) << where;
      EXPECT_EQ(block.rules.record_count(), one.rules.record_count()) << where;
      EXPECT_EQ(block.rules.ended(), one.rules.ended()) << where;
      EXPECT_EQ(block.rules.data_received(), one.rules.data_received()) << where;
      EXPECT_EQ(block.rules.countdown(), one.rules.countdown()) << where;
      EXPECT_EQ(block.keys_asked, one.keys_asked) << where;
    }
  }
}

}  // namespace
}  // namespace pat
