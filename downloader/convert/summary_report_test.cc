#include "downloader/convert/summary_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "downloader/files/file_identity.h"
#include "downloader/run_error.h"
#include "tests/support/conversion_helpers.h"
#include "tests/support/file_bytes.h"

namespace pat::test {
namespace {

// Builds the report of sum.txt; download_at as the report leaves it.
ConversionResult build(Scene& scene, Text& download_at,
                       const std::optional<FileIdentity>& temporary_agreed = {}) {
  return build_summary_report(scene.console, scene.files, {"sum.txt", temporary_agreed},
                              download_at);
}

// The error the report ended with, 0 for none.
int error_of_build(Scene& scene, const std::optional<FileIdentity>& temporary_agreed = {}) {
  Text download_at;
  try {
    build(scene, download_at, temporary_agreed);
  } catch (const RunError& e) {
    return e.number;
  }
  return 0;
}

const std::string titles =
    "Appliance ID     Date      Site             Location         User         Result\r\n"
    "------------     ----      ----             --------         ----         ------\r\n";

std::string numbered_lines(int n, const std::string& end) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "L" + std::to_string(i) + end;
  return s;
}

struct SummaryCase {
  const char* name;
  std::string capture;
  std::string rows;  // after the title lines
  bool kept = false;  // the download stays under the temporary name
};

void PrintTo(const SummaryCase& c, std::ostream* out) { *out << c.name; }

class SummaryReport : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SummaryReport, EveryThirdLineFromTheFourth) {
  const SummaryCase& c = GetParam();
  Scene scene;
  write_bytes(scene.file("sum.txt"), c.capture);
  Text download_at;
  const ConversionResult result = build(scene, download_at);
  EXPECT_EQ(read_bytes(scene.file("sum.txt")), titles + c.rows);
  EXPECT_EQ(result.copy, "sum.xtx");
  EXPECT_EQ(result.kept, c.kept);
  if (c.kept) {
    EXPECT_EQ(read_bytes(scene.file("sum.xtx")), c.capture);
    EXPECT_EQ(download_at, "sum.xtx");
  } else {
    EXPECT_FALSE(std::filesystem::exists(scene.file("sum.xtx")));
    EXPECT_EQ(download_at, "");
  }
  EXPECT_FALSE(scene.files.is_open(1));
  EXPECT_FALSE(scene.files.is_open(2));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SummaryReport,
    ::testing::Values(
        // No line of data: the download is kept.
        SummaryCase{"OneLine", numbered_lines(1, "\r\n"), "", true},
        SummaryCase{"TwoLines", numbered_lines(2, "\r\n"), "", true},
        SummaryCase{"ThreeLines", numbered_lines(3, "\r\n"), "", true},
        SummaryCase{"FourLines", numbered_lines(4, "\r\n"), "L4\r\n"},
        SummaryCase{"TenLines", numbered_lines(10, "\r\n"), "L4\r\nL7\r\nL10\r\n"},
        SummaryCase{"CrAlone", numbered_lines(7, "\r"), "L4\r\nL7\r\n"},
        SummaryCase{"LfAlone", numbered_lines(7, "\n"), "L4\r\nL7\r\n"},
        SummaryCase{"LfCr", numbered_lines(7, "\n\r"), "L4\r\nL7\r\n"},
        SummaryCase{"LastLineWithoutEnd", "a\nb\nc\nd\ne\nf\n  g  ", "d\r\n  g  \r\n"},
        SummaryCase{"EmptySelectedLine", "a\nb\nc\n\ne\n", "\r\n"},
        SummaryCase{"ClosingTextSelected", "a\nb\nc\nend of data", "end of data\r\n"},
        // A byte 26 ends the reading: what follows it is not in the report.
        SummaryCase{"ByteTwentySixInTheMiddle", "a\nb\nc\nd\n\x1a" + numbered_lines(9, "\n"),
                    "d\r\n", true},
        SummaryCase{"OneFinalByteTwentySix", numbered_lines(4, "\r\n") + "\x1a", "L4\r\n"},
        SummaryCase{"TwoFinalBytesTwentySix", numbered_lines(4, "\r\n") + "\x1a\x1a", "L4\r\n",
                    true},
        // A certificate download sent in place of the summary: the report
        // would hold a third of its lines, so the download stays.
        SummaryCase{"CertificateDownload",
                    "=====\r\nAPPLIANCE: A1\r\nSITE: NORTH\r\nSIGNATURE:\r\n"
                    "=====\r\nAPPLIANCE: A2\r\nSITE: NORTH\r\nSIGNATURE:\r\n",
                    "SIGNATURE:\r\nSITE: NORTH\r\n", true},
        SummaryCase{"OnlyASignatureLine", "a\nb\nc\nd\n  SIGNATURE: J SMITH\n", "d\r\n", true},
        SummaryCase{"ApplianceIdOnTheDroppedLine", "APPLIANCE: A1\nb\nc\nd\n", "d\r\n", true},
        // Words of a summary's own header in other letters are no label.
        SummaryCase{"SummaryHeaderWords", "Appliance Signature\nb\nc\nd\n", "d\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SummaryReportHeader, HeaderLinesComeFirst) {
  Scene scene;
  write_bytes(scene.file("header.txt"), "ACME\n\nSITE  \n");
  write_bytes(scene.file("sum.txt"), numbered_lines(4, "\r\n"));
  EXPECT_EQ(error_of_build(scene), 0);
  EXPECT_EQ(read_bytes(scene.file("sum.txt")), "ACME\r\n\r\nSITE  \r\n" + titles + "L4\r\n");
}

// The file under the temporary name that the operator agreed to replace
// goes; one never asked about stays, and so does the capture.
TEST(SummaryReportHeader, LeftoverTemporaryFileGoesOnlyWhenAgreed) {
  for (const bool agreed : {true, false}) {
    SCOPED_TRACE(agreed ? "agreed" : "never asked about");
    Scene scene;
    write_bytes(scene.file("sum.xtx"), "from an earlier run");
    write_bytes(scene.file("sum.txt"), numbered_lines(4, "\n"));
    std::optional<FileIdentity> asked;
    if (agreed) asked = file_identity("sum.xtx");
    const int error = error_of_build(scene, asked);
    scene.files.close_all();
    if (agreed) {
      EXPECT_EQ(error, 0);
      EXPECT_EQ(read_bytes(scene.file("sum.txt")), titles + "L4\r\n");
      EXPECT_FALSE(std::filesystem::exists(scene.file("sum.xtx")));
    } else {
      EXPECT_EQ(error, err::file_already_open);
      EXPECT_EQ(read_bytes(scene.file("sum.txt")), numbered_lines(4, "\n"));
      EXPECT_EQ(read_bytes(scene.file("sum.xtx")), "from an earlier run");
    }
  }
}

// A capture whose first byte is 26 has no first line to drop.
TEST(SummaryReportHeader, FirstByteTwentySixIsInputPastEnd) {
  Scene scene;
  write_bytes(scene.file("sum.txt"), "\x1aL1\r\nL2\r\n");
  EXPECT_EQ(error_of_build(scene), err::input_past_end);
  // The download stays whole under the temporary name.
  EXPECT_EQ(read_bytes(scene.file("sum.xtx")), "\x1aL1\r\nL2\r\n");
}

}  // namespace
}  // namespace pat::test
