#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "downloader/console/console.h"
#include "downloader/console/end_signals.h"
#include "downloader/console/modal_box.h"
#include "downloader/console/wake_pipe.h"

// Shows the console in a window of its own (freeglut and OpenGL) and takes
// the window's keys, on a thread of its own that makes every freeglut and
// OpenGL call. The close button, Alt+F4 and Ctrl+Break are the console's
// end request. freeglut keeps one state per process: one window backend at
// a time.

namespace pat {

struct WindowLibraries;

// No window could be opened: no display, or none that shows OpenGL.
struct WindowUnavailable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class WindowBackend : public ConsoleBackend {
 public:
  // display: the X display to open, empty for $DISPLAY.
  explicit WindowBackend(std::string display = "");
  ~WindowBackend() override;
  WindowBackend(const WindowBackend&) = delete;
  WindowBackend& operator=(const WindowBackend&) = delete;

  // Opens the window; throws WindowUnavailable when it cannot, the
  // window's libraries missing among the causes.
  void attach(Console& console) override;
  // Closes the window. When the display itself went away during the run
  // (the end request followed), freeglut cannot be shut down any more and
  // this ends the process with status 0.
  void detach() override;
  void wake() override;
  bool ask_yes_no(std::string_view caption, std::string_view text) override;
  void show_message(std::string_view caption, std::string_view text) override;

 private:
  class Window;  // the thread's freeglut and OpenGL state
  friend class Window;

  bool show_box(ModalBox::Content content);
  void run();
  void display_gone();

  std::string display_;
  const WindowLibraries* libraries_ = nullptr;
  Console* console_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  WakePipe wake_;
  std::optional<EndSignals> end_signals_;

  // The start's outcome, handed from the thread to attach, and its end.
  std::mutex start_mutex_;
  std::condition_variable start_done_;
  enum class Start { pending, open, failed } start_ = Start::pending;
  std::string start_error_;
  bool finished_ = false;      // the thread is done
  bool display_gone_ = false;  // the thread waits for the process to end

  ModalBox box_;
};

}  // namespace pat
