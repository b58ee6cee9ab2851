#pragma once

#include <ctime>
#include <functional>

#include "downloader/console/console.h"
#include "downloader/files/file_table.h"
#include "downloader/run_settings.h"
#include "downloader/text/text.h"

namespace pat {

// Seconds since the program started, from a steady clock.
float timer_seconds();

// False when the platform cannot give the local date and time.
bool local_date_time(std::tm& out);

// Everything one run works on.
struct Program {
  Console& console;
  FileTable& files;
  RunSettings settings;
  Text command_line;
  std::function<float()> clock = timer_seconds;
  std::function<bool(std::tm&)> local_time = local_date_time;
  // Set once the error handler has been entered.
  bool handler_active = false;
};

}  // namespace pat
