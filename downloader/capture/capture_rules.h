#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "downloader/capture/byte_rule.h"

// The capture's rules apart from the port, the file, the screen and the
// clock: fed the bytes received, the clock readings and the key events, they
// say what to write, what to show and when the capture ends.
//
// Bytes 0 and 255 before any other byte are line noise (a cable plugged in,
// a transmitter powering up): each is a pass with nothing received.
//
// The capture's loop is a series of passes, each taking at most one byte:
// a block of bytes counts as one pass per byte, all received at the same
// clock reading; an empty block is one pass with nothing received. Fed the
// same bytes, readings and keys, a block gives the same file, count, screens
// and end as its bytes fed one at a time.

namespace pat {

// What one step asks of the output file and the screen. A later field is
// shown after an earlier one.
struct CaptureStep {
  std::size_t taken = 0;     // bytes of the block taken; those after the end are not
  std::string_view written;  // for the output file; valid until the next step
  bool reading_screen = false;  // clear the screen, draw the reading screen
  bool countdown = false;       // show countdown() at row 3, column 19
  bool count = false;           // show the whole record count at row 3, column 18
};

class CaptureRules {
 public:
  // The oldest key event, 0 when there is none.
  using NextKey = std::function<std::int32_t()>;

  // clock: the reading taken right after the port was opened.
  CaptureRules(ByteRule rule, float clock);

  // The passes for `block`, received at clock reading `now`. next_key is
  // asked once per pass while nothing has been written.
  CaptureStep step(std::string_view block, float now, const NextKey& next_key);

  bool ended() const { return ended_; }
  bool data_received() const { return data_received_; }
  // For tests: the capture draws the screen as each step tells it.
  bool reading_screen_shown() const { return reading_screen_shown_; }
  float countdown() const { return countdown_; }
  float record_count() const { return record_count_; }
  // The reading at which a pass with nothing received may change something:
  // the next second of the countdown, the end of the wait or of the silence.
  float next_deadline() const;

 private:
  // One pass; byte -1 for nothing received. block: the step's block, whose
  // first out.taken bytes are taken.
  void pass(const char* block, int byte, float now, const NextKey& next_key, CaptureStep& out);
  // The passes of bytes that can only be written or dropped, counted and
  // checked for the closing text; from block[from].
  void run(std::string_view block, std::size_t from, float now, CaptureStep& out);
  void count(unsigned char b);
  // This step's bytes as written so far: changed_, or the block's bytes
  // after its noise.
  const char* written(const char* block) const;
  // Whether the bytes written so far, this step's being written[0, n), end
  // with the closing text.
  bool closes(const char* written, std::size_t n) const;
  void keep_tail(const char* written, std::size_t n);

  ByteRule rule_;
  std::array<std::uint8_t, 256> kind_{};
  float quiet_since_;
  float countdown_second_;
  float countdown_ = 60;
  float record_count_ = 0;
  bool data_received_ = false;
  bool reading_screen_shown_ = false;
  bool ended_ = false;
  // A byte other than 0 and 255 has been received, written or dropped.
  bool line_live_ = false;
  // The last bytes written before this step, at most 11.
  std::array<char, 11> tail_{};
  std::size_t tail_size_ = 0;
  // This step's bytes as written, when they differ from those received.
  std::string changed_;
  std::size_t written_ = 0;  // bytes written in this step
  std::size_t noise_ = 0;    // noise bytes of this step, all before its first written
};

}  // namespace pat
