#include "downloader/capture/capture_rules.h"

#include <algorithm>
#include <cstring>

#include "downloader/text/text.h"

namespace pat {
namespace {

constexpr unsigned char cr = 13;
constexpr unsigned char lf = 10;
constexpr char closing_text[] = "end of data";
constexpr std::size_t closing_size = sizeof closing_text - 1;
constexpr std::int32_t escape = 27;

// What a received byte needs beyond being written; 0 for nothing.
constexpr std::uint8_t dropped = 1;    // not written at all
constexpr std::uint8_t to_comma = 2;   // written as ','
constexpr std::uint8_t counted = 4;    // may grow the record count
constexpr std::uint8_t may_close = 8;  // may be the last byte of the closing text

// Single-precision sum, rounded once.
float add_count(float count, double step) {
  return static_cast<float>(static_cast<double>(count) + step);
}

}  // namespace

CaptureRules::CaptureRules(ByteRule rule, float clock)
    : rule_(rule), quiet_since_(clock), countdown_second_(floor_single(clock)) {
  kind_['+'] = counted;
  kind_['a'] = kind_['A'] = may_close;
  switch (rule) {
    case ByteRule::pats_plus:
      kind_[lf] = dropped;
      kind_[cr] = to_comma;
      kind_[','] = counted;
      break;
    case ByteRule::summary:
      kind_[cr] = counted;
      break;
    case ByteRule::as_sent:
      break;
  }
}

CaptureStep CaptureRules::step(std::string_view block, float now, const NextKey& next_key) {
  CaptureStep out;
  if (ended_) return out;
  changed_.clear();
  written_ = 0;
  noise_ = 0;
  if (block.empty()) {
    pass(block.data(), -1, now, next_key, out);
    return out;
  }
  if (rule_ == ByteRule::pats_plus) changed_.reserve(block.size());

  // Pass by pass while a pass may do more than write its byte: before the
  // first byte (the countdown, the keys), the pass that draws the reading
  // screen, and a silence that has already run out.
  std::size_t i = 0;
  while (i < block.size() && !ended_ &&
         !(data_received_ && reading_screen_shown_ && !(now - quiet_since_ >= 5))) {
    pass(block.data(), static_cast<unsigned char>(block[i]), now, next_key, out);
    ++i;
  }
  if (i < block.size() && !ended_) run(block, i, now, out);

  out.written = std::string_view(written(block.data()), written_);
  keep_tail(out.written.data(), out.written.size());
  return out;
}

void CaptureRules::pass(const char* block, int byte, float now, const NextKey& next_key,
                        CaptureStep& out) {
  if (data_received_ && !reading_screen_shown_) {
    reading_screen_shown_ = true;
    out.reading_screen = true;
    out.count = false;  // the new screen shows no count until the next byte
  }

  bool closing = false;
  if (byte >= 0) {
    ++out.taken;
    auto b = static_cast<unsigned char>(byte);
    if (b != 0 && b != 255) line_live_ = true;
    if (!line_live_) {
      ++noise_;  // as if nothing had been received
    } else if ((kind_[b] & dropped) == 0) {
      if ((kind_[b] & to_comma) != 0) b = ',';
      count(b);
      if (rule_ == ByteRule::pats_plus) changed_.push_back(static_cast<char>(b));
      ++written_;
      quiet_since_ = now;
      out.count = true;
      data_received_ = true;
      closing = (kind_[b] & may_close) != 0 && closes(written(block), written_);
    }
  }

  if (!reading_screen_shown_ && now - quiet_since_ >= 60) closing = true;
  if (reading_screen_shown_ && now - quiet_since_ >= 5) closing = true;
  if (!data_received_) {
    // At most one step a pass: a late pass is caught up by the next ones.
    if (floor_single(now) > countdown_second_) {
      countdown_second_ += 1;
      countdown_ -= 1;
    }
    out.countdown = true;
    if (next_key() == escape) closing = true;
  }
  if (closing) ended_ = true;
}

void CaptureRules::run(std::string_view block, std::size_t from, float now, CaptureStep& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
  const std::size_t size = block.size();
  const bool changes = rule_ == ByteRule::pats_plus;
  const std::size_t written_before = written_;
  std::size_t i = from;
  while (i < size) {
    std::size_t plain_end = i;
    while (plain_end < size && kind_[bytes[plain_end]] == 0) ++plain_end;
    if (changes) changed_.append(block.data() + i, plain_end - i);
    written_ += plain_end - i;
    i = plain_end;
    if (i == size) break;

    auto b = bytes[i++];
    const std::uint8_t kind = kind_[b];
    if ((kind & dropped) != 0) continue;
    if ((kind & to_comma) != 0) b = ',';
    count(b);
    if (changes) changed_.push_back(static_cast<char>(b));
    ++written_;
    if ((kind & may_close) != 0 && closes(written(block.data()), written_)) {
      ended_ = true;
      break;
    }
  }
  out.taken = i;
  if (written_ > written_before) {
    quiet_since_ = now;
    out.count = true;
  }
}

void CaptureRules::count(unsigned char b) {
  if (rule_ == ByteRule::pats_plus && b == ',') {
    record_count_ = add_count(record_count_, 0.0715);
  } else if (rule_ == ByteRule::summary && b == cr) {
    record_count_ = add_count(record_count_, 0.3333);
  } else if (b == '+') {
    record_count_ = add_count(record_count_, 0.25);
  }
}

const char* CaptureRules::written(const char* block) const {
  return rule_ == ByteRule::pats_plus ? changed_.data() : block + noise_;
}

bool CaptureRules::closes(const char* written, std::size_t n) const {
  if (tail_size_ + n < closing_size) return false;
  for (std::size_t k = 0; k < closing_size; ++k) {
    const std::size_t back = closing_size - k;  // places from the end
    const char c = back <= n ? written[n - back] : tail_[tail_size_ - (back - n)];
    if (ascii_lower(c) != closing_text[k]) return false;
  }
  return true;
}

void CaptureRules::keep_tail(const char* written, std::size_t n) {
  if (n >= closing_size) {
    std::memcpy(tail_.data(), written + n - closing_size, closing_size);
    tail_size_ = closing_size;
    return;
  }
  const std::size_t kept = std::min(tail_size_, closing_size - n);
  std::memmove(tail_.data(), tail_.data() + tail_size_ - kept, kept);
  std::memcpy(tail_.data() + kept, written, n);
  tail_size_ = kept + n;
}

float CaptureRules::next_deadline() const {
  if (!data_received_) return std::min(countdown_second_ + 1, quiet_since_ + 60);
  if (!reading_screen_shown_) return quiet_since_;  // the next pass draws it
  return quiet_since_ + 5;
}

}  // namespace pat
