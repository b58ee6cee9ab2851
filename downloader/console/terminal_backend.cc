#include "downloader/console/terminal_backend.h"

#define NCURSES_WIDECHAR 1
#include <fcntl.h>
#include <langinfo.h>
#include <ncurses.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "downloader/console/box_layout.h"
#include "downloader/console/terminal_hang_up.h"
#include "downloader/console/terminal_keys.h"
#include "downloader/console/terminal_signals.h"
#include "downloader/console/terminal_view.h"
#include "downloader/text/cp437.h"

namespace pat {

namespace {

// Curses wants UTF-8 for the glyphs; only the character type is set, so that
// number formatting keeps its point.
void choose_locale() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

constexpr int run_rows = 25;
constexpr int run_columns = 100;

void put(int row, int column, char32_t glyph, attr_t attributes, int pair) {
  if (row < 0 || column < 0 || row >= LINES || column >= COLS) return;
  wchar_t text[2] = {static_cast<wchar_t>(glyph), 0};
  cchar_t cell;
  setcchar(&cell, text, attributes, static_cast<short>(pair), nullptr);
  mvadd_wch(row, column, &cell);
}

}  // namespace

TerminalBackend::TerminalBackend() = default;

TerminalBackend::~TerminalBackend() { detach(); }

void TerminalBackend::attach(Console& console) {
  if (thread_.joinable()) return;
  console_ = &console;
  stop_.store(false);
  input_open_ = true;
  full_redraw_ = true;
  cursor_shown_ = -1;

  choose_locale();
  auto fail = [this](const char* why) {
    console_ = nullptr;
    throw std::runtime_error(why);
  };
  // The terminal the program was started from, whatever its standard input
  // and output were made: a pipe or a file gets none of the screen's bytes.
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) fail("no terminal to run in");
  terminal_ = fdopen(fd, "r+");
  if (terminal_ == nullptr) {
    ::close(fd);
    fail("the terminal cannot be used");
  }
  const int input_fd = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (input_fd >= 0) input_ = fdopen(input_fd, "r");
  if (input_ == nullptr) {
    if (input_fd >= 0) ::close(input_fd);
    close_terminal();
    fail("the terminal cannot be used");
  }
  if (!wake_.open()) {
    close_terminal();
    fail("no pipe for the terminal");
  }
  // Before curses starts, so that it leaves these signals to us.
  end_signals_.emplace(wake_);
  take_terminal_signals(fd);

  SCREEN* screen = newterm(nullptr, terminal_, input_);
  if (screen == nullptr) {
    give_back_terminal_signals();
    end_signals_.reset();
    wake_.close();
    close_terminal();
    fail("the terminal cannot be used");
  }
  screen_ = screen;
  set_term(screen);
  cbreak();  // Ctrl+C stays a signal
  noecho();
  nonl();
  intrflush(stdscr, FALSE);
  keypad(stdscr, TRUE);
  nodelay(stdscr, TRUE);
  set_escdelay(25);
  curs_set(0);
  // Ctrl+S and Ctrl+Q are keys here, not a way to freeze the screen.
  termios mode;
  if (tcgetattr(fd, &mode) == 0) {
    mode.c_iflag &= ~static_cast<tcflag_t>(IXON);
    // Ctrl+Z and Ctrl+\ are keys here like any Ctrl with a letter; only
    // Ctrl+C stays a signal, the end request.
    mode.c_cc[VSUSP] = _POSIX_VDISABLE;
    mode.c_cc[VQUIT] = _POSIX_VDISABLE;
    if (tcsetattr(fd, TCSANOW, &mode) == 0) def_prog_mode();
  }
  colour_pair_ = 0;
  if (has_colors() && start_color() == OK) {
    short white = COLOR_WHITE;
    if (can_change_color()) {
      init_color(COLOR_WHITE, 1000, 1000, 1000);
    } else if (COLORS >= 16) {
      white = 15;
    }
    if (init_pair(1, COLOR_BLACK, white) == OK) colour_pair_ = 1;
  }

  // The screen the run sets up needs 100 x 25: a smaller terminal is asked to
  // grow (xterm's window-size request; others ignore it) and, until it
  // does, shows what fits around the cursor.
  if (LINES < run_rows || COLS < run_columns) {
    const std::string request = resize_request(std::max(LINES, run_rows), std::max(COLS, run_columns));
    ssize_t written = write(fd, request.data(), request.size());
    (void)written;
  }

