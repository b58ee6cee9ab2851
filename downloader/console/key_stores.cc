#include "downloader/console/key_stores.h"

namespace pat {

bool TypedKeyBuffer::push(TypedKey key) {
  int next = (write_ + 1) % slots;
  if (next == read_) return false;
  keys_[static_cast<std::size_t>(write_)] = key;
  write_ = next;
  return true;
}

bool TypedKeyBuffer::pop(TypedKey& key) {
  if (empty()) return false;
  key = keys_[static_cast<std::size_t>(read_)];
  read_ = (read_ + 1) % slots;
  return true;
}

void KeyEventQueue::push(std::int32_t code, bool keypad) {
  int next = (write_ + 1) % slots;
  if (next == read_) read_ = (read_ + 1) % slots;
  entries_[static_cast<std::size_t>(write_)] = Entry{code, keypad};
  write_ = next;
}

std::int32_t KeyEventQueue::pop() {
  if (empty()) return 0;
  std::int32_t code = entries_[static_cast<std::size_t>(read_)].code;
  read_ = (read_ + 1) % slots;
  return code;
}

}  // namespace pat
