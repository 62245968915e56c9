// Dialog field ranges and their messages.
#include "ui/field_range.h"

#include <gtest/gtest.h>

namespace brevoxa {
namespace {

TEST(FieldRange, AcceptsItsBoundsAndNamesThemWhenRefusing) {
  NumberRange width{0.1, 30000, false};
  EXPECT_FALSE(width.Check(0.1));
  EXPECT_FALSE(width.Check(30000));
  EXPECT_EQ(width.Check(0.05), "Please enter a number between 0.1 and 30000.");
  EXPECT_EQ(width.Check(1e9), "Please enter a number between 0.1 and 30000.");

  NumberRange divisions{3, 1000, true};
  EXPECT_FALSE(divisions.Check(3));
  EXPECT_EQ(divisions.Check(2), "Please enter an integer between 3 and 1000.");
  EXPECT_EQ(divisions.Check(4.5), "Please enter an integer between 3 and 1000.");
}

TEST(FieldRange, NotANumberIsNeverInRange) {
  EXPECT_TRUE(NumberRange({0, 1, false}).Check(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(FormatBound(-0.25), "-0.25");
  EXPECT_EQ(FormatBound(1e-5), "1e-05");
}

}  // namespace
}  // namespace brevoxa
