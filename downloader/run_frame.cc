#include "downloader/run_frame.h"

#include <exception>
#include <initializer_list>
#include <new>
#include <string>
#include <utility>

#include "downloader/command_line.h"
#include "downloader/configuration.h"
#include "downloader/console/number_format.h"
#include "downloader/dialogue.h"
#include "downloader/finished_lines.h"
#include "downloader/formats.h"
#include "downloader/run_error.h"
#include "downloader/stage_orders.h"
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
    text += ".";
    if (!p.settings.download_at.empty()) {
      text += "\n";
      text += kept_download_line(p.settings.download_at);
    }
    text += "\nContinue?";
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

// One print of a closing screen.
struct ScreenLine {
  enum class Kind {
    line,   // the text and a line end, kept whole on one row
    piece,  // the text kept whole on one row, no line end
    empty,  // a line end alone
    bare,   // the text as it stands, no line end
  };
  Kind kind;
  Text text;
};

ScreenLine line(Text text) { return {ScreenLine::Kind::line, std::move(text)}; }
ScreenLine piece(Text text) { return {ScreenLine::Kind::piece, std::move(text)}; }
ScreenLine empty_line() { return {ScreenLine::Kind::empty, {}}; }
ScreenLine bare(Text text) { return {ScreenLine::Kind::bare, std::move(text)}; }

// Each print is a step of its own.
void show_lines(Program& p, std::string_view where, std::initializer_list<ScreenLine> lines) {
  Console& c = p.console;
  for (const ScreenLine& l : lines) {
    handler_step(p, where, [&] {
      switch (l.kind) {
        case ScreenLine::Kind::line: c.print_line(l.text); break;
        case ScreenLine::Kind::piece: c.print_text(l.text); break;
        case ScreenLine::Kind::empty: c.print_empty_line(); break;
        case ScreenLine::Kind::bare: c.print_to_screen(l.text, false); break;
      }
    });
  }
}

void close_files_1_and_2(Program& p) {
  handler_step(p, "closing file 1", [&] { p.files.close_file(1); });
  handler_step(p, "closing file 2", [&] { p.files.close_file(2); });
}

// The stages in their order, up to the one that decides how the run ends.
Outcome run_stages(Program& p) {
  RunSettings& s = p.settings;
  Outcome outcome = read_configuration(p);
  if (outcome != Outcome::go_on) return outcome;
  p.console.print_line("Read Data via RS-232 for Seaward Supernova");
  outcome = check_command_line(p);
  if (outcome != Outcome::go_on) return outcome;
  run_dialogue(p);
  show_tester_instructions(p);
  s.data_received = capture_download(p.console, p.files, p.clock, capture_order(s), s.download_at);
  if (!s.data_received) return Outcome::version_lines;
  finish_download(p);
  return Outcome::end_run;
}

// A box that ends the run names the download that nothing else holds.
// Short of memory, the box without that line is better than none.
void show_closing_box(Program& p, std::string_view caption, std::string_view text) {
  try {
    std::string with(text);
    if (!p.settings.download_at.empty())
      with += "\n" + kept_download_line(p.settings.download_at);
    p.console.show_message(caption, with);
  } catch (const std::bad_alloc&) {
    p.console.show_message(caption, text);
  }
}

}  // namespace

void main_program(Program& p) {
  try {
    p.settings.version_text = "0.12";
    p.settings.version_date = "16-11-2019";
    p.console.screen_statement(0);
    p.console.width_statement(100);
    p.console.set_palette_colour(7, rgb32_colour(255, 255, 255));
    p.console.colour_statement(0, 7);
    p.console.clear_screen();
    close_run(p, run_stages(p));
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
    show_closing_box(p, "Out of memory", "The program has run out of memory and must end.");
  } catch (const std::exception& e) {
    // A fault of the program itself: still close the files, so that nothing
    // written so far is lost.
    show_closing_box(p, "Program fault", e.what());
  }
  try {
    p.files.close_all();
  } catch (const RunError&) {
  }
  return 0;
}

void finish_download(Program& p) {
  RunSettings& s = p.settings;
  const OutputFormat& format = find_format(s.output_format);
  const bool converted = format.writer != Writer::none;
  ConversionResult made;
  if (converted) {
    made = convert_capture(p.console, p.files, p.local_time, conversion_order(s), s.download_at);
  } else if (s.summary_report) {
    made = build_summary_report(p.console, p.files, summary_report_order(s), s.download_at);
  }
  // A conversion's lines stand while its files are still open; the
  // summary-based report has closed its own.
  show_finished_lines(p.console, format, s.file_name, made.kept ? made.copy : Text());
  if (converted) close_conversion(p.files, made, s.download_at);
}

void close_run(Program& p, Outcome outcome) {
  if (outcome == Outcome::version_lines) show_version_lines(p);
  end_statement(p);
}

void handle_run_error(Program& p, int number) {
  p.handler_active = true;
  const float value = static_cast<float>(number);
  const RunSettings& s = p.settings;
  handler_step(p, "clearing the screen", [&] { p.console.clear_screen(); });
  show_lines(p, "showing the error", {line(" FATAL PROGRAMME ERROR!!")});
  if (value == err::device_unavailable) {
    show_lines(p, "showing the error",
               {empty_line(), line(" COM PORT " + s.port_text + " NOT ANSWERING")});
    close_files_1_and_2(p);
    handler_step(p, "deleting the output file " + s.file_name, [&] {
      // Only a file this run opened and locked is its own to delete; a name
      // whose open failed holds nothing of this run. An output closed before
      // its first byte is already as it was, and one that holds the download
      // stays.
      if (!p.files.opened_for_writing(s.file_name)) raise_error(err::file_not_found);
      if (p.files.left_as_found(s.file_name) || s.file_name == s.download_at) return;
      kill_files(s.file_name);
    });
  }
  if (value == err::permission_denied) {
    show_lines(p, "showing the error",
               {empty_line(),
                line(" Output file already open. Close any program that is reading " +
                     s.file_name)});
    close_files_1_and_2(p);
  }
  // The number in its display form and one blank, as print_number shows it.
  show_lines(p, "showing the error", {piece(" Error:"), line(single_to_string(value) + " ")});
  // A rerun must not take the name of a download that nothing else holds.
  if (!s.download_at.empty())
    show_lines(p, "showing the error", {line(kept_download_line(s.download_at))});
  show_lines(p, "showing the error", {empty_line()});
  show_version_lines(p);
  end_statement(p);
}

void show_version_lines(Program& p) {
  const RunSettings& s = p.settings;
  show_lines(p, "showing the version lines",
             {empty_line(), line(" Version : " + s.version_text + " - " + s.version_date),
              line(credits_lines[0]), line(credits_lines[1]), line(credits_lines[2]),
              empty_line()});
}

void end_statement(Program& p) {
  Console& c = p.console;
  handler_step(p, "closing the files", [&] { p.files.close_all(); });
  handler_step(p, "showing the closing prompt", [&] { c.set_scroll_region(25, 25); });
  show_lines(p, "showing the closing prompt",
             {empty_line(), bare("Press any key to continue")});
  // A key pressed before the prompt appeared must not end the wait.
  c.discard_typed_keys();
  for (;;) {
    c.wait_for_typed_key();
    if (!c.read_typed_key().empty()) break;
  }
  throw ProgramExit{};
}

}  // namespace pat
