#pragma once

#include <string>
#include <vector>

#include "downloader/console/console.h"
#include "downloader/console/scripted_backend.h"
#include "downloader/files/file_table.h"
#include "downloader/program.h"
#include "downloader/stage_outcome.h"

// A whole run of the main routine in this process: the scripted console and
// a fresh working folder.

namespace pat::test {

class InProcessRun {
 public:
  InProcessRun();
  ~InProcessRun();

  // Runs the program; its exit status.
  int run(const std::string& command_line = "");

  // Goes on as the run frame does after a stage: false for go_on; otherwise
  // the closing screen and prompt that the outcome asks for, and true.
  bool ends_run(Outcome outcome);

  std::string row(int row) const;  // 1-based, trailing blanks cut
  std::string screen_text() const;
  std::string folder() const { return folder_; }
  std::string file(const std::string& name) const { return folder_ + "/" + name; }

  ScriptedBackend backend;
  Console console{backend};
  FileTable files;
  Program program{console, files};

 private:
  std::string folder_;
  std::string old_cwd_;
};

}  // namespace pat::test
