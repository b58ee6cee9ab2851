#pragma once

#include <functional>
#include <string>

// A second connection to the X display beside freeglut's own, for what
// freeglut does not report: Ctrl+Break, the state of Caps Lock and Num
// Lock, and the window's destruction by another client. It also stands for
// the display's check before freeglut, which would end the process when it
// finds no display.

namespace pat {

class Console;
struct WindowLibraries;

class WindowSideConnection {
 public:
  WindowSideConnection() = default;
  ~WindowSideConnection();
  WindowSideConnection(const WindowSideConnection&) = delete;
  WindowSideConnection& operator=(const WindowSideConnection&) = delete;

  // Opens the display (empty: $DISPLAY); false when there is none or it
  // cannot show OpenGL.
  bool open(const std::string& display);
  void close();
  // The file descriptor to wait on, -1 when closed.
  int fd() const;

  // Starts watching the window; the lock keys' present state is taken over
  // without entering anything. When the display itself goes away, Xlib's
  // wish to end the process is refused: display_gone is called and the
  // thread that met the loss waits for the process to end.
  void watch(unsigned long window, std::function<void()> display_gone);
  // Handles what has arrived: Ctrl+Break and the window's loss are the
  // console's end request, lock changes enter its key-event queue.
  void service(Console& console);
  // The window was destroyed by someone else: nothing may draw in it.
  bool window_lost() const;

 private:
  const WindowLibraries* lib_ = nullptr;
  void* display_ = nullptr;  // Display*
  unsigned long window_ = 0;
  int xkb_event_ = -1;
  unsigned num_lock_mask_ = 0;
  bool caps_on_ = false;
  bool num_on_ = false;
};

}  // namespace pat
