#include "downloader/console/key_stores.h"

#include <gtest/gtest.h>

#include <vector>

namespace pat {
namespace {

TEST(TypedKeyBuffer, HoldsFifteenKeysAndDropsTheNewOnes) {
  TypedKeyBuffer buffer;
  for (int i = 1; i <= 15; ++i) {
    EXPECT_TRUE(buffer.push(TypedKey{static_cast<std::uint8_t>('a' + i), 0})) << i;
  }
  EXPECT_FALSE(buffer.push(TypedKey{'X', 0}));
  EXPECT_FALSE(buffer.push(TypedKey{'Y', 0}));
  TypedKey key;
  for (int i = 1; i <= 15; ++i) {
    ASSERT_TRUE(buffer.pop(key));
    EXPECT_EQ(key.character, 'a' + i);
  }
  EXPECT_FALSE(buffer.pop(key));
  EXPECT_TRUE(buffer.empty());
}

TEST(TypedKeyBuffer, KeepsOrderAcrossTheRingsEnd) {
  TypedKeyBuffer buffer;
  TypedKey key;
  std::uint8_t next_in = 0;
  std::uint8_t next_out = 0;
  for (int round = 0; round < 10; ++round) {
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(buffer.push(TypedKey{0, next_in++}));
    for (int i = 0; i < 7; ++i) {
      ASSERT_TRUE(buffer.pop(key));
      EXPECT_EQ(key.scan, next_out++);
    }
  }
  EXPECT_TRUE(buffer.empty());
  // Once emptied it holds fifteen again wherever the positions stand.
  for (int i = 0; i < 15; ++i) EXPECT_TRUE(buffer.push(TypedKey{1, 0}));
  EXPECT_FALSE(buffer.push(TypedKey{1, 0}));
}

TEST(KeyEventQueue, FullQueueDropsItsOldestEntry) {
  KeyEventQueue queue;
  for (int code = 1; code <= 8191; ++code) queue.push(code);
  EXPECT_EQ(queue.size(), 8191);
  queue.push(8192);
  queue.push(8193);
  EXPECT_EQ(queue.size(), 8191);
  EXPECT_EQ(queue.pop(), 3);
  std::int32_t last = 0;
  int taken = 1;
  while (!queue.empty()) {
    last = queue.pop();
    ++taken;
  }
  EXPECT_EQ(taken, 8191);
  EXPECT_EQ(last, 8193);
  EXPECT_EQ(queue.pop(), 0);
}

TEST(KeyEventQueue, PressesAndReleasesComeOutInOrderThenZero) {
  KeyEventQueue queue;
  queue.push(51);
  queue.push(-51);
  queue.push(27);
  queue.push(-27);
  std::vector<std::int32_t> taken;
  for (int i = 0; i < 5; ++i) taken.push_back(queue.pop());
  EXPECT_EQ(taken, (std::vector<std::int32_t>{51, -51, 27, -27, 0}));
}

TEST(KeyEventQueue, KeypadFlagIsNotPartOfTheCode) {
  KeyEventQueue queue;
  queue.push(13, true);
  queue.push(-13, true);
  EXPECT_EQ(queue.pop(), 13);
  EXPECT_EQ(queue.pop(), -13);
}

}  // namespace
}  // namespace pat
