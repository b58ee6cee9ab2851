#include "downloader/capture/capture.h"

namespace pat {
namespace {

constexpr int port_file = 1;
constexpr int output_file = 2;
// While nothing is waiting the loop blocks on the port this long at most,
// so the time rules and the Escape poll keep their meaning.
constexpr int idle_block_ms = 5;

// Single-precision sum, rounded once.
float add_count(float count, double step) {
  return static_cast<float>(static_cast<double>(count) + step);
}

}  // namespace

Outcome capture_download(Program& p) {
  RunSettings& s = p.settings;
  Console& c = p.console;
  FileTable& f = p.files;

  // The output first: a name that another copy is still writing is refused
  // (70) before this copy touches its port.
  f.open_file(s.file_name, mode_output, output_file);
  f.open_file("COM" + s.port_text + ":" + s.baud_text + ",N,8,1,BIN,CS0,DS0", mode_random,
              port_file);

  float quiet_since = p.clock();
  s.data_received = false;
  float record_count = 0;
  float countdown_second = floor_single(quiet_since);
  float countdown = 60;
  bool reading_screen_shown = false;
  Text end_tail;
  FixedText byte_buffer(1);
  // The count is redrawn after every byte; redrawing an unchanged count
  // changes nothing on the screen, so it is skipped.
  float shown_count = -1;

  c.clear_screen();
  c.locate_cursor(2, 2);
  c.print_line("Waiting for data from Supernova. This can take up to 60 seconds");
  c.locate_cursor(3, 1);
  c.print_line(" Hit ESC to quit :");

  for (;;) {
    c.check_end_request();
    if (s.data_received && !reading_screen_shown) {
      c.clear_screen();
      c.print_line(" Reading data from Supernova on COM port #" + s.port_text);
      c.print_line(" Writing data to '" + s.file_name + "'");
      c.print_line(" Writing record #");
      reading_screen_shown = true;
      shown_count = -1;
    }

    if (f.file_location(port_file) != 0) {
      f.get_from_file(port_file, byte_buffer);
      const unsigned char received = static_cast<unsigned char>(byte_buffer.value()[0]);
      // PATS+ is the tester's file with its line ends made commas; every
      // other format keeps the bytes as received.
      bool dropped = false;
      if (s.output_format == 1) {
        if (received == 13) byte_buffer.assign(",");
        if (received == 10) dropped = true;
      }
      if (!dropped) {
        const char b = byte_buffer.value()[0];
        if (s.output_format == 1 && b == ',') {
          record_count = add_count(record_count, 0.0715);
        } else if (s.output_format == 3 && b == 13) {
          record_count = add_count(record_count, 0.3333);
        } else if (b == '+') {
          record_count = add_count(record_count, 0.25);
        }
        f.print_to_file(output_file, byte_buffer.value(), false);
        quiet_since = p.clock();
        const float whole = floor_single(record_count);
        if (whole != shown_count) {
          c.locate_cursor(3, 18);
          c.print_number(whole, true);
          shown_count = whole;
        }
        s.data_received = true;
        end_tail += b;
        if (end_tail.size() == 12) end_tail.erase(0, 1);
      }
    } else {
      f.wait_for_data(port_file, idle_block_ms);
    }

    const float clock_now = p.clock();
    if (!reading_screen_shown && clock_now - quiet_since >= 60) end_tail = "end of data";
    if (reading_screen_shown && clock_now - quiet_since >= 5) end_tail = "end of data";
    if (!s.data_received) {
      if (floor_single(clock_now) > countdown_second) {
        countdown_second += 1;
        countdown -= 1;
      }
      c.locate_cursor(3, 19);
      c.print_number(countdown, true);
      if (c.next_key_hit() == 27) end_tail = "end of data";
    }
    if (string_equal(string_lcase(end_tail), "end of data")) break;
  }

  f.close_file(port_file);
  f.close_file(output_file);
  c.clear_screen();

  if (!s.data_received) {
    c.print_line(" ERROR");
    c.print_empty_line();
    c.print_line(" NO FILE RECEIVED FROM SUPERNOVA - CHECK COM PORT SETTINGS");
    kill_files(s.file_name);
    c.print_empty_line();
    return Outcome::version_lines;
  }
  return Outcome::go_on;
}

}  // namespace pat
