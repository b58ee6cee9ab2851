#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "downloader/run_error.h"
#include "downloader/serial/serial_settings.h"

namespace pat {

void PrintTo(const SerialSettings& s, std::ostream* os) {
  *os << "{port " << s.port << ", baud " << s.baud_rate << ", parity "
      << static_cast<int>(s.parity) << ", bits " << s.data_bits << ", stop "
      << static_cast<int>(s.stop_bits) << ", asc " << s.ascii_mode << ", rs "
      << s.rts_off << ", lf " << s.line_feed << ", cd " << s.cd_ms << ", cs "
      << s.cs_ms << ", ds " << s.ds_ms << ", op " << s.op_ms << "}";
}

namespace {

enum class Outcome { not_serial, malformed, serial };

struct Case {
  std::string text;
  Outcome outcome;
  SerialSettings expected{};
};

// What a bare "COM<port>:" gives, changed by `edit`.
SerialSettings bare(int port,
                    const std::function<void(SerialSettings&)>& edit = {}) {
  SerialSettings s;
  s.port = port;
  s.baud_rate = 300;
  s.parity = Parity::even;
  s.data_bits = 7;
  s.stop_bits = StopBits::one;
  s.cd_ms = 0;
  s.cs_ms = 1000;
  s.ds_ms = 1000;
  s.op_ms = 10000;
  if (edit) edit(s);
  return s;
}

// What the capture's own ",N,8,1,BIN,CS0,DS0" text gives.
SerialSettings program_text(int port, long baud) {
  return bare(port, [&](SerialSettings& s) {
    s.baud_rate = baud;
    s.parity = Parity::none;
    s.data_bits = 8;
    s.cs_ms = 0;
    s.ds_ms = 0;
    s.op_ms = 0;
  });
}

Case serial(std::string text, SerialSettings s) {
  return {std::move(text), Outcome::serial, s};
}
Case not_serial(std::string text) { return {std::move(text), Outcome::not_serial}; }
Case malformed(std::string text) { return {std::move(text), Outcome::malformed}; }

TEST(ComOptionParse, RecognisesAndParsesOpenTexts) {
  const std::vector<Case> cases = {
      // The capture's own texts, in either letter case.
      serial("COM3:19200,N,8,1,BIN,CS0,DS0", program_text(3, 19200)),
      serial("com3:19200,n,8,1,bin,cs0,ds0", program_text(3, 19200)),
      serial("cOm1:28800,N,8,1,BIN,CS0,DS0", program_text(1, 28800)),
      serial("COM1:,N,8,1,BIN,CS0,DS0", program_text(1, 300)),

      // Device part.
      not_serial("COM0:9600"),
      not_serial("COM03:9600"),
      not_serial("COM2.5:9600"),
      not_serial("COM1E+07:9600"),
      not_serial("COM3"),
      not_serial("COM"),
      not_serial("CO"),
      not_serial("CON3:9600"),
      not_serial("xCOM3:9600"),
      not_serial("COM 3:9600"),
      not_serial("records.txt"),
      malformed("COM:9600"),
      malformed("COM256:9600"),
      malformed("COM1000:9600"),
      malformed("COM99999999999999999999:9600"),
      serial("COM255:9600", bare(255, [](SerialSettings& s) { s.baud_rate = 9600; })),
      serial("COM1:", bare(1)),
      serial("COM1:,", bare(1)),

      // Default stop bits follow the baud rate and data bits.
      serial("COM1:110", bare(1, [](SerialSettings& s) {
               s.baud_rate = 110;
               s.stop_bits = StopBits::two;
             })),
      serial("COM1:110,,5", bare(1, [](SerialSettings& s) {
               s.baud_rate = 110;
               s.data_bits = 5;
               s.stop_bits = StopBits::one_and_half;
             })),
      serial("COM1:111,,5", bare(1, [](SerialSettings& s) {
               s.baud_rate = 111;
               s.data_bits = 5;
             })),
      serial("COM1:110,,5,1", bare(1, [](SerialSettings& s) {
               s.baud_rate = 110;
               s.data_bits = 5;
             })),
      serial("COM1:9600,,,2", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.stop_bits = StopBits::two;
             })),

