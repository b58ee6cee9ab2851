#pragma once

namespace pat {

// What turns the captured certificate download into the output file.
enum class Writer {
  none,  // the capture itself is the output file
  csv,
  lorvane,
  basic_report,
  wide_report,
};

constexpr bool writes_report(Writer writer) {
  return writer == Writer::basic_report || writer == Writer::wide_report;
}

}  // namespace pat
