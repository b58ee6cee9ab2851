#include "downloader/console/window_backend.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "downloader/console/window_keys.h"
#include "downloader/console/window_picture.h"
#include "downloader/console/window_side_connection.h"

// Last: the window's libraries bring the OpenGL and X11 headers.
#include "downloader/console/window_libraries.h"

namespace pat {

namespace {

using Clock = std::chrono::steady_clock;
// A new picture at most this often, and its showing.
constexpr auto picture_interval = std::chrono::milliseconds(33);
constexpr auto show_interval = std::chrono::milliseconds(16);
// The cursor is shown for this long, then hidden for as long.
constexpr auto blink_interval = picture_interval * 8;
// What a desktop's task bar and window list show; the title is the
// program's title line.
constexpr const char* window_title = "Read Data via RS-232 for Seaward Supernova";
constexpr const char* window_class = "pat-downloader";

int power_of_two_from(int value) {
  int power = 1;
  while (power < value) power *= 2;
  return power;
}

}  // namespace

// Everything that belongs to the window's thread.
class WindowBackend::Window {
 public:
  explicit Window(WindowBackend& backend)
      : backend_(backend), console_(*backend.console_), lib_(*backend.libraries_) {}

  bool open(const std::string& display, std::string& error);
  void loop();
  void close();

 private:
  static void on_display(void* self) { static_cast<Window*>(self)->show(); }
  static void on_reshape(int width, int height, void* self) {
    static_cast<Window*>(self)->reshaped(width, height);
  }
  static void on_key_down(unsigned char c, int, int, void* self) {
    static_cast<Window*>(self)->character(c, true);
  }
  static void on_key_up(unsigned char c, int, int, void* self) {
    static_cast<Window*>(self)->character(c, false);
  }
  static void on_special_down(int key, int, int, void* self) {
    static_cast<Window*>(self)->special(key, true);
  }
  static void on_special_up(int key, int, int, void* self) {
    static_cast<Window*>(self)->special(key, false);
  }
  static void on_close(void* self) { static_cast<Window*>(self)->closed(); }

  bool usable() const { return open_ && !side_.window_lost(); }
  void character(unsigned char c, bool down);
  void special(int key, bool down);
  void take(const WindowKeyAction& action);
  void closed();
  void reshaped(int width, int height);
  bool cursor_wanted(bool cursor_phase) const;
  bool picture_due(bool cursor_phase) const;
  void make_picture(bool cursor_phase);
  void set_class();
  void fix_size(int width, int height);
  void upload();
  void show();
  void wait(std::optional<Clock::time_point> until);

  WindowBackend& backend_;
  Console& console_;
  const WindowLibraries& lib_;
  WindowSideConnection side_;
  WindowKeys keys_;
  std::vector<std::string> arguments_;  // freeglut may keep pointers into them
  std::vector<char*> argv_;
  bool initialised_ = false;
  int window_ = 0;
  bool open_ = false;
  Display* display_ = nullptr;  // freeglut's connection
  unsigned long x_window_ = 0;

  int max_texture_ = 1024;
  bool any_texture_size_ = false;
  GLuint texture_ = 0;
  int texture_width_ = 0;
  int texture_height_ = 0;
  int uploaded_width_ = 0;
  int uploaded_height_ = 0;

  int window_width_ = 0;  // as freeglut last reported it
  int window_height_ = 0;
  int wanted_width_ = 0;  // the picture's size, which the window keeps
  int wanted_height_ = 0;
  bool size_wrong_ = false;

  TextScreen screen_;
  BoxContent box_;
  bool box_shown_ = false;
  bool pictured_once_ = false;
  std::uint64_t pictured_generation_ = 0;
  std::uint64_t pictured_box_ = 0;
  bool pictured_cursor_ = false;
  bool picture_new_ = false;  // made since it was last shown
  WindowPicture picture_;
};

bool WindowBackend::Window::open(const std::string& display, std::string& error) {
  // freeglut ends the process when it finds no display: look first.
  if (!side_.open(display)) {
    error = "no display that shows OpenGL";
    return false;
  }
  arguments_ = {"pat-downloader"};
  if (!display.empty()) arguments_.insert(arguments_.end(), {"-display", display});
  for (std::string& argument : arguments_) argv_.push_back(argument.data());
  argv_.push_back(nullptr);
  int argc = static_cast<int>(arguments_.size());
  lib_.glutInit(&argc, argv_.data());
  initialised_ = true;
  lib_.glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  lib_.glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE);

  screen_ = console_.snapshot();
  wanted_width_ = glyph_width * screen_.columns;
  wanted_height_ = glyph_height * screen_.rows;
  lib_.glutInitWindowSize(wanted_width_, wanted_height_);
  window_ = lib_.glutCreateWindow(window_title);
  open_ = true;
  set_class();
  window_width_ = wanted_width_;
  window_height_ = wanted_height_;

