#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "downloader/console/console.h"
#include "downloader/console/terminal_keys.h"

// Shows the console in the terminal it runs in (ncursesw) and takes the
// terminal's keys, on a thread of its own. Ctrl+C, a hang-up and SIGTERM are
// the console's end request; the terminal is given back on every way out.
// A terminal smaller than the screen shows the rows around the cursor.

namespace pat {

class TerminalBackend : public ConsoleBackend {
 public:
  TerminalBackend();
  ~TerminalBackend() override;
  TerminalBackend(const TerminalBackend&) = delete;
  TerminalBackend& operator=(const TerminalBackend&) = delete;

  // Throws std::runtime_error when the terminal cannot be taken over.
  void attach(Console& console) override;
  void detach() override;
  void idle() override;
  bool ask_yes_no(std::string_view caption, std::string_view text) override;
  void show_message(std::string_view caption, std::string_view text) override;

 private:
  struct Box {
    std::string caption;
    std::string text;
    bool yes_no = false;
    bool answered = false;
    bool answer = false;
  };

  bool show_box(Box& box);
  void run();
  void read_keys();
  void take_key(bool function_key, std::uint32_t value);
  void take(const TerminalKey& key);
  void answer_box(bool answer);
  void draw();
  void draw_box(const Box& box, int shown_rows, int shown_columns);
  void wake();

  Console* console_ = nullptr;
  void* screen_ = nullptr;  // the curses SCREEN
  std::thread thread_;
  std::atomic<bool> stop_{false};
  int wake_pipe_[2] = {-1, -1};
  bool input_open_ = true;
  bool full_redraw_ = true;
  int colour_pair_ = 0;
  int cursor_shown_ = -1;  // what curs_set last asked for, -1 before the first draw
  int drawn_columns_ = 0;

  std::mutex box_mutex_;
  std::condition_variable box_done_;
  Box* box_ = nullptr;  // the box waiting for its answer
  bool servicing_ = false;  // the thread runs and will answer boxes
  std::atomic<std::uint64_t> box_generation_{0};
};

}  // namespace pat
