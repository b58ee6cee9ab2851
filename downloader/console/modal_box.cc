#include "downloader/console/modal_box.h"

#include <utility>

namespace pat {

void ModalBox::open() {
  std::lock_guard lock(mutex_);
  open_ = true;
}

void ModalBox::close() {
  std::lock_guard lock(mutex_);
  open_ = false;
  answer_locked(false);
}

bool ModalBox::show(Content content, const std::function<void()>& wake) {
  Waiting box{std::move(content)};
  std::unique_lock lock(mutex_);
  if (!open_) return false;
  box_ = &box;
  generation_.fetch_add(1);
  if (wake) wake();
  answered_.wait(lock, [&] { return box.answered; });
  return box.answer;
}

bool ModalBox::take_key(int character) {
  std::lock_guard lock(mutex_);
  if (box_ == nullptr) return false;
  if (box_->content.yes_no) {
    if (character == 'y' || character == 'Y') answer_locked(true);
    if (character == 'n' || character == 'N') answer_locked(false);
  } else if (character == 13) {
    answer_locked(true);
  }
  return true;
}

void ModalBox::answer(bool yes) {
  std::lock_guard lock(mutex_);
  answer_locked(yes);
}

void ModalBox::answer_locked(bool yes) {
  if (box_ == nullptr) return;
  box_->answer = yes;
  box_->answered = true;
  box_ = nullptr;
  generation_.fetch_add(1);
  answered_.notify_all();
}

std::optional<ModalBox::Content> ModalBox::standing() const {
  std::uint64_t generation = 0;
  return standing(generation);
}

std::optional<ModalBox::Content> ModalBox::standing(std::uint64_t& generation) const {
  std::lock_guard lock(mutex_);
  generation = generation_.load();
  if (box_ == nullptr) return std::nullopt;
  return box_->content;
}

}  // namespace pat
