#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "downloader/console/box_layout.h"

// The modal box a backend shows over the screen: the program's thread puts
// it up and waits; the backend's thread draws it and answers it from a key,
// or with N when the run must end or the backend stops.

namespace pat {

class ModalBox {
 public:
  using Content = BoxContent;

  // The backend's thread runs: boxes will be answered from now on.
  void open();
  // It stops: the box standing is answered N, and later boxes too at once.
  void close();

  // From the program's thread: shows the box and waits for its answer.
  // wake is called once the box stands, to tell the backend's thread.
  bool show(Content content, const std::function<void()>& wake);

  // From the backend's thread. A standing box takes every key: Y or N
  // answers a yes/no box, Enter a message. False when no box stands.
  bool take_key(int character);
  // Answers the standing box, if any.
  void answer(bool yes);

  // The standing box, for drawing; a copy.
  std::optional<Content> standing() const;
  // The same, with the generation it belongs to.
  std::optional<Content> standing(std::uint64_t& generation) const;
  // Grows whenever a box comes or goes.
  std::uint64_t generation() const { return generation_.load(); }

 private:
  struct Waiting {
    Content content;
    bool answered = false;
    bool answer = false;
  };
  void answer_locked(bool yes);

  mutable std::mutex mutex_;
  std::condition_variable answered_;
  Waiting* box_ = nullptr;  // the box waiting for its answer
  bool open_ = false;
  std::atomic<std::uint64_t> generation_{0};
};

}  // namespace pat
