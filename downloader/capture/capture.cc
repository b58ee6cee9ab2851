#include "downloader/capture/capture.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "downloader/capture/capture_rules.h"
#include "downloader/run_error.h"

namespace pat {
namespace {

constexpr int port_file = 1;
constexpr int output_file = 2;
// With no key wake-up to wait on, a wait is cut this short, so that the
// Escape poll and the end request keep their meaning.
constexpr int blind_wait_ms = 5;

// Milliseconds from one clock reading to a later one; at least 1 while the
// later one is still ahead.
int ms_until(float deadline, float now) {
  const double ms = std::ceil((static_cast<double>(deadline) - now) * 1000);
  return ms <= 0 ? 0 : static_cast<int>(std::min(ms, 60000.0));
}

}  // namespace

bool capture_download(Console& c, FileTable& f, const CaptureClock& clock,
                      const CaptureOrder& order, Text& download_at) {
  // The output first: a name that another copy is still writing is refused
  // (70) before this copy touches its port. What the file held stays until
  // the download's first byte.
  f.open_file(order.file_name, mode_output, output_file, Emptying::at_first_write);
  // A file that came under the name after the operator was asked (another
  // copy's kept download) is not this run's to replace.
  const OpenFile* output = f.entry(output_file);
  if (!output->created && output->identity != order.output_agreed) {
    f.close_file(output_file);
    raise_error(err::file_already_open);
  }
  // Only a port: an open text that names none (port 2.5) must not make a file.
  f.open_port(order.open_text, port_file);

  CaptureRules rules(order.byte_rule, clock());
  // Numbers are drawn again only when they change: drawing the same number
  // over itself changes nothing on the screen.
  float shown_count = -1;
  float shown_countdown = std::nanf("");

  c.clear_screen();
  c.locate_cursor(2, 2);
  c.print_line("Waiting for data from Supernova. This can take up to 60 seconds");
  c.locate_cursor(3, 1);
  c.print_line(" Hit ESC to quit :");

  const CaptureRules::NextKey next_key = [&c] { return c.next_key_hit(); };
  std::string block;
  for (;;) {
    c.check_end_request();
    f.read_available(port_file, block);
    const CaptureStep step = rules.step(block, clock(), next_key);
    if (!step.written.empty()) f.print_to_file(output_file, step.written, false);
    if (order.converted_later && download_at.empty() && rules.data_received())
      download_at = order.file_name;

    if (step.reading_screen) {
      c.clear_screen();
      c.print_line(" Reading data from Supernova on COM port #" + order.port_text);
      c.print_line(" Writing data to '" + order.file_name + "'");
      c.print_line(" Writing record #");
      shown_count = -1;
    } else if (step.countdown && rules.countdown() != shown_countdown) {
      c.locate_cursor(3, 19);
      c.print_number(rules.countdown(), true);
      shown_countdown = rules.countdown();
    }
    if (step.count) {
      const float whole = floor_single(rules.record_count());
      if (whole != shown_count) {
        c.locate_cursor(3, 18);
        c.print_number(whole, true);
        shown_count = whole;
      }
    }
    if (rules.ended()) break;

    // After bytes, more may be waiting already; a key waiting is the next
    // pass's. Otherwise sleep until the port or a key has something, or
    // until the rules have something to do.
    if (!block.empty() || (!rules.data_received() && c.key_events_waiting())) continue;
    const int wake_fd = c.wake_fd();
    int wait_ms = ms_until(rules.next_deadline(), clock());
    if (wake_fd < 0) wait_ms = std::min(wait_ms, blind_wait_ms);
    f.wait_for_data(port_file, wait_ms, wake_fd);
  }

  f.close_file(port_file);
  f.close_file(output_file);
  c.clear_screen();

  if (!rules.data_received()) {
    c.print_line(" ERROR");
    c.print_empty_line();
    c.print_line(" NO FILE RECEIVED FROM SUPERNOVA - CHECK COM PORT SETTINGS");
    // Closed without a byte, the output is gone if this run made it, and
    // as it was if it stood there before.
    c.print_empty_line();
  }
  return rules.data_received();
}

}  // namespace pat