  if (lib_.glewInit() != GLEW_OK || !*lib_.glew_version_1_2) {
    error = "no OpenGL 1.2 for the window";
    close();
    return false;
  }
  any_texture_size_ = *lib_.glew_version_2_0 || *lib_.glew_arb_texture_non_power_of_two;
  lib_.glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_);
  lib_.glGenTextures(1, &texture_);
  lib_.glBindTexture(GL_TEXTURE_2D, texture_);
  lib_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  lib_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  lib_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  lib_.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

  lib_.glutDisplayFuncUcall(on_display, this);
  lib_.glutReshapeFuncUcall(on_reshape, this);
  lib_.glutKeyboardFuncUcall(on_key_down, this);
  lib_.glutKeyboardUpFuncUcall(on_key_up, this);
  lib_.glutSpecialFuncUcall(on_special_down, this);
  lib_.glutSpecialUpFuncUcall(on_special_up, this);
  lib_.glutCloseFuncUcall(on_close, this);

  display_ = lib_.glXGetCurrentDisplay();
  x_window_ = lib_.glXGetCurrentDrawable();
  fix_size(wanted_width_, wanted_height_);
  side_.watch(x_window_, [this] { backend_.display_gone(); });
  return true;
}

// freeglut gives the window no class. Set at once, before the window's
// first events are handled.
void WindowBackend::Window::set_class() {
  std::string name = window_class;
  XClassHint hint{name.data(), name.data()};
  lib_.XSetClassHint(lib_.glXGetCurrentDisplay(), lib_.glXGetCurrentDrawable(), &hint);
}

void WindowBackend::Window::close() {
  if (usable() && texture_ != 0) lib_.glDeleteTextures(1, &texture_);
  texture_ = 0;
  if (open_) lib_.glutDestroyWindow(window_);
  open_ = false;
  if (initialised_) lib_.glutExit();
  initialised_ = false;
  side_.close();
}

// The thread sleeps until an event of the display, a change of the screen
// or the box, or a signal wakes it, or until what it has to do next: a
// picture of a change, the showing of a new picture, the cursor's blink.
void WindowBackend::Window::loop() {
  const auto start = Clock::now();
  const auto phase_at = [&](Clock::time_point when) { return (when - start) / blink_interval % 2 == 0; };
  auto next_picture = start;
  auto next_show = start;
  while (!backend_.stop_.load()) {
    const auto now = Clock::now();
    if (now >= next_picture && picture_due(phase_at(now))) {
      make_picture(phase_at(now));
      next_picture = now + picture_interval;
    }
    if (now >= next_show && usable() && picture_new_) {
      // An unchanged picture is not sent again; freeglut asks for it
      // itself when the window has to be drawn anew.
      lib_.glutPostRedisplay();
      next_show = now + show_interval;
    }
    lib_.glutMainLoopEvent();
    side_.service(console_);
    // Ctrl+C in the starting terminal and every signal that would end the
    // program end the run as the close button does.
    if (EndSignals::arrived()) console_.request_end();
    if (console_.end_requested()) backend_.box_.answer(false);

    const auto after = Clock::now();
    std::optional<Clock::time_point> until;
    const auto sooner = [&](Clock::time_point when) {
      if (!until || when < *until) until = when;
    };
    if (picture_due(phase_at(after))) sooner(next_picture);
    if (usable() && picture_new_) sooner(next_show);
    if (usable() && screen_.cursor_visible && !box_shown_) {
      sooner(start + ((after - start) / blink_interval + 1) * blink_interval);
    }
    wait(until);
  }
}

void WindowBackend::Window::wait(std::optional<Clock::time_point> until) {
  if (display_ != nullptr) {
    // Requests made since the last event round (a new size, say) go out
    // before the sleep.
    lib_.XFlush(display_);
    if (lib_.XEventsQueued(display_, QueuedAlready) > 0) return;
  }
  int timeout = -1;
  if (until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count();
    if (left <= 0) return;
    timeout = static_cast<int>(left);
  }
  pollfd fds[3] = {{backend_.wake_.fd(), POLLIN, 0},
                   {display_ != nullptr ? ConnectionNumber(display_) : -1, POLLIN, 0},
                   {side_.fd(), POLLIN, 0}};
  if (poll(fds, 3, timeout) > 0 && (fds[0].revents & POLLIN) != 0) backend_.wake_.drain();
}

void WindowBackend::Window::closed() {
  // freeglut destroys the window after this returns.
  open_ = false;
  console_.request_end();
}

