#include "downloader/formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pat {
namespace {

TEST(OutputFormatTable, WhatEachAnswerMeans) {
  struct Case {
    float answer;
    const char* report_format;
    float kept_as;
    bool summary_report;
    std::string_view extension;
    std::string_view tester_format;
    std::string_view tester_option;
    ByteRule capture_rule;
    Writer writer;
    std::string_view created_text;
    bool note;
  };
  const std::vector<Case> cases = {
      {1, "2", 1, false, "txt", "PATS+", "SEND USER", ByteRule::pats_plus, Writer::none,
       " File '", false},
      {2, "2", 2, false, "txt", "CERTIFICATE", "", ByteRule::as_sent, Writer::none, " File '",
       false},
      {3, "2", 3, false, "txt", "SUMMARY", "", ByteRule::summary, Writer::none, " File '", false},
      {4, "2", 4, false, "txt", "SSS", "", ByteRule::as_sent, Writer::none, " File '", false},
      {5, "2", 5, false, "csv", "CERTIFICATE", "", ByteRule::as_sent, Writer::csv, " CSV File '",
       false},
      {6, "2", 6, false, "pat", "CERTIFICATE", "", ByteRule::as_sent, Writer::lorvane,
       " Lorvane Data File '", false},
      {7, "2", 7, false, "txt", "CERTIFICATE", "", ByteRule::as_sent, Writer::basic_report,
       " File '", false},
      {8, "2", 8, false, "txt", "CERTIFICATE", "", ByteRule::as_sent, Writer::wide_report,
       " File '", true},
      // The summary-based report: captured as the summary download.
      {7, "1", 3, true, "txt", "SUMMARY", "", ByteRule::summary, Writer::none, " File '", false},
      {8, "1", 8, false, "txt", "CERTIFICATE", "", ByteRule::as_sent, Writer::wide_report,
       " File '", true},
      {3, "1", 3, false, "txt", "SUMMARY", "", ByteRule::summary, Writer::none, " File '", false},
      // Answers outside the table: a text file kept as captured, no tester row.
      {2.5f, "1", 2.5f, false, "txt", "", "", ByteRule::as_sent, Writer::none, " File '", false},
      {7.5f, "1", 7.5f, false, "txt", "", "", ByteRule::as_sent, Writer::none, " File '", false},
      {0, "2", 0, false, "txt", "", "", ByteRule::as_sent, Writer::none, " File '", false},
      {9, "2", 9, false, "txt", "", "", ByteRule::as_sent, Writer::none, " File '", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.answer) + " with ReportFormat " + c.report_format);
    const FormatChoice choice = choose_format(c.answer, c.report_format);
    EXPECT_EQ(choice.output_format, c.kept_as);
    EXPECT_EQ(choice.summary_report, c.summary_report);
    EXPECT_EQ(choice.extension, c.extension);
    const OutputFormat& format = find_format(choice.output_format);
    EXPECT_EQ(format.tester_format, c.tester_format);
    EXPECT_EQ(format.tester_option, c.tester_option);
    EXPECT_EQ(format.capture_rule, c.capture_rule);
    EXPECT_EQ(format.writer, c.writer);
    EXPECT_EQ(format.created_text, c.created_text);
    EXPECT_EQ(!format.finishing_note.empty(), c.note);
  }
}

TEST(OutputFormatTable, TheTemporaryExtensionOfAConversion) {
  struct Case {
    float answer;
    const char* report_format;
    std::string_view temporary_extension;
  };
  const std::vector<Case> cases = {
      {1, "2", ""},    {2, "2", ""},    {3, "2", ""},    {4, "2", ""},
      {5, "2", "tmp"}, {6, "2", "tmp"}, {7, "2", "tmp"}, {8, "2", "tmp"},
      {7, "1", "xtx"}, {3, "1", ""},    {8, "1", "tmp"}, {7.5f, "1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.answer) + " with ReportFormat " + c.report_format);
    EXPECT_EQ(choose_format(c.answer, c.report_format).temporary_extension,
              c.temporary_extension);
  }
}

TEST(OutputFormatTable, TheQuestionTakesAnyAnswerBetweenTheFirstAndLastFormat) {
  for (const float taken : {1.0f, 0.5f, 2.5f, 8.0f, 8.9f}) {
    EXPECT_TRUE(format_answer_taken(taken)) << taken;
  }
  for (const float asked_again : {0.0f, -1.0f, 9.0f, 9.5f}) {
    EXPECT_FALSE(format_answer_taken(asked_again)) << asked_again;
  }
}

}  // namespace
}  // namespace pat
