// The string tables as compiled into the library: every language holds the
// same texts, the data rows are right, and the parser keeps texts exactly.
#include "string_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "vex/resources/resource_lib.h"

namespace vex::resources {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::int32_t kEnglish = 0, kFrench = 1000, kSpanish = 2000, kItalian = 3000,
                       kGerman = 4000, kJapanese = 5000, kKorean = 6000, kChinese = 7000;
constexpr std::int32_t kOffsets[] = {kEnglish, kFrench,   kSpanish, kItalian,
                                     kGerman,  kJapanese, kKorean,  kChinese};

const StringTables& Tables() {
  return StringTables::Compiled();
}
std::string Text(std::int32_t id) {
  return Tables().Load(id, kMaxTextCharacters);
}

std::set<std::int32_t> BaseIds(std::int32_t offset) {
  std::set<std::int32_t> ids;
  for (const auto& [id, text] : Tables().texts()) {
    if (id >= offset && id < offset + 1000) ids.insert(id - offset);
  }
  return ids;
}

TEST(CompiledTablesTest, EveryLineOfEveryTableParses) {
  EXPECT_THAT(Tables().errors(), IsEmpty());
  EXPECT_EQ(CompiledTables().size(), 8u);
}

TEST(CompiledTablesTest, EveryLanguageHoldsTheEnglishIdsApartFromTheListedGaps) {
  std::set<std::int32_t> english = BaseIds(kEnglish);
  ASSERT_TRUE(english.count(100) && english.count(723));
  // Only the English table has the generic help files and the library name.
  for (std::int32_t id : {10, 11, 90}) ASSERT_TRUE(english.count(id)) << id;

  std::set<std::int32_t> translated = english;
  for (std::int32_t id : {10, 11, 90}) translated.erase(id);
  for (std::int32_t id = 280; id <= 289; ++id) translated.erase(id);
  std::set<std::int32_t> korean = translated;
  korean.erase(130);
  korean.erase(274);

  for (std::int32_t offset : {kFrench, kSpanish, kItalian, kGerman, kJapanese, kChinese}) {
    EXPECT_EQ(BaseIds(offset), translated) << "language offset " << offset;
  }
  EXPECT_EQ(BaseIds(kKorean), korean);
  // Nothing lies beyond the last language.
  EXPECT_LT(Tables().texts().rbegin()->first, 8000);
}

TEST(CompiledTablesTest, NoTextIsLongerThanTheLimitAndTranslationsAreNotEnglishCopies) {
  for (const auto& [id, text] : Tables().texts()) {
    EXPECT_LE(Utf8Length(text), kMaxTextCharacters) << id;
  }
  // Long messages are translated in every language (a few identical short
  // captions such as "OK" or "X" may legitimately stay as they are).
  for (std::int32_t offset : kOffsets) {
    if (offset == kEnglish) continue;
    for (std::int32_t base : {113, 222, 243, 263, 531, 661, 694, 711}) {
      EXPECT_NE(Text(offset + base), Text(base)) << offset + base;
      EXPECT_FALSE(Text(offset + base).empty()) << offset + base;
    }
  }
}

TEST(CompiledTablesTest, DataRowsHoldEachLanguagesHelpFilesAndFont) {
  struct Row {
    std::int32_t offset;
    const char* help;
    const char* font;
    const char* size;
  };
  const Row rows[] = {{kEnglish, "R71ACCus", "Arial", "8"},
                      {kFrench, "R71ACCfr", "Arial", "8"},
                      {kSpanish, "R71ACCes", "Arial", "8"},
                      {kItalian, "R71ACCit", "Arial", "8"},
                      {kGerman, "R71ACCde", "Arial", "8"},
                      {kJapanese, "R71ACCjp",
                       "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4"
                       "\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
                       "9"},
                      {kKorean, "R71ACCkr", "MS Sans Serif", "9"},
                      {kChinese, "R71ACCtw", "MS Sans Serif", "9"}};
  for (const Row& row : rows) {
    EXPECT_EQ(Text(row.offset + 100), std::string(row.help) + ".hlp");
    EXPECT_EQ(Text(row.offset + 101), std::string(row.help) + ".cnt");
    EXPECT_EQ(Text(row.offset + 102), row.font);
    EXPECT_EQ(Text(row.offset + 103), row.size);
  }
  EXPECT_EQ(Text(10), "VexR7100.hlp");
  EXPECT_EQ(Text(11), "VexR7100.cnt");
  EXPECT_FALSE(Text(90).empty());
}

TEST(CompiledTablesTest, EnglishKeepsItsSpacesAndQuotes) {
  EXPECT_EQ(Text(242), "If your I/O configuration has changed, go to the ");
  EXPECT_EQ(Text(696), "An error occurred  while sending the setup to the instrument.");
  EXPECT_EQ(Text(205), "\"X\" indicates supported instrument.");
  EXPECT_EQ(Text(716), "Names may not contain spaces or the \"|\" character.");
  EXPECT_EQ(Text(104), "Vexan 8100 Scope Control Error");
  EXPECT_FALSE(Text(121).empty());
  EXPECT_FALSE(Text(123).empty());
}

TEST(CompiledTablesTest, BracketedButtonNamesInHintsMatchTheButtonsCaptions) {
  struct Hint {
    std::int32_t hint;
    std::int32_t button;
  };
  const Hint hints[] = {{243, 310}, {270, 206}, {272, 207}, {274, 206}};
  for (std::int32_t offset : kOffsets) {
    for (const Hint& h : hints) {
      if (!Tables().Contains(offset + h.hint)) continue;  // Korean has no 274
      EXPECT_THAT(Text(offset + h.hint), HasSubstr("[" + Text(offset + h.button) + "]"))
          << "text " << offset + h.hint;
    }
  }
}

TEST(StringTablesParseTest, KeepsTextsExactlyAndReportsBadLines) {
  StringTables tables({{"xx", 2000,
                        "# comment\n"
                        "\n"
                        "5\t\"  spaced \"quoted\" text \"\r\n"
                        "6\t\"\"\n"
                        "7\tno quotes\n"
                        "x\t\"not an id\"\n"
                        "1000\t\"too big\"\n"
                        "5\t\"again\"\n"
                        "8\t\"\xC3\"\n"
                        "9\t\"last line without a line feed\""}});
  EXPECT_EQ(tables.Load(2005, 511), "  spaced \"quoted\" text ");
  EXPECT_TRUE(tables.Contains(2006));
  EXPECT_EQ(tables.Load(2009, 511), "last line without a line feed");
  EXPECT_FALSE(tables.Contains(2007));
  EXPECT_FALSE(tables.Contains(2008));
  ASSERT_EQ(tables.errors().size(), 5u);
  EXPECT_THAT(tables.errors()[0], HasSubstr("xx.txt:5"));
  EXPECT_THAT(tables.errors()[3], HasSubstr("already"));
  EXPECT_THAT(tables.errors()[4], HasSubstr("UTF-8"));
}

TEST(StringTablesParseTest, TheLimitCountsCharactersAndNeverCutsInsideOne) {
  std::string e_acute = "\xC3\xA9";
  std::string exactly, longer;
  for (int i = 0; i < 511; ++i) exactly += e_acute;
  longer = exactly + "\xE6\x97\xA5";  // one more, three bytes long
  std::string table = "1\t\"" + exactly + "\"\n2\t\"" + longer + "\"\n";
  StringTables tables({{"xx", 0, table}});
  EXPECT_EQ(tables.Load(1, 511), exactly);
  EXPECT_EQ(tables.Load(2, 511), exactly);
  EXPECT_EQ(Utf8Prefix("ab\xE6\x97\xA5"
                       "c",
                       3),
            "ab\xE6\x97\xA5");
  EXPECT_EQ(tables.Load(3, 511), "");
}

}  // namespace
}  // namespace vex::resources
