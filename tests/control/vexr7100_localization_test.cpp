// The control's text loader: one resource object and one language offset per
// thread, no fallback when the resource library is missing.
#include "vexr7100_localization.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "vex/com/com.h"
#include "vex/resources/resource_lib.h"

namespace vex::control {
namespace {

using namespace vex::com;

// Runs `body` on a thread of its own, which starts with no resource object
// and offset 0, as a new apartment does.
template <class Body>
void OnNewThread(Body body) {
  std::thread thread(body);
  thread.join();
}

std::string TextOf(std::int32_t base_id) {
  std::string text;
  EXPECT_EQ(VexR7100Localization::Text(base_id, &text), S_OK) << base_id;
  return text;
}

// Declared first so it runs before the library is registered (tests of one
// program run in declaration order).
TEST(LocalizationWithoutLibraryTest, TheFirstLookupFailsWithTheCreationError) {
  (void)UnregisterServer(VEX8100RESLIB_PATH);
  OnNewThread([] {
    std::string text = "stale";
    EXPECT_EQ(VexR7100Localization::Text(105, &text), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(text, "");
    EXPECT_EQ(VexR7100Localization::TextOrEmpty(105), "");
    // Registering the library later lets the next lookup succeed: a failed
    // creation is not kept.
    ASSERT_EQ(RegisterServer(VEX8100RESLIB_PATH), S_OK);
    EXPECT_EQ(TextOf(105), "Vexan 8100 Series Scope Control");
  });
}

class LocalizationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterServer(VEX8100RESLIB_PATH), S_OK); }
};

TEST_F(LocalizationTest, LookupsUseTheThreadsOffsetWhichStartsAtEnglish) {
  OnNewThread([] {
    EXPECT_EQ(VexR7100Localization::Offset(), 0);
    EXPECT_EQ(TextOf(606), "Get");
    VexR7100Localization::SetOffset(4000);
    std::string german = TextOf(606);
    EXPECT_FALSE(german.empty());
    EXPECT_NE(german, "Get");
    // Gaps of a language show as empty texts, not as errors.
    EXPECT_EQ(TextOf(281), "");
    VexR7100Localization::SetOffset(1000);
    EXPECT_EQ(TextOf(281), "");
    VexR7100Localization::SetOffset(0);
    EXPECT_EQ(TextOf(281), "The Handshake setting for the current COM port is not correct.");
  });
}

TEST_F(LocalizationTest, TwoThreadsKeepTheirOwnOffsetAndObject) {
  std::string first_german, second_japanese, first_again;
  std::thread first([&] {
    VexR7100Localization::SetOffset(4000);
    first_german = TextOf(600);
  });
  std::thread second([&] {
    VexR7100Localization::SetOffset(5000);
    second_japanese = TextOf(600);
  });
  first.join();
  second.join();
  EXPECT_NE(first_german, second_japanese);
  EXPECT_FALSE(first_german.empty());
  EXPECT_FALSE(second_japanese.empty());
  // This thread never switched.
  EXPECT_EQ(VexR7100Localization::Offset(), 0);
  EXPECT_EQ(TextOf(600), "Setups");
}

TEST_F(LocalizationTest, AnIdBeyondThirtyTwoBitsIsAnOverflow) {
  OnNewThread([] {
    VexR7100Localization::SetOffset(7000);
    std::string text;
    EXPECT_EQ(VexR7100Localization::Text(2147483647 - 6999, &text), DISP_E_OVERFLOW);
    EXPECT_EQ(VexR7100Localization::Text(2147483647 - 7000, &text), S_OK);
    EXPECT_EQ(text, "");
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    VexR7100Localization::SetOffset(-1000);
    EXPECT_EQ(VexR7100Localization::Text(kMin + 1000, &text), S_OK);
    EXPECT_EQ(VexR7100Localization::Text(kMin + 999, &text), DISP_E_OVERFLOW);
  });
}

}  // namespace
}  // namespace vex::control
