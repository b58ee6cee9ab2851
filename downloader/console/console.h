#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "downloader/console/key_stores.h"
#include "downloader/console/text_screen.h"
#include "downloader/console/wake_pipe.h"
#include "downloader/text/text.h"

// The console: the one screen and the two key stores, shared between the
// program's thread and a backend that shows the screen and delivers keys.

namespace pat {

class Console;

class ConsoleBackend {
 public:
  virtual ~ConsoleBackend() = default;
  // Called once the console exists: start showing it and taking keys.
  virtual void attach(Console& console) = 0;
  // Stop servicing and give the terminal or window back.
  virtual void detach() = 0;
  // Called from the program's thread on every poll and wait.
  virtual void idle() {}
  // Waits about ms milliseconds (scripted backends need not really wait).
  virtual void sleep_ms(int ms);
  // From any thread: something the backend shows or acts on changed. The
  // screen: once for a batch of changes, not again until the backend's next
  // snapshot. The end request: once. A backend whose thread sleeps until
  // there is work wakes it here.
  virtual void wake() {}
  // Whether keys arrive on their own, from a thread of the backend. A
  // backend whose keys come only in idle (a script) says no: a wait for a
  // key then returns after one idle instead of blocking.
  virtual bool keys_arrive_unasked() const { return true; }
  // A modal box answered with Y (true) or N (false).
  virtual bool ask_yes_no(std::string_view caption, std::string_view text) = 0;
  // A modal box that only informs.
  virtual void show_message(std::string_view caption, std::string_view text) = 0;
};

class Console {
 public:
  explicit Console(ConsoleBackend& backend);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Screen set-up and output, with the rules of TextScreen.
  void screen_statement(int mode);
  void width_statement(int columns);
  void set_palette_colour(int number, std::uint32_t colour);
  void colour_statement(int foreground, int background);
  void clear_screen();
  void locate_cursor(int row, int column);
  void print_to_screen(std::string_view text, bool line_end);
  // The print's own steps: the program takes them through print_line and
  // print_text, tests one at a time.
  void print_fit_check(std::string_view text);
  void new_line();
  void set_scroll_region(int top, int bottom);

  // "Printed with a line end": fit check, the text, a line end.
  void print_line(std::string_view text);
  // "Printed without a line end": fit check and the text.
  void print_text(std::string_view text);
  // An empty line.
  void print_empty_line();
  // The display form of the value and one blank, as one piece.
  void print_number(float value, bool line_end);

  void set_cursor_visible(bool visible);

  // The keyboard. None waits.
  Text read_typed_key();
  std::int32_t next_key_hit();
  // Empties the typed-key buffer and the keys held back for it.
  void discard_typed_keys();

  // The line entry's snapshot: the whole screen as it stands.
  TextScreen screen_copy() const;
  void restore_screen(const TextScreen& saved);

  // Waits about ms milliseconds; ends the run at once on the end request.
  // The program waits for keys instead; tests wait here to let a scripted
  // backend take its next step.
  void wait_ms(int ms);
  // Waits until a typed key waits to be read or ms milliseconds have passed
  // (no limit when negative), without waking meanwhile; ends the run at
  // once on the end request, which also cuts the wait short.
  void wait_for_typed_key(int ms = -1);
  // Ends the run (throws ProgramExit) when the end request has come. Inline:
  // a conversion asks once a line.
  void check_end_request() {
    if (end_request_.load(std::memory_order_relaxed)) end_run();
  }
  bool end_requested() const { return end_request_.load(); }

  // Modal boxes of the run frame.
  bool ask_yes_no(std::string_view caption, std::string_view text);
  void show_message(std::string_view caption, std::string_view text);

  // From the backend (any thread).
  void key_press(std::int32_t code, TypedKey typed, bool has_typed, bool keypad = false);
  void key_release(std::int32_t code);
  // Not from a signal handler: it takes the console's lock.
  void request_end();

  // A descriptor that becomes readable when a key event or the end request
  // comes, for waiting on it beside others (a port, say); whoever waits
  // reads it empty. -1 when there is none: then wait with a time-out.
  int wake_fd() const { return key_wake_.fd(); }

  // For backends drawing the screen: a copy and a counter that grows with
  // every change. The copy lets the next change wake the backend.
  std::uint64_t generation() const { return generation_.load(); }
  TextScreen snapshot() const;

  // Direct access for tests; the program's thread only.
  const TextScreen& screen() const { return screen_; }

  // Whether a typed key waits to be read (any thread): a backend whose keys
  // come only when asked holds the next one back until it is read.
  bool typed_keys_waiting() const;
  // Whether a key event waits to be taken (any thread).
  bool key_events_waiting() const;

 private:
  void changed();
  void wake();
  void bell();
  void print_piece(std::string_view text, bool line_end);
  [[noreturn]] static void end_run();

  // The lock of the print in progress, let go during a bell's pause so that
  // the backend keeps drawing and taking keys.
  std::unique_lock<std::mutex>* print_lock_ = nullptr;

  ConsoleBackend& backend_;
  mutable std::mutex mutex_;
  TextScreen screen_;
  TypedKeys typed_;
  KeyEventQueue events_;
  std::atomic<bool> end_request_{false};
  std::atomic<std::uint64_t> generation_{0};
  // Set once a change is told to the backend, cleared by its next snapshot.
  mutable std::atomic<bool> change_told_{false};
  // Woken by every key and by the end request.
  std::condition_variable key_arrived_;
  // Written by every key event and by the end request.
  WakePipe key_wake_;
};

}  // namespace pat
