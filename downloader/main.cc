// The platform's start of the program: the working directory, the command
// line, the console and the file table that knows serial port names, then
// the main routine.

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "downloader/command_line.h"
#include "downloader/console/console.h"
#include "downloader/console/terminal_backend.h"
#ifdef PAT_HAVE_WINDOW
#include "downloader/console/window_backend.h"
#endif
#include "downloader/files/file_table.h"
#include "downloader/program.h"
#include "downloader/run_frame.h"
#include "downloader/serial/port_device.h"

namespace {

// Relative names resolve in the program's own folder; when that cannot be
// had the program goes on where it was started, without a message.
void enter_program_folder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return;
  std::string exe(path, static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return;
  const std::string folder = slash == 0 ? "/" : exe.substr(0, slash);
  if (chdir(folder.c_str()) != 0) return;
}

int run_in(pat::ConsoleBackend& backend, const pat::Text& command) {
  pat::Console console(backend);
  pat::FileTable files(pat::open_port_device);
  pat::Program program{console, files};
  program.command_line = command;
  return pat::run_program(program);
}

#ifdef PAT_HAVE_WINDOW
// A program started from a terminal stays in it; one started otherwise
// gets a window when there is a display to show it on.
bool window_wanted() {
  if (isatty(STDIN_FILENO)) return false;
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}
#endif

}  // namespace

int main(int argc, char** argv) {
  pat::timer_seconds();  // the clock counts from the start
  enter_program_folder();
  const pat::Text command = pat::command_line(argc, argv);
  try {
#ifdef PAT_HAVE_WINDOW
    if (window_wanted()) {
      pat::WindowBackend window;
      try {
        return run_in(window, command);
      } catch (const pat::WindowUnavailable&) {
        // The display cannot show the window: the terminal, as without one.
      }
    }
#endif
    pat::TerminalBackend backend;
    return run_in(backend, command);
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "pat-downloader: %s\n", e.what());
    return 1;
  }
}
