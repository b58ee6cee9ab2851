#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <thread>

#include "downloader/console/console.h"
#include "downloader/console/end_signals.h"
#include "downloader/console/modal_box.h"
#include "downloader/console/terminal_keys.h"
#include "downloader/console/wake_pipe.h"

// Shows the console in the controlling terminal (/dev/tty, ncursesw) and
// takes its keys, on a thread of its own, whatever standard input and output
// are. Ctrl+C, a hang-up, SIGTERM and the other signals that would end the
// process are the console's end request; the terminal is given back on
// every way out, fault signals included. A terminal smaller than the screen
// shows the rows around the cursor.

namespace pat {

class TerminalBackend : public ConsoleBackend {
 public:
  TerminalBackend();
  ~TerminalBackend() override;
  TerminalBackend(const TerminalBackend&) = delete;
  TerminalBackend& operator=(const TerminalBackend&) = delete;

  // Throws std::runtime_error when there is no controlling terminal or it
  // cannot be taken over.
  void attach(Console& console) override;
  void detach() override;
  void idle() override;
  void wake() override;
  bool ask_yes_no(std::string_view caption, std::string_view text) override;
  void show_message(std::string_view caption, std::string_view text) override;

 private:
  bool show_box(ModalBox::Content content);
  void run();
  void take_key(bool function_key, std::uint32_t value);
  void take(const TerminalKey& key);
  void draw();
  void draw_box(const ModalBox::Content& box, int shown_rows, int shown_columns);
  void close_terminal();

  Console* console_ = nullptr;
  std::FILE* terminal_ = nullptr;  // /dev/tty, the screen's bytes
  // /dev/tty again, without blocking, for the keys: another program reading
  // the same terminal may take a byte between poll and read.
  std::FILE* input_ = nullptr;
  void* screen_ = nullptr;         // the curses SCREEN
  std::thread thread_;
  std::atomic<bool> stop_{false};
  WakePipe wake_;
  std::optional<EndSignals> end_signals_;
  bool input_open_ = true;
  bool full_redraw_ = true;
  int colour_pair_ = 0;
  int cursor_shown_ = -1;  // what curs_set last asked for, -1 before the first draw
  int drawn_columns_ = 0;
  ModalBox box_;
};

}  // namespace pat
