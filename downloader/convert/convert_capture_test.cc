#include "downloader/convert/convert_capture.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "downloader/convert/writers.h"
#include "downloader/files/file_identity.h"
#include "downloader/run_error.h"
#include "tests/support/conversion_helpers.h"
#include "tests/support/file_bytes.h"
#include "tests/support/screen_rows.h"

namespace pat::test {
namespace {

// What a conversion ended with: its error number (0 for none), what it did
// with the copy, and where it left the download.
struct Converted {
  int error = 0;
  ConversionResult result;
  Text download_at;
};

bool fixed_time(std::tm& t) {
  t = std::tm{};
  t.tm_year = 119;
  t.tm_mon = 10;
  t.tm_mday = 18;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 12;
  return true;
}

// Converts `capture`, captured under `name`, with `writer`, and closes the
// conversion.
Converted convert(Scene& scene, const std::string& name, Writer writer,
                  const std::string& capture,
                  const std::optional<FileIdentity>& temporary_agreed = {}) {
  const ConversionOrder order{.file_name = name,
                              .writer = writer,
                              .report_format = "2",
                              .trailer = {"0.12", "16-11-2019", 2},
                              .temporary_agreed = temporary_agreed};
  write_bytes(scene.file(name), capture);
  Converted converted;
  try {
    converted.result =
        convert_capture(scene.console, scene.files, fixed_time, order, converted.download_at);
    close_conversion(scene.files, converted.result, converted.download_at);
  } catch (const RunError& e) {
    converted.error = e.number;
  }
  return converted;
}

const std::string no_record = "=====\r\nAPPLIANCE: A1\r\nDATE: 05/03/2019 14:25\r\nend of data";

// n complete records, without the closing text.
std::string records(int n, int first = 1) {
  std::string s;
  for (int i = first; i < first + n; ++i) {
    s += "=====\r\nAPPLIANCE: A" + std::to_string(i) + "\r\nSITE: NORTH\r\nSIGNATURE:\r\n";
  }
  return s;
}

const std::string eof26(1, '\x1a');

TEST(ConvertCapture, WithoutASignatureOnlyThePreambleAndTrailerAreWritten) {
  struct Case {
    const char* name;
    Writer writer;
    std::string expected;
  };
  const std::string report_titles =
      "Appliance ID   Tested   Site            Comment              User         Result\r\n"
      "------------   ------   ----            -------              ----         ------\r\n";
  const std::vector<Case> cases = {
      {"a.csv", Writer::csv, std::string(csv_title_text)},
      {"a.pat", Writer::lorvane,
       "EOD,11-18-2019,09:05:12,2,0.12,16-11-2019,a.pat,[WINDOWS],[32BIT],Faldercroswyth,"
       "SuperNova,,,,,,,,,,,,,,,,,,,EOF\r\n"},
      {"a.txt", Writer::basic_report, report_titles},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    EXPECT_EQ(convert(scene, c.name, c.writer, no_record).error, 0);
    EXPECT_EQ(read_bytes(scene.file(c.name)), c.expected);
    // Nothing converted: the download stays.
    EXPECT_EQ(read_bytes(scene.file("a.tmp")), no_record);
  }
}

// A file under the temporary name goes only when the operator agreed to
// replace that very file; one that came there since stays, and so does this
// run's download, under the output name.
TEST(ConvertCapture, LeftoverTemporaryFileGoesOnlyWhenAgreed) {
  struct Case {
    const char* name;
    bool agreed;           // the dialogue asked about the leftover, answered Y
    bool changed_since;    // and it was replaced after the answer
  };
  const Case cases[] = {
      {"agreed", true, false},
      {"never asked about", false, false},
      {"replaced after the answer", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    write_bytes(scene.file("shop.tmp"), "left by an earlier run");
    std::optional<FileIdentity> agreed;
    if (c.agreed) agreed = file_identity("shop.tmp");
    if (c.changed_since) write_bytes(scene.file("shop.tmp"), "another copy's download");
    const Converted converted = convert(scene, "shop.csv", Writer::csv, no_record, agreed);
    scene.files.close_all();
    if (c.agreed && !c.changed_since) {
      EXPECT_EQ(converted.error, 0);
      EXPECT_EQ(read_bytes(scene.file("shop.csv")), std::string(csv_title_text));
      // Kept, as nothing was converted: the download, not the leftover.
      EXPECT_EQ(read_bytes(scene.file("shop.tmp")), no_record);
      continue;
    }
    EXPECT_EQ(converted.error, err::file_already_open);
    EXPECT_EQ(read_bytes(scene.file("shop.csv")), no_record);
    EXPECT_EQ(read_bytes(scene.file("shop.tmp")),
              c.changed_since ? "another copy's download" : "left by an earlier run");
    EXPECT_EQ(converted.download_at, "");
  }
}

// What the conversion leaves where a run ends: the copy's name while it
// holds the download, none once the converted file does.
TEST(ConvertCapture, NamesWhereTheDownloadLies) {
  struct Case {
    const char* name;
    std::string capture;
    std::string download_at;
  };
  const Case cases[] = {
      {"converted whole", records(2), ""},
      {"nothing converted", no_record, "shop.tmp"},
      {"a comment block cut off", "APPLIANCE: A1\r\nCOMMENTS: x\r\n", "shop.tmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    EXPECT_EQ(convert(scene, "shop.csv", Writer::csv, c.capture).download_at, c.download_at);
  }
}

// A comment block cut off by the end of the capture: the rows written so far
// stay, and the whole download stays under the temporary name.
TEST(ConvertCapture, CommentBlockCutOffEndsWithInputPastEnd) {
  Scene scene;
  const std::string capture =
      "APPLIANCE: A1\r\nSIGNATURE:\r\nAPPLIANCE: A2\r\nCOMMENTS: x\r\nonly one more\r\n";
  EXPECT_EQ(convert(scene, "shop.csv", Writer::csv, capture).error, err::input_past_end);
  scene.files.close_all();
  EXPECT_EQ(read_bytes(scene.file("shop.csv")),
            std::string(csv_title_text) + "A1" + std::string(28, ',') + "\n");
  EXPECT_EQ(read_bytes(scene.file("shop.tmp")), capture);
}

// The conversion returns with both files open and the converted one on the
// medium, and the screen cleared for the finishing lines; the close ends it.
TEST(ConvertCapture, ReturnsWithItsFilesOpenForTheFinishingLines) {
  Scene scene;
  write_bytes(scene.file("shop.csv"), records(1));
  Text download_at;
  const ConversionOrder order{.file_name = "shop.csv", .writer = Writer::csv};
  const ConversionResult result =
      convert_capture(scene.console, scene.files, fixed_time, order, download_at);
  EXPECT_EQ(result.copy, "shop.tmp");
  EXPECT_FALSE(result.kept);
  EXPECT_TRUE(scene.files.is_open(1));
  EXPECT_TRUE(scene.files.is_open(2));
  EXPECT_EQ(row_text(scene.console, 1).find_first_not_of(' '), std::string::npos);
  EXPECT_EQ(download_at, "shop.tmp");
  close_conversion(scene.files, result, download_at);
  EXPECT_FALSE(scene.files.is_open(1));
  EXPECT_FALSE(scene.files.is_open(2));
  EXPECT_FALSE(std::filesystem::exists(scene.file("shop.tmp")));
  EXPECT_EQ(download_at, "");
}

struct Format {
  std::string label;
  Writer writer;
  std::string name;
};
const std::vector<Format> every_format = {{"CSV", Writer::csv, "shop.csv"},
                                          {"Lorvane", Writer::lorvane, "shop.pat"},
                                          {"Basic Report", Writer::basic_report, "shop.txt"},
                                          {"Wide Report", Writer::wide_report, "shop.txt"}};

std::string trace(const Format& format, const char* label) { return format.label + ": " + label; }

// The download is deleted only when the conversion read it to its last byte
// and wrote a record from it; otherwise it stays under the temporary name.
TEST(ConvertCapture, DownloadKeptUnlessWhollyConverted) {
  struct Case {
    const char* label;
    std::string capture;
    bool kept;
  };
  std::string summary = "SUMMARY OF TESTS\r\nId         Tested      Site            Result\r\n";
  for (int i = 1; i <= 12; ++i) {
    summary += "A000" + std::to_string(i) + "      05/03/2019  NORTH WORKSHOP  PASS\r\n";
  }
  summary += "end of data";
  const std::vector<Case> cases = {
      {"every record converted", records(4) + "end of data", false},
      {"one final byte 26 holds nothing", records(4) + "end of data" + eof26, false},
      {"a summary download has no record", summary, true},
      {"a byte 26 a quarter of the way in", records(1) + eof26 + records(3, 2) + "end of data",
       true},
      {"a byte 26 before the last record", records(3) + eof26 + records(1, 4), true},
      {"two final bytes 26", records(4) + eof26 + eof26, true},
      {"a byte 26 with one byte after it", records(4) + eof26 + "\n", true},
      {"a byte 26 first", eof26 + records(4), true},
  };
  for (const Format& format : every_format) {
    for (const Case& c : cases) {
      SCOPED_TRACE(trace(format, c.label));
      Scene scene;
      const Converted converted = convert(scene, format.name, format.writer, c.capture);
      EXPECT_EQ(converted.error, 0);
      EXPECT_EQ(converted.result.copy, "shop.tmp");
      EXPECT_EQ(converted.result.kept, c.kept);
      if (c.kept) {
        EXPECT_EQ(read_bytes(scene.file("shop.tmp")), c.capture);
      } else {
        EXPECT_FALSE(std::filesystem::exists(scene.file("shop.tmp")));
      }
      EXPECT_TRUE(std::filesystem::exists(scene.file(format.name)));
    }
  }
}

// A download that ends inside a record, one that no signature line
// completed, stays under the temporary name; one that ends with lines no
// rule reads does not. The converted file is the same either way: the
// unfinished record is dropped.
TEST(ConvertCapture, DownloadEndingInsideARecordKept) {
  struct Case {
    const char* label;
    std::string tail;  // after four whole records
    bool kept;
  };
  const std::vector<Case> cases = {
      {"ends after the signature", "", false},
      {"blank and separator lines and the closing text",
       "\r\n" + std::string(40, '=') + "\r\n  \r\nend of data\r\n", false},
      {"cut after part of a record", "=====\r\nAPPLIANCE: A5\r\nSITE: SOUTH\r\n", true},
      {"a label line after the last record", "SITE: SOUTH\r\nend of data", true},
      {"a label line that no report shows", "  VISUAL              P\r\n", true},
      {"a comment block without a signature", "COMMENTS: X\r\nA\r\nB\r\nC\r\n", true},
  };
  for (const Format& format : every_format) {
    Scene whole;
    ASSERT_EQ(convert(whole, format.name, format.writer, records(4)).error, 0);
    const std::string whole_file = read_bytes(whole.file(format.name));
    for (const Case& c : cases) {
      SCOPED_TRACE(trace(format, c.label));
      Scene scene;
      const std::string capture = records(4) + c.tail;
      const Converted converted = convert(scene, format.name, format.writer, capture);
      EXPECT_EQ(converted.error, 0);
      EXPECT_EQ(read_bytes(scene.file(format.name)), whole_file);
      EXPECT_EQ(converted.result.kept, c.kept);
      if (c.kept) {
        ASSERT_TRUE(std::filesystem::exists(scene.file("shop.tmp")));
        EXPECT_EQ(read_bytes(scene.file("shop.tmp")), capture);
      } else {
        EXPECT_FALSE(std::filesystem::exists(scene.file("shop.tmp")));
      }
    }
  }
}

}  // namespace
}  // namespace pat::test