  guard_terminal(wake_);

  box_.open();
  thread_ = std::thread(&TerminalBackend::run, this);
}

void TerminalBackend::detach() {
  if (!thread_.joinable()) return;
  stop_.store(true);
  wake_.wake();
  thread_.join();

  unguard_terminal();
  endwin();
  delscreen(static_cast<SCREEN*>(screen_));
  screen_ = nullptr;
  give_back_terminal_signals();
  end_signals_.reset();
  wake_.close();
  close_terminal();
  console_ = nullptr;
}

void TerminalBackend::close_terminal() {
  if (input_ != nullptr) std::fclose(input_);
  input_ = nullptr;
  std::fclose(terminal_);
  terminal_ = nullptr;
}

void TerminalBackend::idle() {
  if (EndSignals::arrived() && console_ != nullptr) console_->request_end();
}

bool TerminalBackend::ask_yes_no(std::string_view caption, std::string_view text) {
  return show_box({std::string(caption), std::string(text), true});
}

void TerminalBackend::show_message(std::string_view caption, std::string_view text) {
  show_box({std::string(caption), std::string(text), false});
}

bool TerminalBackend::show_box(ModalBox::Content content) {
  // A run that must end asks nothing more; should the request come just
  // after this, the thread answers N once woken.
  if (console_ == nullptr || console_->end_requested()) return false;
  return box_.show(std::move(content), [this] { wake_.wake(); });
}

void TerminalBackend::wake() { wake_.wake(); }

// The thread sleeps until a key, a change of the screen or the box, a
// resize or a signal wakes it; it draws at most once a frame.
void TerminalBackend::run() {
  using clock = std::chrono::steady_clock;
  constexpr auto frame = std::chrono::milliseconds(33);
  constexpr int keys_per_batch = 256;
  auto last_draw = clock::now() - frame;
  std::uint64_t drawn_generation = 0;
  std::uint64_t drawn_box = 0;
  bool drawn_once = false;
  auto draw_pending = [&] {
    return full_redraw_ || !drawn_once || console_->generation() != drawn_generation ||
           box_.generation() != drawn_box;
  };

  const int input = fileno(input_);
  bool more_keys = false;  // a full batch was read: curses may hold more
  while (!stop_.load()) {
    int timeout = -1;
    if (more_keys) {
      timeout = 0;
    } else if (draw_pending()) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(frame - (clock::now() - last_draw));
      timeout = static_cast<int>(std::clamp<long>(left.count(), 0, frame.count()));
    }
    more_keys = false;
    pollfd fds[2] = {{wake_.fd(), POLLIN, 0}, {input_open_ ? input : -1, POLLIN, 0}};
    int ready = poll(fds, 2, timeout);
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) wake_.drain();

    if (input_open_) {
      bool closed = ready > 0 && poll_reports_hang_up(fds[1].revents);
      if (!closed) {
        wint_t value = 0;
        int result = 0;
        int keys = 0;
        bool after_escape = false;  // an Escape read in this batch, not yet taken
        // Curses tells a failed read only by the errno it leaves.
        errno = 0;
        while (keys < keys_per_batch && (result = wget_wch(stdscr, &value)) != ERR) {
          const bool function_key = result == KEY_CODE_YES;
          const auto v = static_cast<std::uint32_t>(value);
          TerminalKey alt;
          if (after_escape && !function_key && terminal_alt_key(v, alt)) {
            take(alt);
            after_escape = false;
          } else {
            if (after_escape) take_key(false, 27);
            after_escape = !function_key && v == 27;
            if (!after_escape) take_key(function_key, v);
          }
          ++keys;
        }
        const int read_error = errno;
        if (after_escape) take_key(false, 27);
        more_keys = keys == keys_per_batch;
        closed = keys == 0 && read_reports_hang_up(read_error);
      }
      if (closed) {
        // The terminal went away: nobody can answer any more.
        input_open_ = false;
        console_->request_end();
      }
    }

    if (EndSignals::arrived()) console_->request_end();
    if (console_->end_requested()) box_.answer(false);

    if (draw_pending() && clock::now() - last_draw >= frame) {
      drawn_generation = console_->generation();
      drawn_box = box_.generation();
      draw();
      last_draw = clock::now();
      drawn_once = true;
    }
  }

  box_.close();
}