void WindowBackend::Window::reshaped(int width, int height) {
  window_width_ = width;
  window_height_ = height;
  // The size follows the screen: a window manager's change is taken back.
  if (width != wanted_width_ || height != wanted_height_) size_wrong_ = true;
}

void WindowBackend::Window::fix_size(int width, int height) {
  if (display_ == nullptr || x_window_ == 0) return;
  // Equal smallest and largest sizes: no sizing border.
  XSizeHints* hints = lib_.XAllocSizeHints();
  if (hints == nullptr) return;
  hints->flags = PMinSize | PMaxSize;
  hints->min_width = hints->max_width = width;
  hints->min_height = hints->max_height = height;
  lib_.XSetWMNormalHints(display_, x_window_, hints);
  lib_.XFree(hints);
}

// The cursor line as the picture would show it in this blink phase.
bool WindowBackend::Window::cursor_wanted(bool cursor_phase) const {
  return cursor_phase && screen_.cursor_visible && !box_shown_;
}

bool WindowBackend::Window::picture_due(bool cursor_phase) const {
  if (!usable()) return false;
  return !pictured_once_ || size_wrong_ || console_.generation() != pictured_generation_ ||
         backend_.box_.generation() != pictured_box_ || cursor_wanted(cursor_phase) != pictured_cursor_;
}

void WindowBackend::Window::make_picture(bool cursor_phase) {
  bool changed = !pictured_once_;
  const std::uint64_t generation = console_.generation();
  if (changed || generation != pictured_generation_) {
    screen_ = console_.snapshot();
    pictured_generation_ = generation;
    changed = true;
  }
  if (backend_.box_.generation() != pictured_box_) {
    const std::optional<ModalBox::Content> box = backend_.box_.standing(pictured_box_);
    box_shown_ = box.has_value();
    if (box_shown_) box_ = *box;
    changed = true;
  }
  const bool cursor = cursor_wanted(cursor_phase);
  if (cursor != pictured_cursor_) changed = true;
  if (!usable()) return;
  if (size_wrong_) {
    size_wrong_ = false;
    lib_.glutReshapeWindow(wanted_width_, wanted_height_);
  }
  if (!changed) return;
  pictured_once_ = true;
  pictured_cursor_ = cursor;

  // A screen wider than a texture can be is shown as far as it goes.
  const int columns = std::min<int>(screen_.columns, max_texture_ / glyph_width);
  const int rows = std::min<int>(screen_.rows, max_texture_ / glyph_height);
  make_window_picture(screen_, columns, rows, box_shown_ ? &box_ : nullptr, cursor_phase, picture_);
  if (picture_.width != wanted_width_ || picture_.height != wanted_height_) {
    wanted_width_ = picture_.width;
    wanted_height_ = picture_.height;
    fix_size(wanted_width_, wanted_height_);
    lib_.glutReshapeWindow(wanted_width_, wanted_height_);
  }
  upload();
  picture_new_ = true;
}

void WindowBackend::Window::upload() {
  lib_.glBindTexture(GL_TEXTURE_2D, texture_);
  if (picture_.width != uploaded_width_ || picture_.height != uploaded_height_) {
    texture_width_ = any_texture_size_ ? picture_.width : power_of_two_from(picture_.width);
    texture_height_ = any_texture_size_ ? picture_.height : power_of_two_from(picture_.height);
    lib_.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, texture_width_, texture_height_, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    uploaded_width_ = picture_.width;
    uploaded_height_ = picture_.height;
  }
  lib_.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  lib_.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  lib_.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, picture_.width, picture_.height, GL_BGRA,
                  GL_UNSIGNED_INT_8_8_8_8_REV, picture_.pixels.data());
}

void WindowBackend::Window::show() {
  if (!usable()) return;
  lib_.glViewport(0, 0, window_width_, window_height_);
  lib_.glClearColor(0, 0, 0, 1);
  lib_.glClear(GL_COLOR_BUFFER_BIT);
  if (uploaded_width_ > 0) {
    // One texel to one pixel, the picture's top row at the window's top.
    lib_.glMatrixMode(GL_PROJECTION);
    lib_.glLoadIdentity();
    lib_.glOrtho(0, window_width_, window_height_, 0, -1, 1);
    lib_.glMatrixMode(GL_MODELVIEW);
    lib_.glLoadIdentity();
    lib_.glEnable(GL_TEXTURE_2D);
    lib_.glBindTexture(GL_TEXTURE_2D, texture_);
    lib_.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    const float u = static_cast<float>(uploaded_width_) / static_cast<float>(texture_width_);
    const float v = static_cast<float>(uploaded_height_) / static_cast<float>(texture_height_);
    lib_.glBegin(GL_QUADS);
    lib_.glTexCoord2f(0, 0);
    lib_.glVertex2i(0, 0);
    lib_.glTexCoord2f(u, 0);
    lib_.glVertex2i(uploaded_width_, 0);
    lib_.glTexCoord2f(u, v);
    lib_.glVertex2i(uploaded_width_, uploaded_height_);
    lib_.glTexCoord2f(0, v);
    lib_.glVertex2i(0, uploaded_height_);
    lib_.glEnd();
    lib_.glDisable(GL_TEXTURE_2D);
  }
  lib_.glutSwapBuffers();
  picture_new_ = false;
}

