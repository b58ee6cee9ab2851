#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// Support for runs of the real program: a folder of its own holding a copy
// of the binary, the program in tmux at 100 x 25, and the simulated tester.

namespace pat::test {

std::string binary_dir();
// Runs a program (looked up on PATH) with the given environment, or this
// process's; what it printed on stdout. Its standard input and errors go to
// /dev/null.
std::string run_command(const std::vector<std::string>& argv, char** environment = nullptr);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool path_exists(const std::string& path);

// A fresh folder with the program copied in; removed at the end.
class RunFolder {
 public:
  RunFolder();
  ~RunFolder();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string read(const std::string& name) const { return read_file(file(name)); }
  void write(const std::string& name, const std::string& bytes) const {
    write_file(file(name), bytes);
  }
  bool exists(const std::string& name) const { return path_exists(file(name)); }
  std::vector<std::string> entries() const;

 private:
  std::string path_;
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

// The simulated tester on a pseudo-terminal linked as com<port> in the folder.
struct TesterOptions {
  int port = 3;
  std::string send;       // the bytes to send, empty for none
  long baud = 19200;      // 0 = as fast as the port takes it
  std::vector<std::pair<long, double>> pauses;  // after this many bytes, pause
  bool hold_lock = false;
  double timeout = 120;
};

class SimTester {
 public:
  // folder: where com<port> is linked (the program's folder).
  SimTester(const std::string& folder, const TesterOptions& options);
  SimTester(const RunFolder& folder, const TesterOptions& options)
      : SimTester(folder.path(), options) {}
  ~SimTester();
  // Waits for the tester to end; its stderr report.
  std::string finish(double seconds = 30);

 private:
  pid_t pid_ = -1;
  std::string log_;
};

// n appliance blocks of a certificate download, with CR LF line ends.
std::string certificate_blocks(int appliances, int first = 1);
// The same, closed by "end of data" and its line end.
std::string certificate_download(int appliances);

}  // namespace pat::test
