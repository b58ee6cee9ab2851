#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

// The console's two key stores. Callers guard them; they hold no lock.

namespace pat {

struct TypedKey {
  std::uint8_t character = 0;
  std::uint8_t scan = 0;
};

// Keys typed, for the line entry and the end routine: 16 slots, 15 keys;
// a key typed while 15 wait is dropped.
class TypedKeyBuffer {
 public:
  static constexpr int slots = 16;
  bool push(TypedKey key);  // false when dropped
  bool pop(TypedKey& key);  // false when empty
  bool empty() const { return read_ == write_; }
  void clear() { read_ = write_ = 0; }

 private:
  std::array<TypedKey, slots> keys_{};
  int read_ = 0;
  int write_ = 0;
};

// The typed-key buffer together with the keys held back for it. A backend
// reads every key as it comes, but a pasted name is longer than the buffer:
// what does not fit waits here, in order, and moves into the buffer as it
// frees up, so no typed key is lost while an entry reads them.
class TypedKeys {
 public:
  // Beyond this many held keys (far more than any entry reads) a key is
  // dropped after all, so a key held down for an hour costs no memory.
  static constexpr std::size_t hold_limit = 8191;

  bool push(TypedKey key);  // false when dropped
  bool pop(TypedKey& key);  // false when empty
  // Whether a key waits in the buffer; a key is only held while it is full.
  bool empty() const { return buffer_.empty(); }
  // The keys held back, for tests: the program only pushes and pops.
  std::size_t held() const { return held_.size(); }
  // Both the buffer and the held keys.
  void discard();

 private:
  TypedKeyBuffer buffer_;
  std::deque<TypedKey> held_;
};

// Every key press (code) and release (negated code) since the start:
// 8192 entries, 8191 waiting; a full queue drops its oldest entry.
class KeyEventQueue {
 public:
  static constexpr int slots = 8192;
  void push(std::int32_t code, bool keypad = false);
  std::int32_t pop();  // 0 when empty
  bool empty() const { return read_ == write_; }
  int size() const { return (write_ - read_ + slots) % slots; }
  void clear() { read_ = write_ = 0; }

 private:
  struct Entry {
    std::int32_t code = 0;
    bool keypad = false;
  };
  std::array<Entry, slots> entries_{};
  int read_ = 0;
  int write_ = 0;
};

// Key codes of the event queue for keys without a character.
namespace key {
constexpr std::int32_t escape = 27;
constexpr std::int32_t enter = 13;
constexpr std::int32_t backspace = 8;
constexpr std::int32_t tab = 9;
constexpr std::int32_t up = 18432;
constexpr std::int32_t down = 20480;
constexpr std::int32_t left = 19200;
constexpr std::int32_t right = 19712;
constexpr std::int32_t home = 18176;
constexpr std::int32_t end = 20224;
constexpr std::int32_t page_up = 18688;
constexpr std::int32_t page_down = 20736;
constexpr std::int32_t insert = 20992;
constexpr std::int32_t del = 21248;
constexpr std::int32_t f1 = 15104;  // F1..F10: 15104 + 256 * (n - 1)
constexpr std::int32_t left_shift = 100304;
constexpr std::int32_t right_shift = 100303;
constexpr std::int32_t left_ctrl = 100306;
constexpr std::int32_t right_ctrl = 100305;
constexpr std::int32_t left_alt = 100308;
constexpr std::int32_t right_alt = 100307;
constexpr std::int32_t caps_lock = 100301;
constexpr std::int32_t num_lock = 100300;
}  // namespace key

}  // namespace pat
