#include "downloader/console/number_format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

namespace pat {
namespace {

struct Case {
  float value;
  std::string shown;
};

void expect_forms(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(single_to_string(c.value), c.shown) << "value " << c.value;
  }
}

TEST(SingleToStringTest, DisplayForms) {
  expect_forms({
      {0.0f, " 0"},
      {60.0f, " 60"},
      {5.0f, " 5"},
      {-5.0f, "-5"},
      {2.5f, " 2.5"},
      {0.25f, " .25"},
      {-0.25f, "-.25"},
      {1.0f / 3.0f, " .3333333"},
      {2.0f / 3.0f, " .6666667"},
      {9999999.0f, " 9999999"},
      {10000000.0f, " 1E+07"},
      {12345678.0f, " 1.234568E+07"},
      {0.0001f, " .0001"},
      {0.0000012f, " .0000012"},
      {0.00000015f, " 1.5E-07"},
      {0.0123456f, " .0123456"},
      {0.01234567f, " 1.234567E-02"},
      {FLT_MAX, " 3.402823E+38"},
  });
}

TEST(SingleToStringTest, NegativesKeepTheirForm) {
  expect_forms({
      {-0.0f, " 0"},
      {-60.0f, "-60"},
      {-2.5f, "-2.5"},
      {-1.0f / 3.0f, "-.3333333"},
      {-10000000.0f, "-1E+07"},
      {-12345678.0f, "-1.234568E+07"},
      {-0.00000015f, "-1.5E-07"},
      {-0.0000012f, "-.0000012"},
      {-FLT_MAX, "-3.402823E+38"},
  });
}

TEST(SingleToStringTest, RoundsToSevenDigits) {
  expect_forms({
      {1234567.0f, " 1234567"},
      {123456.78f, " 123456.8"},
      {1.2345678f, " 1.234568"},
      {1.0000001f, " 1"},
      {1.9999999f, " 2"},
      {99999.99f, " 99999.99"},
      {123456789.0f, " 1.234568E+08"},
      {-1.2345678f, "-1.234568"},
      {3.0f, " 3"},
      {28800.0f, " 28800"},
  });
}

TEST(SingleToStringTest, ExponentEdges) {
  expect_forms({
      {1e-7f, " .0000001"},
      {1e-8f, " 1E-08"},
      {0.00000123f, " 1.23E-06"},
      {0.0000012345f, " 1.2345E-06"},
      {FLT_TRUE_MIN, " 1.401298E-45"},
      {FLT_MIN, " 1.175494E-38"},
      {1e30f, " 1E+30"},
      {1000000.0f, " 1000000"},
  });
}

}  // namespace
}  // namespace pat
