#include "vex/imaging/status.h"

#include <gtest/gtest.h>

#include <set>

namespace vex::imaging {
namespace {

TEST(ImagingStatus, TextsAndNumbersForCodesWithoutText) {
  EXPECT_EQ(ErrorText(-1), "Not enough memory available");
  EXPECT_EQ(ErrorText(-2), "Invalid bitmap handle");
  EXPECT_EQ(ErrorText(-4), "Error seeking to position");
  EXPECT_EQ(ErrorText(-5), "Error writing file");
  EXPECT_EQ(ErrorText(-9), "Invalid file format");
  EXPECT_EQ(ErrorText(-10), "File not found");
  EXPECT_EQ(ErrorText(-12), "Image format recognized, but sub-type not supported");
  EXPECT_EQ(ErrorName(-9), "ERROR_FILE_FORMAT");
  // In the range without a text, at its lower end, beyond it, and success.
  for (const int code : {-3, -315, -316, 0, SUCCESS, 1000})
    EXPECT_EQ(ErrorText(code), std::to_string(code));
  EXPECT_EQ(ErrorName(-3), "");
}

TEST(ImagingStatus, EachTableRowHasItsOwnCodeInTheRange) {
  std::set<int> codes;
#define VEX_CHECK_ROW(name, value, text)                                                     \
  EXPECT_TRUE(codes.insert(value).second) << #name;                                          \
  EXPECT_TRUE(value == SUCCESS || (value >= kLowestErrorCode && value <= kHighestErrorCode)) \
      << #name;
  VEX_IMAGING_STATUSES(VEX_CHECK_ROW)
#undef VEX_CHECK_ROW
}

}  // namespace
}  // namespace vex::imaging
