// The serial device name and option parse on any name: a name that is no
// serial device name is left alone, a malformed one fails with 64 and
// nothing else, and an accepted one has every setting within its range. The
// letter case of the name, and a "," added at the end of options that lack
// one, change nothing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "downloader/run_error.h"
#include "downloader/serial/serial_settings.h"
#include "tests/fuzz/fuzz_support.h"

using namespace pat;

namespace {

// What the parse gave: -1 no serial name, 0 accepted, else the error.
struct Outcome {
  int result = -1;
  SerialSettings settings;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome parse(std::string_view name) {
  Outcome outcome;
  // A marker in the settings shows whether a name that is no serial name
  // left them alone.
  outcome.settings.port = -7;
  try {
    outcome.result = com_option_parse(name, outcome.settings) ? 0 : -1;
  } catch (const RunError& e) {
    outcome.result = e.number;
  }
  return outcome;
}

// The device part alone: "COM" in any case, digits without a leading 0, ":".
bool serial_name(std::string_view name) {
  if (name.size() < 4) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if ((name[i] | 0x20) != "com"[i]) return false;
  }
  const std::size_t colon = name.find(':', 3);
  if (colon == std::string_view::npos) return false;
  const std::string_view digits = name.substr(3, colon - 3);
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return digits.empty() || digits[0] != '0';
}

std::string flip_case(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) c ^= 0x20;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::enter_scratch_folder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const std::string shown = fuzz::escaped(name);
  const Outcome outcome = parse(name);

  if (!serial_name(name)) {
    FUZZ_CHECK(outcome.result == -1, shown);
    FUZZ_CHECK(outcome.settings.port == -7, shown);
    return 0;
  }
  FUZZ_CHECK(outcome.result == 0 || outcome.result == err::bad_file_name, shown);
  const std::string_view digits = name.substr(3, name.find(':') - 3);
  if (digits.empty() || digits.size() > 3 || std::stoi(std::string(digits)) > 255) {
    FUZZ_CHECK(outcome.result == err::bad_file_name, shown);
  }
  if (outcome.result == 0) {
    const SerialSettings& s = outcome.settings;
    FUZZ_CHECK(s.port == std::stoi(std::string(digits)), shown);
    FUZZ_CHECK(s.baud_rate > 0, shown);
    FUZZ_CHECK(s.data_bits >= 5 && s.data_bits <= 8, shown);
    FUZZ_CHECK(s.parity >= Parity::none && s.parity <= Parity::pe, shown);
    FUZZ_CHECK(s.stop_bits >= StopBits::one && s.stop_bits <= StopBits::two, shown);
    FUZZ_CHECK(s.cd_ms <= 65535 && s.cs_ms <= 65535 && s.ds_ms <= 65535 && s.op_ms <= 65535,
               shown);
    FUZZ_CHECK(s.ascii_mode || !s.line_feed, shown);
  }

  FUZZ_CHECK(parse(flip_case(name)) == outcome, shown + " in the other letter case");
  if (name.back() != ',') {
    FUZZ_CHECK(parse(std::string(name) + ",") == outcome, shown + " with a final comma");
  }
  return 0;
}
