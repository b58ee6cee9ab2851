#include "downloader/console/console.h"

#include <chrono>
#include <thread>

#include "downloader/console/number_format.h"
#include "downloader/run_error.h"

namespace pat {

void ConsoleBackend::sleep_ms(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Console::Console(ConsoleBackend& backend) : backend_(backend) {
  screen_.on_bell = [this] { bell(); };
  // Before the backend starts delivering keys. Without a descriptor the keys
  // still arrive; only a wait beside a port has to fall back on a time-out.
  key_wake_.open();
  backend_.attach(*this);
}

Console::~Console() { backend_.detach(); }

void Console::wake() { key_wake_.wake(); }

void Console::changed() {
  generation_.fetch_add(1);
  if (!change_told_.exchange(true)) backend_.wake();
}

TextScreen Console::snapshot() const {
  change_told_.store(false);
  return screen_copy();
}

void Console::bell() {
  // Show what was printed before the pause, and let the backend read the
  // screen meanwhile: only this thread writes it.
  changed();
  if (print_lock_ != nullptr) print_lock_->unlock();
  backend_.sleep_ms(250);
  if (print_lock_ != nullptr) print_lock_->lock();
}

void Console::screen_statement(int mode) {
  std::lock_guard lock(mutex_);
  screen_.screen_statement(mode);
  changed();
}

void Console::width_statement(int columns) {
  std::lock_guard lock(mutex_);
  screen_.width_statement(columns);
  changed();
}

void Console::set_palette_colour(int number, std::uint32_t colour) {
  std::lock_guard lock(mutex_);
  screen_.set_palette_colour(number, colour);
  changed();
}

void Console::colour_statement(int foreground, int background) {
  std::lock_guard lock(mutex_);
  screen_.colour_statement(foreground, background);
  changed();
}

void Console::clear_screen() {
  std::lock_guard lock(mutex_);
  screen_.clear_screen();
  changed();
}

void Console::locate_cursor(int row, int column) {
  std::lock_guard lock(mutex_);
  screen_.locate_cursor(row, column);
  changed();
}

void Console::print_fit_check(std::string_view text) {
  std::lock_guard lock(mutex_);
  screen_.print_fit_check(text);
  changed();
}

void Console::new_line() {
  std::lock_guard lock(mutex_);
  screen_.new_line();
  changed();
}

void Console::set_scroll_region(int top, int bottom) {
  std::lock_guard lock(mutex_);
  screen_.set_scroll_region(top, bottom);
  changed();
}

// A print is a step of the run: the end request stops the run before it.
void Console::print_to_screen(std::string_view text, bool line_end) {
  check_end_request();
  std::unique_lock lock(mutex_);
  print_lock_ = &lock;
  screen_.print_to_screen(text, line_end);
  print_lock_ = nullptr;
  changed();
}

void Console::print_piece(std::string_view text, bool line_end) {
  check_end_request();
  std::unique_lock lock(mutex_);
  print_lock_ = &lock;
  screen_.print_fit_check(text);
  screen_.print_to_screen(text, false);
  if (line_end) screen_.print_to_screen("", true);
  print_lock_ = nullptr;
  changed();
}

void Console::print_line(std::string_view text) { print_piece(text, true); }

void Console::print_text(std::string_view text) { print_piece(text, false); }

void Console::print_empty_line() { print_to_screen("", true); }

void Console::print_number(float value, bool line_end) {
  print_piece(single_to_string(value) + " ", line_end);
}

void Console::set_cursor_visible(bool visible) {
  std::lock_guard lock(mutex_);
  screen_.cursor_visible = visible;
  changed();
}

Text Console::read_typed_key() {
  TypedKey key;
  {
    std::lock_guard lock(mutex_);
    if (!typed_.pop(key)) return Text();
  }
  if (key.character != 0 || key.scan == 0) return Text(1, static_cast<char>(key.character));
  return Text{'\0', static_cast<char>(key.scan)};
}

void Console::discard_typed_keys() {
  std::lock_guard lock(mutex_);
  typed_.discard();
}

std::int32_t Console::next_key_hit() {
  backend_.idle();
  std::lock_guard lock(mutex_);
  return events_.pop();
}

bool Console::typed_keys_waiting() const {
  std::lock_guard lock(mutex_);
  return !typed_.empty();
}

bool Console::key_events_waiting() const {
  std::lock_guard lock(mutex_);
  return !events_.empty();
}

TextScreen Console::screen_copy() const {
  std::lock_guard lock(mutex_);
  return screen_;
}

void Console::restore_screen(const TextScreen& saved) {
  std::lock_guard lock(mutex_);
  auto bell_handler = std::move(screen_.on_bell);
  screen_ = saved;
  screen_.on_bell = std::move(bell_handler);
  changed();
}

void Console::wait_ms(int ms) {
  check_end_request();
  backend_.idle();
  backend_.sleep_ms(ms);
  check_end_request();
}

void Console::wait_for_typed_key(int ms) {
  check_end_request();
  backend_.idle();
  if (backend_.keys_arrive_unasked()) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return !typed_.empty() || end_request_.load(); };
    if (ms < 0) {
      key_arrived_.wait(lock, ready);
    } else {
      key_arrived_.wait_for(lock, std::chrono::milliseconds(ms), ready);
    }
  }
  check_end_request();
}


void Console::end_run() { throw ProgramExit{}; }

bool Console::ask_yes_no(std::string_view caption, std::string_view text) {
  return backend_.ask_yes_no(caption, text);
}

void Console::show_message(std::string_view caption, std::string_view text) {
  backend_.show_message(caption, text);
}

void Console::key_press(std::int32_t code, TypedKey typed, bool has_typed, bool keypad) {
  {
    std::lock_guard lock(mutex_);
    events_.push(code, keypad);
    if (has_typed) typed_.push(typed);
  }
  wake();
  key_arrived_.notify_all();
}

void Console::key_release(std::int32_t code) {
  {
    std::lock_guard lock(mutex_);
    events_.push(-code);
  }
  wake();
  key_arrived_.notify_all();
}

void Console::request_end() {
  if (end_request_.exchange(true)) return;
  {
    // Under the lock, so that a waiter between its check and its sleep
    // cannot miss it.
    std::lock_guard lock(mutex_);
  }
  key_arrived_.notify_all();
  wake();
  // A box standing waits for the backend's thread to answer it.
  backend_.wake();
}

}  // namespace pat
