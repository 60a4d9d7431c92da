// Paths, values and script lines as vexscope reads them, and the bad input
// each must refuse with a message naming the offending word.
#include "member_path.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "shell_words.h"
#include "tool_errors.h"

namespace vex::scope {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The message of the UsageError `fn` throws (empty when it throws none).
template <class Fn>
std::string UsageMessage(Fn fn) {
  try {
    fn();
  } catch (const UsageError& e) {
    return e.what();
  }
  return {};
}

TEST(MemberPath, SegmentsWithAndWithoutArguments) {
  auto path = ParsePath("AnalogChannels.Item(2).ProbeAttenuation");
  ASSERT_EQ(path.size(), 3u);
  EXPECT_EQ(path[0].name, "AnalogChannels");
  EXPECT_FALSE(path[0].has_parentheses);
  EXPECT_EQ(path[1].name, "Item");
  EXPECT_THAT(path[1].args, ElementsAre("2"));
  EXPECT_EQ(path[2].name, "ProbeAttenuation");
  EXPECT_EQ(PathText(path, 2), "AnalogChannels.Item(2)");

  // Arguments are trimmed; a comma or parenthesis inside quotes is text.
  path = ParsePath("Trace.PutData( 3 , \"a,b(c)\" )");
  ASSERT_EQ(path.size(), 2u);
  EXPECT_THAT(path[1].args, ElementsAre("3", "\"a,b(c)\""));
  path = ParsePath("Digitize()");
  EXPECT_TRUE(path[0].has_parentheses);
  EXPECT_TRUE(path[0].args.empty());
  EXPECT_EQ(ParsePath("_NewEnum")[0].name, "_NewEnum");
}

TEST(MemberPath, MalformedPathsNameTheOffendingPart) {
  EXPECT_THAT(UsageMessage([] { ParsePath("AnalogChannels.Item(x"); }),
              HasSubstr("unbalanced parenthesis in 'Item(x'"));
  EXPECT_THAT(UsageMessage([] { ParsePath("Timebase."); }), HasSubstr("ends with '.'"));
  EXPECT_THAT(UsageMessage([] { ParsePath("Timebase..Mode"); }), HasSubstr("'.Mode'"));
  EXPECT_THAT(UsageMessage([] { ParsePath("2Timebase"); }), HasSubstr("'2Timebase'"));
  EXPECT_THAT(UsageMessage([] { ParsePath("Item(2)x"); }), HasSubstr("unexpected 'x'"));
  EXPECT_THAT(UsageMessage([] { ParsePath("Item((2))"); }), HasSubstr("nested"));
  EXPECT_THAT(UsageMessage([] { ParsePath("Item(1,,2)"); }), HasSubstr("empty argument"));
  EXPECT_THAT(UsageMessage([] { ParsePath("Item(\"a)"); }), HasSubstr("unbalanced"));
  EXPECT_THAT(UsageMessage([] { ParsePath("  "); }), HasSubstr("empty member path"));
}

class Values : public ::testing::Test {
 protected:
  void SetUp() override {
    library.name = "TestLib";
    library.enums = {
        {"VexR7100_TriggerSlope",
         {{"VexR7100_TriggerSlope_Negative", 2}, {"VexR7100_TriggerSlope_Positive", 1}}},
        {"VexR7100_ImageFormat", {{"VexR7100_ImageFormat_BMP", 0}}},
    };
  }
  com::TypeLibrary library;
  LibraryConstants constants{&library};
};

TEST_F(Values, EachFormHasItsType) {
  auto v = ParseValue("TRUE", &constants);
  EXPECT_EQ(v.vt(), com::VT_BOOL);
  EXPECT_EQ(v.BoolVal(), com::VARIANT_TRUE);
  EXPECT_EQ(ParseValue("false", &constants).BoolVal(), com::VARIANT_FALSE);
  v = ParseValue("-42", &constants);
  ASSERT_EQ(v.vt(), com::VT_I4);
  EXPECT_EQ(v.I4(), -42);
  EXPECT_EQ(ParseValue("+7", &constants).I4(), 7);
  // Beyond 32 bits an integer is still a number.
  v = ParseValue("4294967296", &constants);
  ASSERT_EQ(v.vt(), com::VT_R8);
  EXPECT_EQ(v.R8(), 4294967296.0);
  EXPECT_EQ(ParseValue("2e-3", &constants).R8(), 0.002);
  EXPECT_EQ(ParseValue(".5", &constants).R8(), 0.5);
  EXPECT_EQ(ParseValue("-1.25E+2", &constants).R8(), -125.0);
  // Constants in any letter case.
  v = ParseValue("vexr7100_triggerslope_negative", &constants);
  ASSERT_EQ(v.vt(), com::VT_I4);
  EXPECT_EQ(v.I4(), 2);
  EXPECT_EQ(ParseValue("VexR7100_ImageFormat_BMP", &constants).I4(), 0);
  // Quotes make text of anything; the rest is text as typed.
  v = ParseValue("\"123\"", &constants);
  ASSERT_EQ(v.vt(), com::VT_BSTR);
  EXPECT_EQ(v.BstrVal(), "123");
  EXPECT_EQ(ParseValue("\"\"", &constants).BstrVal(), "");
  for (const char* text :
       {"*CLS", ":BOGUS", "1.2.3", "1e", "GPIB0::7::INSTR", "Negative", "-", "0x10"}) {
    v = ParseValue(text, &constants);
    EXPECT_EQ(v.vt(), com::VT_BSTR) << text;
    EXPECT_EQ(v.BstrVal(), text);
  }
  // Without a library identifiers are text.
  EXPECT_EQ(ParseValue("VexR7100_TriggerSlope_Negative", nullptr).vt(), com::VT_BSTR);
}

TEST_F(Values, MisspeltConstantsAndOpenQuotesAreRefused) {
  const std::string message =
      UsageMessage([&] { ParseValue("VexR7100_TriggerSlope_Negativ", &constants); });
  EXPECT_THAT(message, HasSubstr("'VexR7100_TriggerSlope_Negativ'"));
  EXPECT_THAT(message, HasSubstr("nearest: VexR7100_TriggerSlope_Negative"));
  // Another family prefix is ordinary text.
  EXPECT_EQ(ParseValue("Other_Thing", &constants).vt(), com::VT_BSTR);
  EXPECT_THAT(UsageMessage([&] { ParseValue("\"open", &constants); }), HasSubstr("unterminated"));
  EXPECT_THAT(UsageMessage([&] { ParseValue("\"", &constants); }), HasSubstr("unterminated"));
}

TEST(ShellWords, QuotesGroupWordsAndCommentsAreSkipped) {
  EXPECT_THAT(SplitShellWords("call Output \"*CLS\""), ElementsAre("call", "Output", "*CLS"));
  EXPECT_THAT(SplitShellWords("  set   Utilities.InstanceName \"two words\"  "),
              ElementsAre("set", "Utilities.InstanceName", "two words"));
  // Single quotes keep double quotes, so a number can be sent as text.
  EXPECT_THAT(SplitShellWords("call Output '\"123\"'"), ElementsAre("call", "Output", "\"123\""));
  EXPECT_THAT(SplitShellWords(R"(a\ b "c\"d" e"f"g "")"), ElementsAre("a b", "c\"d", "efg", ""));
  EXPECT_TRUE(SplitShellWords("").empty());
  EXPECT_THAT(UsageMessage([] { SplitShellWords("call Output \"*CLS"); }),
              HasSubstr("unterminated quote"));
  EXPECT_THAT(UsageMessage([] { SplitShellWords("abc\\"); }), HasSubstr("backslash"));

  EXPECT_TRUE(IsBlankOrComment(""));
  EXPECT_TRUE(IsBlankOrComment(" \t "));
  EXPECT_TRUE(IsBlankOrComment("  # a comment"));
  EXPECT_FALSE(IsBlankOrComment("get X # trailing"));
}

}  // namespace
}  // namespace vex::scope
