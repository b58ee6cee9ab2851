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

bool TypedKeys::push(TypedKey key) {
  if (held_.empty() && buffer_.push(key)) return true;
  if (held_.size() >= hold_limit) return false;
  held_.push_back(key);
  return true;
}

bool TypedKeys::pop(TypedKey& key) {
  if (!buffer_.pop(key)) return false;
  while (!held_.empty() && buffer_.push(held_.front())) held_.pop_front();
  return true;
}

void TypedKeys::discard() {
  buffer_.clear();
  held_.clear();
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
