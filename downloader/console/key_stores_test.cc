#include "downloader/console/key_stores.h"

#include <gtest/gtest.h>

#include <string>
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

std::string take_all(TypedKeys& keys) {
  std::string taken;
  TypedKey key;
  while (keys.pop(key)) taken.push_back(static_cast<char>(key.character));
  return taken;
}

void push_all(TypedKeys& keys, const std::string& chars) {
  for (char c : chars) ASSERT_TRUE(keys.push(TypedKey{static_cast<std::uint8_t>(c), 0})) << c;
}

// A pasted name longer than the buffer, with its Enter, comes out whole.
TEST(TypedKeys, KeysBeyondTheBufferAreHeldInOrder) {
  const std::string pasted = "north-workshop-store-room-may-2019\r";
  TypedKeys keys;
  push_all(keys, pasted);
  EXPECT_FALSE(keys.empty());
  EXPECT_EQ(keys.held(), pasted.size() - 15);
  EXPECT_EQ(take_all(keys), pasted);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(keys.held(), 0u);
}

// A freed slot goes to the oldest held key, never to a key typed later.
TEST(TypedKeys, HeldKeysMoveInAsRoomFreesUp) {
  TypedKeys keys;
  push_all(keys, "abcdefghijklmnopqrst");
  TypedKey key;
  ASSERT_TRUE(keys.pop(key));
  EXPECT_EQ(key.character, 'a');
  EXPECT_EQ(keys.held(), 4u);
  push_all(keys, "u");
  EXPECT_EQ(keys.held(), 5u);
  for (char expected : std::string("bcdefg")) {
    ASSERT_TRUE(keys.pop(key));
    EXPECT_EQ(key.character, expected);
  }
  EXPECT_EQ(keys.held(), 0u);
  push_all(keys, "v");  // room again: straight into the buffer
  EXPECT_EQ(keys.held(), 0u);
  EXPECT_EQ(take_all(keys), "hijklmnopqrstuv");
}

TEST(TypedKeys, DiscardEmptiesTheBufferAndTheHeldKeys) {
  TypedKeys keys;
  push_all(keys, std::string(40, 'x'));
  keys.discard();
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(keys.held(), 0u);
  EXPECT_EQ(take_all(keys), "");
  push_all(keys, "y");
  EXPECT_EQ(take_all(keys), "y");
}

TEST(TypedKeys, OnlyAKeyBeyondTheHoldLimitIsDropped) {
  TypedKeys keys;
  for (std::size_t i = 0; i < 15 + TypedKeys::hold_limit; ++i) {
    ASSERT_TRUE(keys.push(TypedKey{static_cast<std::uint8_t>(i % 251), 0})) << i;
  }
  EXPECT_FALSE(keys.push(TypedKey{'z', 0}));
  TypedKey key;
  std::size_t taken = 0;
  while (keys.pop(key)) {
    EXPECT_EQ(key.character, taken % 251) << taken;
    ++taken;
  }
  EXPECT_EQ(taken, 15 + TypedKeys::hold_limit);
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
