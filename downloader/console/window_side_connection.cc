#include "downloader/console/window_side_connection.h"

#include <unistd.h>

#include <atomic>

#include "downloader/console/console.h"
// Last: the window's libraries bring the OpenGL and X11 headers.
#include "downloader/console/window_libraries.h"
#include <X11/keysym.h>

namespace pat {

namespace {

// Xlib ends the process on any error it is not told to pass over. Errors
// about the watched window mean only that it has gone.
std::atomic<unsigned long> watched_window{0};
std::atomic<bool> lost{false};
XErrorHandler previous_handler = nullptr;
XIOErrorHandler previous_io_handler = nullptr;
std::function<void()> display_gone_call;  // set while a window is watched

// Only an error that names the window as a window or drawable, or one of an
// extension's (OpenGL's bad drawable), says it has gone. Other errors carry
// no resource, whatever their resource field holds: a second freeglut in
// one process draws a bad request whose field holds the window.
bool about_lost_window(const XErrorEvent& error, unsigned long window) {
  if (window == 0 || error.resourceid != window) return false;
  return error.error_code == BadWindow || error.error_code == BadDrawable || error.error_code >= 128;
}

int on_x_error(Display*, XErrorEvent* error) {
  if (about_lost_window(*error, watched_window.load())) lost.store(true);
  return 0;
}

// Xlib ends the process when this returns: it never does.
int on_display_gone(Display*) {
  lost.store(true);
  if (display_gone_call) display_gone_call();
  for (;;) pause();
}

Display* as_display(void* display) { return static_cast<Display*>(display); }

}  // namespace

WindowSideConnection::~WindowSideConnection() { close(); }

bool WindowSideConnection::open(const std::string& name) {
  close();
  lib_ = load_window_libraries();
  if (lib_ == nullptr) return false;
  Display* display = lib_->XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (display == nullptr) return false;
  int error_base = 0;
  int event_base = 0;
  int visual_attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
  XVisualInfo* visual = nullptr;
  if (lib_->glXQueryExtension(display, &error_base, &event_base)) {
    visual = lib_->glXChooseVisual(display, DefaultScreen(display), visual_attributes);
  }
  if (visual == nullptr) {
    lib_->XCloseDisplay(display);
    return false;
  }
  lib_->XFree(visual);
  display_ = display;
  return true;
}

void WindowSideConnection::close() {
  if (display_ == nullptr) return;
  lib_->XCloseDisplay(as_display(display_));
  display_ = nullptr;
  if (window_ != 0) {
    watched_window.store(0);
    lib_->XSetErrorHandler(previous_handler);
    lib_->XSetIOErrorHandler(previous_io_handler);
    display_gone_call = nullptr;
  }
  window_ = 0;
}

int WindowSideConnection::fd() const {
  return display_ != nullptr ? ConnectionNumber(as_display(display_)) : -1;
}

bool WindowSideConnection::window_lost() const { return lost.load(); }

void WindowSideConnection::watch(unsigned long window, std::function<void()> display_gone) {
  Display* display = as_display(display_);
  if (display == nullptr) return;
  // One window at a time; a window lost with its display never gives the
  // handlers back, and the next takes them over.
  display_gone_call = std::move(display_gone);
  const XErrorHandler handler = lib_->XSetErrorHandler(on_x_error);
  if (handler != on_x_error) previous_handler = handler;
  const XIOErrorHandler io_handler = lib_->XSetIOErrorHandler(on_display_gone);
  if (io_handler != on_display_gone) previous_io_handler = io_handler;
  window_ = window;
  lost.store(false);
  watched_window.store(window);
  // Key presses reach every client that asks for them, beside freeglut.
  lib_->XSelectInput(display, window, KeyPressMask | StructureNotifyMask);

  int opcode = 0;
  int event = 0;
  int error = 0;
  int major = XkbMajorVersion;
  int minor = XkbMinorVersion;
  if (lib_->XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) {
    xkb_event_ = event;
    num_lock_mask_ = lib_->XkbKeysymToModifiers(display, XK_Num_Lock);
    lib_->XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                          XkbModifierLockMask);
    XkbStateRec state;
    if (lib_->XkbGetState(display, XkbUseCoreKbd, &state) == Success) {
      caps_on_ = (state.locked_mods & LockMask) != 0;
      num_on_ = num_lock_mask_ != 0 && (state.locked_mods & num_lock_mask_) != 0;
    }
  }
  lib_->XFlush(display);
}

void WindowSideConnection::service(Console& console) {
  Display* display = as_display(display_);
  if (display == nullptr) return;
  while (lib_->XPending(display) > 0) {
    XEvent event;
    lib_->XNextEvent(display, &event);
    if (event.type == KeyPress && event.xkey.window == window_) {
      const KeySym symbol = lib_->XLookupKeysym(&event.xkey, 0);
      if (symbol == XK_Break || (symbol == XK_Pause && (event.xkey.state & ControlMask))) {
        console.request_end();
      }
    } else if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
      lost.store(true);
    } else if (xkb_event_ >= 0 && event.type == xkb_event_) {
      const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
      if (xkb.any.xkb_type != XkbStateNotify) continue;
      const bool caps = (xkb.state.locked_mods & LockMask) != 0;
      const bool num = num_lock_mask_ != 0 && (xkb.state.locked_mods & num_lock_mask_) != 0;
      auto report = [&](bool now, bool& before, std::int32_t code) {
        if (now == before) return;
        before = now;
        if (now) {
          console.key_press(code, TypedKey{}, false);
        } else {
          console.key_release(code);
        }
      };
      report(caps, caps_on_, key::caps_lock);
      report(num, num_on_, key::num_lock);
    }
  }
  if (lost.load()) console.request_end();
}

}  // namespace pat
