// The capture's rules fed random bytes, block splits, clock steps and keys.
// Fed in blocks, they give the same file, count, end and screens as fed one
// byte at a time, and as a plain model of the loop that takes one byte a
// pass and passes over line noise before the first other byte.
//
// The input: the byte rule, the starting clock, the keys queued, then
// chunks: a clock step, a length, a block size, the bytes received at that
// reading (length 0: a pass with nothing received) and where to look between
// that reading and the next deadline.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "downloader/capture/capture_rules.h"
#include "downloader/text/text.h"

namespace {

using pat::ByteRule;
using pat::CaptureRules;
using pat::CaptureStep;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ == size_; }
  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string bytes(std::size_t n) {
    n = std::min(n, size_ - at_);
    std::string s(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return s;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

struct Keys {
  std::deque<std::int32_t> queue;
  int asked = 0;
  CaptureRules::NextKey source() {
    return [this] {
      ++asked;
      if (queue.empty()) return std::int32_t{0};
      const std::int32_t key = queue.front();
      queue.pop_front();
      return key;
    };
  }
};

// The loop one byte a pass, its rules spelled out plainly.
struct Model {
  Model(ByteRule r, float clock)
      : rule(r), quiet_since(clock), countdown_second(pat::floor_single(clock)) {}

  void pass(int byte, float now, const CaptureRules::NextKey& next_key) {
    if (data_received && !reading_screen_shown) {
      reading_screen_shown = true;
      screen_drawn = true;
    }
    // Line noise: 0 and 255 before any other byte count as nothing received.
    if (byte > 0 && byte < 255) line_live = true;
    if (byte >= 0 && line_live) {
      char b = static_cast<char>(byte);
      bool dropped = false;
      if (rule == ByteRule::pats_plus && b == '\r') b = ',';
      if (rule == ByteRule::pats_plus && b == '\n') dropped = true;
      if (!dropped) {
        double step = 0;
        if (rule == ByteRule::pats_plus && b == ',') step = 0.0715;
        else if (rule == ByteRule::summary && b == '\r') step = 0.3333;
        else if (b == '+') step = 0.25;
        if (step != 0) count = static_cast<float>(static_cast<double>(count) + step);
        file += b;
        quiet_since = now;
        data_received = true;
        tail += b;
        if (tail.size() == 12) tail.erase(0, 1);
      }
    }
    if (!reading_screen_shown && now - quiet_since >= 60) tail = "end of data";
    if (reading_screen_shown && now - quiet_since >= 5) tail = "end of data";
    if (!data_received) {
      if (pat::floor_single(now) > countdown_second) {
        countdown_second += 1;
        countdown -= 1;
      }
      if (next_key() == 27) tail = "end of data";
    }
    ended = pat::string_equal(pat::string_lcase(tail), "end of data");
  }

  ByteRule rule;
  float quiet_since;
  float countdown_second;
  float countdown = 60;
  float count = 0;
  bool data_received = false;
  bool reading_screen_shown = false;
  bool screen_drawn = false;
  bool ended = false;
  bool line_live = false;
  std::string tail;
  std::string file;
};

struct Fed {
  Fed(ByteRule rule, float clock, const std::deque<std::int32_t>& keys)
      : rules(rule, clock), keys{keys} {}

  // The chunk in blocks of `size`; the bytes taken.
  std::size_t feed(const std::string& chunk, std::size_t size, float now) {
    const CaptureRules::NextKey next_key = keys.source();
    if (chunk.empty()) {
      take(rules.step(chunk, now, next_key), 0);
      return 0;
    }
    std::size_t taken = 0;
    for (std::size_t i = 0; i < chunk.size() && !rules.ended(); i += size) {
      const std::string block = chunk.substr(i, size);
      taken += take(rules.step(block, now, next_key), block.size());
    }
    return taken;
  }

  std::size_t take(const CaptureStep& s, std::size_t offered) {
    if (s.taken > offered || s.written.size() > s.taken) std::abort();
    // Only the closing text leaves bytes untaken.
    if (s.taken < offered && !rules.ended()) std::abort();
    file.append(s.written);
    screen_drawn |= s.reading_screen;
    return s.taken;
  }

  CaptureRules rules;
  Keys keys;
  std::string file;
  bool screen_drawn = false;
};

bool same_float(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  const auto rule = static_cast<ByteRule>(in.byte() % 3);
  float now = in.byte() * 0.37f;
  std::deque<std::int32_t> keys;
  for (int n = in.byte() % 8; n > 0; --n) {
    const std::uint8_t k = in.byte();
    keys.push_back(k % 4 == 0 ? 27 : k % 4 == 1 ? -27 : k);
  }

  Fed blocks(rule, now, keys);
  Fed single(rule, now, keys);
  Model model(rule, now);
  Keys model_keys{keys};
  const CaptureRules::NextKey model_key = model_keys.source();

  while (!in.empty() && !model.ended) {
    now += in.byte() / 16.0f;  // up to 16 s: both the silence and the minute
    const std::size_t length = in.byte() % 64;
    const std::size_t block_size = 1 + in.byte() % 32;
    const std::string chunk = in.bytes(length);

    const std::size_t taken = blocks.feed(chunk, block_size, now);
    check(single.feed(chunk, 1, now) == taken);
    if (chunk.empty()) {
      model.pass(-1, now, model_key);
    } else {
      std::size_t model_taken = 0;
      for (std::size_t i = 0; i < chunk.size() && !model.ended; ++i, ++model_taken)
        model.pass(static_cast<unsigned char>(chunk[i]), now, model_key);
      check(model_taken == taken);
    }

    for (const Fed* fed : {&blocks, &single}) {
      const CaptureRules& r = fed->rules;
      check(fed->file == model.file);
      check(same_float(r.record_count(), model.count));
      check(same_float(r.countdown(), model.countdown));
      check(r.ended() == model.ended);
      check(r.data_received() == model.data_received);
      check(r.reading_screen_shown() == model.reading_screen_shown);
      check(fed->screen_drawn == model.screen_drawn);
      check(fed->keys.asked == model_keys.asked);
    }

    // Nothing changes before the deadline: the capture may sleep until then.
    const CaptureRules& r = blocks.rules;
    const float deadline = r.next_deadline();
    const float probe_at = now + (deadline - now) * (in.byte() / 256.0f);
    if (!r.ended() && probe_at < deadline) {
      CaptureRules probe = r;
      probe.step("", probe_at, [] { return std::int32_t{0}; });
      check(!probe.ended());
      check(same_float(probe.countdown(), r.countdown()));
    }
  }
  return 0;
}