void TerminalBackend::take_key(bool function_key, std::uint32_t value) {
  if (function_key && value == static_cast<std::uint32_t>(KEY_RESIZE)) {
    full_redraw_ = true;
    return;
  }
  TerminalKey key;
  if (terminal_key(function_key, value, key)) take(key);
}

void TerminalBackend::take(const TerminalKey& key) {
  // A box takes its answer; no key store sees it.
  if (box_.take_key(key.typed.character)) return;
  // A terminal reports no releases: each press is followed by its release.
  console_->key_press(key.code, key.typed, true, key.keypad);
  console_->key_release(key.code);
}

void TerminalBackend::draw() {
  TextScreen screen = console_->snapshot();
  if (screen.columns != drawn_columns_) full_redraw_ = true;
  if (full_redraw_) {
    erase();
    clearok(stdscr, TRUE);
    full_redraw_ = false;
    drawn_columns_ = screen.columns;
  }
  const TerminalView view = terminal_view(screen.rows, screen.columns, LINES, COLS, screen.cursor_row);
  const int shown_rows = view.rows;
  const int shown_columns = view.columns;
  for (int row = 0; row < shown_rows; ++row) {
    for (int column = 1; column <= shown_columns; ++column) {
      const std::uint8_t character = screen.cell(screen_row(view, row + 1), column).character;
      put(row, column - 1, cp437_glyph(character), A_NORMAL, colour_pair_);
    }
  }

  const std::optional<ModalBox::Content> box = box_.standing();
  if (box) draw_box(*box, shown_rows, shown_columns);
  const bool box_shown = box.has_value();

  if (view.notice) {
    const std::string notice = size_notice(screen.rows, screen.columns, LINES, COLS);
    for (int i = 0; i < static_cast<int>(notice.size()) && i < COLS; ++i) {
      put(LINES - 1, i, static_cast<char32_t>(notice[static_cast<std::size_t>(i)]), A_REVERSE, colour_pair_);
    }
  }

  const int cursor_row = view_row(view, screen.cursor_row);
  bool cursor = screen.cursor_visible && !box_shown && cursor_row >= 1 && cursor_row <= shown_rows &&
                screen.cursor_column >= 1 && screen.cursor_column <= shown_columns;
  if (static_cast<int>(cursor) != cursor_shown_) {
    curs_set(cursor ? 1 : 0);
    cursor_shown_ = cursor ? 1 : 0;
  }
  if (cursor) move(cursor_row - 1, screen.cursor_column - 1);
  refresh();
}

void TerminalBackend::draw_box(const ModalBox::Content& box, int shown_rows, int shown_columns) {
  const BoxLayout layout = lay_out_box(box, shown_columns, shown_rows, AnswerLine::next);
  const int top = layout.top;
  const int left = layout.left;
  const int right = left + layout.width - 1;
  const int bottom = top + layout.height - 1;

  auto text_row = [&](int row, std::string_view text, attr_t attributes) {
    put(row, left, U'│', A_NORMAL, colour_pair_);
    for (int column = left + 1; column < right; ++column) put(row, column, U' ', A_NORMAL, colour_pair_);
    for (std::size_t i = 0; i < text.size(); ++i) {
      auto byte = static_cast<std::uint8_t>(text[i]);
      put(row, left + 2 + static_cast<int>(i), cp437_glyph(byte), attributes, colour_pair_);
    }
    put(row, right, U'│', A_NORMAL, colour_pair_);
  };
  auto rule = [&](int row, char32_t first, char32_t last) {
    put(row, left, first, A_NORMAL, colour_pair_);
    for (int column = left + 1; column < right; ++column) put(row, column, U'─', A_NORMAL, colour_pair_);
    put(row, right, last, A_NORMAL, colour_pair_);
  };

  rule(top, U'┌', U'┐');
  text_row(top + 1, layout.caption, A_BOLD);
  rule(top + 2, U'├', U'┤');
  for (std::size_t i = 0; i < layout.lines.size(); ++i) {
    text_row(top + 3 + static_cast<int>(i), layout.lines[i], A_NORMAL);
  }
  rule(bottom, U'└', U'┘');
}

}  // namespace pat