      // Field characters and numbers.
      malformed("COM1:9600, N"),
      malformed("COM1:9600,N,8,1,CS05"),
      malformed("COM1:9600,N,8,1,BIN05"),
      malformed("COM1:05"),
      malformed("COM1:0"),
      malformed("COM1:B9600"),
      malformed("COM1:96A0"),
      malformed("COM1:9600,N,8,1,CS0A"),
      malformed("COM1:9600,N,8,1,BINX"),
      malformed("COM1:9600,N,8,1,-1"),
      // A long number is no reason to refuse: the rate is any positive number,
      // and RS ignores its number; the time-outs still refuse a large one.
      serial("COM1:99999999999999999999",
             bare(1, [](SerialSettings& s) { s.baud_rate = 2147483648L; })),
      serial("COM1:9600,N,8,1,RS99999999999999",
             bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::none;
               s.data_bits = 8;
               s.rts_off = true;
             })),
      malformed("COM1:9600,N,8,1,DS99999999999999"),
      malformed("com3:shop.txt"),
      malformed("COM1:9600,N,8,1.5"),

      // Parity, data bits and stop bits fields.
      serial("COM1:9600,E", bare(1, [](SerialSettings& s) { s.baud_rate = 9600; })),
      serial("COM1:9600,o,8", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::odd;
               s.data_bits = 8;
             })),
      serial("COM1:9600,S", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::space;
             })),
      serial("COM1:9600,M", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::mark;
             })),
      serial("COM1:9600,pe", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::pe;
             })),
      malformed("COM1:9600,X"),
      malformed("COM1:9600,NO"),
      malformed("COM1:9600,1"),
      malformed("COM1:9600,N,4"),
      malformed("COM1:9600,N,9"),
      malformed("COM1:9600,N,A"),
      malformed("COM1:9600,N,8,3"),
      malformed("COM1:9600,N,8,0"),
      malformed("COM1:9600,N,8,A"),

      // Options.
      malformed("COM1:9600,N,8,1,BIN,ASC"),
      malformed("COM1:9600,N,8,1,BIN,BIN"),
      malformed("COM1:9600,N,8,1,CS0,CS0"),
      malformed("COM1:9600,N,8,1,OP,OP1"),
      malformed("COM1:9600,N,8,1,,BIN"),
      malformed("COM1:9600,N,8,1,BIN,,"),
      malformed("COM1:9600,N,8,1,5"),
      malformed("COM1:9600,N,8,1,XY"),
      malformed("COM1:9600,N,8,1,DS70000"),
      malformed("COM1:9600,N,8,1,OP65536"),
      serial("COM1:9600,N,8,1,BIN,", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::none;
               s.data_bits = 8;
             })),
      serial("COM1:9600,N,8,1,RS7,TB,RB2,ASC,LF", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::none;
               s.data_bits = 8;
               s.rts_off = true;
               s.ascii_mode = true;
               s.line_feed = true;
             })),
      serial("COM1:9600,N,8,1,LF", bare(1, [](SerialSettings& s) {
               s.baud_rate = 9600;
               s.parity = Parity::none;
               s.data_bits = 8;
             })),
      serial("COM1:,,,,CS,DS", bare(1)),
      serial("COM1:,,,,CD,CS65535,DS3", bare(1, [](SerialSettings& s) {
               s.cs_ms = 65535;
               s.ds_ms = 3;
               s.op_ms = 30;
             })),
      serial("COM1:,,,,CD7000", bare(1, [](SerialSettings& s) {
               s.cd_ms = 7000;
               s.op_ms = 65535;
             })),
      serial("COM1:,,,,OP", bare(1, [](SerialSettings& s) { s.op_ms = 10000; })),
      serial("COM1:,,,,DS0,OP", bare(1, [](SerialSettings& s) {
               s.ds_ms = 0;
               s.op_ms = 10000;
             })),
      serial("COM1:,,,,OP0,CD9", bare(1, [](SerialSettings& s) {
               s.cd_ms = 9;
               s.op_ms = 0;
             })),
      serial("COM1:,,,,DS0", bare(1, [](SerialSettings& s) {
               s.ds_ms = 0;
               s.op_ms = 0;
             })),
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SerialSettings got;
    got.baud_rate = 1234;  // a result must never be left from before
    try {
      const bool is_serial = com_option_parse(c.text, got);
      ASSERT_NE(c.outcome, Outcome::malformed) << "no error raised";
      if (c.outcome == Outcome::not_serial) {
        EXPECT_FALSE(is_serial);
      } else {
        EXPECT_TRUE(is_serial);
        EXPECT_EQ(got, c.expected);
      }
    } catch (const RunError& e) {
      EXPECT_EQ(c.outcome, Outcome::malformed) << "raised " << e.number;
      EXPECT_EQ(e.number, 64);
    }
  }
}

}  // namespace
}  // namespace pat
