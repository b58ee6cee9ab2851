#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"

// Runs of the real program: a folder of its own holding a copy of the
// binary, and the program in a tmux pane of 100 x 25.

namespace pat::test {

// Where the program and the test tools are built.
std::string binary_dir();

// What a program run by run_detached did.
struct DetachedRun {
  int status = -1;  // its exit status, 128 + the signal that ended it
  std::string out;  // what it wrote on stdout
  std::string err;  // and on stderr
};
// Runs a program (looked up on PATH) with the given environment, or this
// process's, in a session of its own: without a controlling terminal, so
// that the real program started this way never draws on the terminal the
// tests run in. Its standard input is /dev/null.
DetachedRun run_detached(const std::vector<std::string>& argv, char** environment = nullptr);
// The same; what it printed on stdout, its errors dropped.
std::string run_command(const std::vector<std::string>& argv, char** environment = nullptr);

// A scratch folder with the program copied in.
class RunFolder : public ScratchFolder {
 public:
  RunFolder();
  std::string read(const std::string& name) const { return read_bytes(file(name)); }
  void write(const std::string& name, const std::string& bytes) const {
    write_bytes(file(name), bytes);
  }
  bool exists(const std::string& name) const { return path_exists(file(name)); }
  // The names in the folder but the program and the hidden files, sorted.
  std::vector<std::string> entries() const;
};

// The program running in a tmux pane of 100 x 25, or the size given. Its
// exit status and the terminal settings after it are written into the run
// folder.
class TmuxRun {
 public:
  explicit TmuxRun(const RunFolder& folder, const std::string& args = "",
                   const std::string& program = "./pat-downloader", int columns = 100,
                   int rows = 25);
  ~TmuxRun();

  void type(const std::string& text);     // literal characters
  void key(const std::string& name);      // a tmux key name: Enter, Escape, C-c, Up
  void type_line(const std::string& text) { type(text); key("Enter"); }
  // The text written to the program in one piece, as a paste.
  void paste(const std::string& text);
  // The pane takes the new size, as a terminal window resized.
  void resize(int columns, int rows);

  std::vector<std::string> screen() const;  // all rows, trailing blanks cut
  std::string row(int row) const;           // 1-based
  std::string screen_text() const;
  // Waits until the condition holds for the screen; false on time-out.
  bool wait_for(const std::function<bool(const std::vector<std::string>&)>& condition,
                double seconds = 10) const;
  bool wait_row(int row, const std::string& text, double seconds = 10) const;
  bool wait_contains(const std::string& text, double seconds = 10) const;
  // The screen with colour escapes.
  std::string screen_with_colours() const;

  // Waits for the program to end; its exit status, or -1 on time-out.
  int wait_exit(double seconds = 10) const;
  bool ended() const;
  // The terminal settings (stty -a) after the program ended.
  std::string stty_after() const;
  // The pane's state as it stands: on the alternate screen, its cursor shown.
  bool alternate_screen_on() const;
  bool cursor_shown() const;
  // Sends a signal to the program (the pane's shell's child); false when it
  // is not running.
  bool signal_program(int signal) const;
  // The program's process id, 0 when it is not running.
  int program_pid() const;

 private:
  const RunFolder& folder_;
  std::string socket_;
  int rows_ = 25;
};

}  // namespace pat::test
