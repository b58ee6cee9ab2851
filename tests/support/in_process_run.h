#pragma once

#include <string>

#include "downloader/console/console.h"
#include "downloader/files/file_table.h"
#include "downloader/program.h"
#include "downloader/serial/port_device.h"
#include "downloader/stage_outcome.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_backend.h"

// A whole run of the main routine in this process: the scripted console and
// a fresh working folder.

namespace pat::test {

class InProcessRun {
 public:
  InProcessRun() = default;
  ~InProcessRun();

  // Runs the program; its exit status.
  int run(const std::string& command_line = "");

  // Goes on as the run frame does after a stage: false for go_on; otherwise
  // the closing screen and prompt that the outcome asks for, and true.
  bool ends_run(Outcome outcome);

  std::string row(int row) const;  // 1-based, trailing blanks cut
  std::string screen_text() const;
  std::string folder() const { return folder_.path(); }
  std::string file(const std::string& name) const { return folder_.file(name); }

 private:
  // First, so that it is the working folder before the rest is made.
  WorkingFolder folder_{"pat-inproc"};

 public:
  ScriptedBackend backend;
  Console console{backend};
  FileTable files{open_port_device};
  Program program{console, files};
};

}  // namespace pat::test
