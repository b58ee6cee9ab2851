#include "downloader/run_frame.h"

#include <exception>
#include <new>
#include <string>

#include "downloader/capture/capture.h"
#include "downloader/command_line.h"
#include "downloader/configuration.h"
#include "downloader/convert/convert_capture.h"
#include "downloader/convert/summary_report.h"
#include "downloader/dialogue.h"
#include "downloader/run_error.h"
#include "downloader/tester_instructions.h"

namespace pat {
namespace {

constexpr const char* credits_lines[] = {
    " Written for electricians who test portable appliances with a Seaward Supernova.",
    " It runs on Linux with a PC serial port or a USB to RS-232 adapter.",
    " Free to use. Keep a copy of every download with your test records.",
};

const char* error_meaning(int number) {
  switch (number) {
    case err::illegal_function_call: return "illegal function call";
    case err::bad_file_number: return "bad file number";
    case err::file_not_found: return "file not found";
    case err::bad_file_mode: return "bad file mode";
    case err::file_already_open: return "file already open";
    case err::bad_record_length: return "bad record length";
    case err::input_past_end: return "input past end of file";
    case err::bad_file_name: return "bad file name";
    case err::device_unavailable: return "device unavailable";
    case err::permission_denied: return "permission denied";
    case err::path_file_access: return "path or file access error";
    case err::path_not_found: return "path not found";
    default: return "run-time error";
  }
}

// Once the handler is active an error is not handed to it again: a box asks
// whether to go on; yes abandons only the failing step.
template <typename Step>
void handler_step(Program& p, std::string_view where, Step step) {
  if (!p.handler_active) {
    step();
    return;
  }
  try {
    step();
  } catch (const RunError& e) {
    std::string caption = "Unhandled Error #" + std::to_string(e.number);
    std::string text = "The error handler met an error while ";
    text += where;
    text += ": ";
    text += error_meaning(e.number);
    text += ".\nContinue?";
    if (!p.console.ask_yes_no(caption, text)) {
      try {
        p.files.close_all();
      } catch (const RunError&) {
        // Ending now is what was asked for.
      }
      throw ProgramExit{};
    }
  }
}

}  // namespace

const char* const finished_credits_line = " Thank you for keeping your test records safe.";

void main_program(Program& p) {
  try {
    p.settings.version_text = "0.12";
    p.settings.version_date = "16-11-2019";
    p.console.screen_statement(0);
    p.console.width_statement(100);
    p.console.set_palette_colour(7, rgb32_colour(255, 255, 255));
    p.console.colour_statement(0, 7);
    p.console.clear_screen();
    read_configuration(p);
    p.console.print_line("Read Data via RS-232 for Seaward Supernova");
    check_command_line(p);
    run_dialogue(p);
    show_tester_instructions(p);
    capture_download(p);
    const float format = p.settings.output_format;
    if (format == 5 || format == 6 || format == 7 || format == 8) convert_capture(p);
    const Text kept = build_summary_report(p);
    show_finished_lines(p, kept);
  } catch (const RunError& e) {
    handle_run_error(p, e.number);
  }
}

int run_program(Program& p) {
  try {
    main_program(p);
  } catch (const ProgramExit&) {
  } catch (const RunError&) {
    // Only reachable if the handler itself let an error through.
  } catch (const std::bad_alloc&) {
    p.console.show_message("Out of memory",
                           "The program has run out of memory and must end.");
  } catch (const std::exception& e) {
    // A fault of the program itself: still close the files, so that nothing
    // written so far is lost.
    p.console.show_message("Program fault", e.what());
  }
  try {
    p.files.close_all();
  } catch (const RunError&) {
  }
  return 0;
}

void handle_run_error(Program& p, int number) {
  p.handler_active = true;
  const float value = static_cast<float>(number);
  Console& c = p.console;
  handler_step(p, "clearing the screen", [&] { c.clear_screen(); });
  handler_step(p, "showing the error", [&] { c.print_line(" FATAL PROGRAMME ERROR!!"); });
  if (value == err::device_unavailable) {
    handler_step(p, "showing the error", [&] { c.print_empty_line(); });
    handler_step(p, "showing the error",
                 [&] { c.print_line(" COM PORT " + p.settings.port_text + " NOT ANSWERING"); });
    handler_step(p, "closing file 1", [&] { p.files.close_file(1); });
    handler_step(p, "closing file 2", [&] { p.files.close_file(2); });
    handler_step(p, "deleting the output file " + p.settings.file_name, [&] {
      // Only a file this run opened and locked is its own to delete; a name
      // whose open failed holds nothing of this run.
      if (!p.files.opened_for_writing(p.settings.file_name)) raise_error(err::file_not_found);
      kill_files(p.settings.file_name);
    });
  }
  if (value == err::permission_denied) {
    handler_step(p, "showing the error", [&] { c.print_empty_line(); });
    handler_step(p, "showing the error", [&] {
      c.print_line(" Output file already open. Close any program that is reading " +
                   p.settings.file_name);
    });
    handler_step(p, "closing file 1", [&] { p.files.close_file(1); });
    handler_step(p, "closing file 2", [&] { p.files.close_file(2); });
  }
  handler_step(p, "showing the error", [&] { c.print_text(" Error:"); });
  handler_step(p, "showing the error", [&] { c.print_number(value, true); });
  handler_step(p, "showing the error", [&] { c.print_empty_line(); });
  show_version_lines(p);
}

void show_version_lines(Program& p) {
  Console& c = p.console;
  handler_step(p, "showing the version lines", [&] { c.print_empty_line(); });
  handler_step(p, "showing the version lines", [&] {
    c.print_line(" Version : " + p.settings.version_text + " - " + p.settings.version_date);
  });
  for (const char* line : credits_lines) {
    handler_step(p, "showing the version lines", [&] { c.print_line(line); });
  }
  handler_step(p, "showing the version lines", [&] { c.print_empty_line(); });
  end_statement(p);
}

void show_finished_lines(Program& p, std::string_view kept) {
  Console& c = p.console;
  c.print_line(" Finished!");
  c.print_empty_line();
  c.print_line(" File '" + p.settings.file_name + "' created.");
  if (!kept.empty()) c.print_line(kept_download_line(kept));
  c.print_empty_line();
  c.print_line(finished_credits_line);
  c.print_empty_line();
  end_statement(p);
}

void end_statement(Program& p) {
  Console& c = p.console;
  handler_step(p, "closing the files", [&] { p.files.close_all(); });
  handler_step(p, "showing the closing prompt", [&] { c.set_scroll_region(25, 25); });
  handler_step(p, "showing the closing prompt", [&] { c.print_empty_line(); });
  handler_step(p, "showing the closing prompt",
               [&] { c.print_to_screen("Press any key to continue", false); });
  // A key pressed before the prompt appeared must not end the wait.
  c.discard_typed_keys();
  for (;;) {
    c.wait_for_typed_key();
    if (!c.read_typed_key().empty()) break;
  }
  throw ProgramExit{};
}

}  // namespace pat