void WindowBackend::Window::character(unsigned char c, bool down) {
  const int modifiers = lib_.glutGetModifiers();
  if (down) {
    // The box takes its answer; no key store sees any key while it stands.
    if (backend_.box_.take_key(c)) return;
    take(keys_.character_down(c, modifiers));
  } else {
    take(keys_.character_up(c, modifiers));
  }
}

void WindowBackend::Window::special(int key, bool down) {
  const int modifiers = lib_.glutGetModifiers();
  if (!down) {
    take(keys_.special_up(key, modifiers));
  } else if (backend_.box_.take_key(0)) {
    if (WindowKeys::ends_run(key, modifiers)) console_.request_end();
  } else {
    take(keys_.special_down(key, modifiers));
  }
}

void WindowBackend::Window::take(const WindowKeyAction& action) {
  switch (action.kind) {
    case WindowKeyAction::Kind::press:
      console_.key_press(action.code, action.typed, action.has_typed);
      break;
    case WindowKeyAction::Kind::release:
      console_.key_release(action.code);
      break;
    case WindowKeyAction::Kind::end_request:
      console_.request_end();
      break;
    case WindowKeyAction::Kind::nothing:
      break;
  }
}

WindowBackend::WindowBackend(std::string display) : display_(std::move(display)) {}

WindowBackend::~WindowBackend() { detach(); }

void WindowBackend::attach(Console& console) {
  if (thread_.joinable()) return;
  std::string error;
  libraries_ = load_window_libraries(&error);
  if (libraries_ == nullptr) throw WindowUnavailable(error);
  console_ = &console;
  stop_.store(false);
  start_ = Start::pending;
  finished_ = false;
  display_gone_ = false;
  if (!wake_.open()) throw WindowUnavailable("no pipe for the window");
  box_.open();
  thread_ = std::thread(&WindowBackend::run, this);
  std::unique_lock lock(start_mutex_);
  start_done_.wait(lock, [&] { return start_ != Start::pending; });
  if (start_ == Start::open) {
    end_signals_.emplace(wake_);
    return;
  }
  lock.unlock();
  thread_.join();
  wake_.close();
  console_ = nullptr;
  throw WindowUnavailable(start_error_);
}

void WindowBackend::detach() {
  if (!thread_.joinable()) return;
  end_signals_.reset();
  stop_.store(true);
  wake_.wake();
  bool gone = false;
  {
    std::unique_lock lock(start_mutex_);
    start_done_.wait(lock, [&] { return finished_ || display_gone_; });
    gone = !finished_;
  }
  if (gone) {
    // The window's thread is held inside Xlib, and freeglut's own handler
    // at exit would wait for it for ever: the process ends here, as the
    // run would have ended.
    std::fflush(nullptr);
    std::_Exit(0);
  }
  thread_.join();
  wake_.close();
  console_ = nullptr;
}

void WindowBackend::run() {
  Window window(*this);
  std::string error;
  const bool opened = window.open(display_, error);
  {
    std::lock_guard lock(start_mutex_);
    start_ = opened ? Start::open : Start::failed;
    start_error_ = error;
  }
  start_done_.notify_all();
  if (opened) {
    window.loop();
    window.close();
  }
  box_.close();
  std::lock_guard lock(start_mutex_);
  finished_ = true;
  start_done_.notify_all();
}

// On the window's thread, which never comes back from here.
void WindowBackend::display_gone() {
  box_.close();
  if (console_ != nullptr) console_->request_end();
  std::lock_guard lock(start_mutex_);
  display_gone_ = true;
  start_done_.notify_all();
}

void WindowBackend::wake() { wake_.wake(); }

bool WindowBackend::ask_yes_no(std::string_view caption, std::string_view text) {
  return show_box({std::string(caption), std::string(text), true});
}

void WindowBackend::show_message(std::string_view caption, std::string_view text) {
  show_box({std::string(caption), std::string(text), false});
}

bool WindowBackend::show_box(ModalBox::Content content) {
  if (console_ == nullptr || console_->end_requested()) return false;
  return box_.show(std::move(content), [this] { wake_.wake(); });
}

}  // namespace pat
