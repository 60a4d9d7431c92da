// Message framing, unit parsing and header matching.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "engine/HeaderPattern.h"
#include "engine/MessageFramer.h"
#include "engine/ProgramParser.h"

namespace vex::sim {
namespace {

using test::Bytes;
using test::Text;

std::vector<std::string> Frame(MessageFramer& f, std::string_view bytes, bool end = false) {
  std::vector<MessageFramer::Message> out;
  f.Feed(Bytes(bytes), end, out);
  std::vector<std::string> texts;
  for (auto& m : out) texts.push_back(Text(m));
  return texts;
}

TEST(MessageFramer, EndsMessagesAtLineFeedOrEndFlag) {
  MessageFramer f;
  EXPECT_EQ(Frame(f, "*IDN?\n*ESR?"), std::vector<std::string>{"*IDN?"});
  EXPECT_EQ(f.Pending(), 5u);
  EXPECT_EQ(Frame(f, "\n"), std::vector<std::string>{"*ESR?"});
  // A message split over writes is joined; END completes it without a line feed.
  EXPECT_TRUE(Frame(f, ":WAV:").empty());
  EXPECT_EQ(Frame(f, "FORM?", true), std::vector<std::string>{":WAV:FORM?"});
}

TEST(MessageFramer, LineFeedsInsideQuotesAndBlocksAreData) {
  MessageFramer f;
  EXPECT_EQ(Frame(f, ":A \"x\ny\"\n"), std::vector<std::string>{":A \"x\ny\""});
  // The block arrives in pieces, its length digits split too.
  EXPECT_TRUE(Frame(f, ":SYST:SET #2").empty());
  EXPECT_TRUE(Frame(f, "1").empty());
  EXPECT_TRUE(Frame(f, "0ab\n;\n").empty());
  EXPECT_EQ(Frame(f, "defg;x\n"), std::vector<std::string>{":SYST:SET #210ab\n;\ndefg;x"});
  // "#H" is not a block.
  EXPECT_EQ(Frame(f, ":A #HFF\n"), std::vector<std::string>{":A #HFF"});
}

TEST(MessageFramer, BlockAtEndOfWriteEndsTheMessage) {
  // Hosts write setup blocks raw with no terminator and then wait for nothing.
  MessageFramer f;
  EXPECT_EQ(Frame(f, ":SYST:SET #13abc"), std::vector<std::string>{":SYST:SET #13abc"});
  EXPECT_EQ(Frame(f, "\n"), std::vector<std::string>{""});  // the stray terminator
  // With more bytes after the block in the same write, the line feed decides.
  EXPECT_EQ(Frame(f, ":TRAC:DATA 1,#12xy;*OPC?\n"),
            std::vector<std::string>{":TRAC:DATA 1,#12xy;*OPC?"});
}

TEST(ProgramParser, SplitsUnitsHeadersAndArguments) {
  auto units = ParseProgramMessage(Bytes("*IDN?;:wav:form BYTE ; CHAN1:DISP?;;:DIG CHAN1, CHAN3"));
  ASSERT_EQ(units.size(), 4u);
  EXPECT_TRUE(units[0].common);
  EXPECT_TRUE(units[0].query);
  EXPECT_EQ(units[0].nodes, std::vector<std::string>{"IDN"});
  EXPECT_TRUE(units[1].absolute);
  EXPECT_EQ(units[1].nodes, (std::vector<std::string>{"wav", "form"}));
  ASSERT_EQ(units[1].args.size(), 1u);
  EXPECT_EQ(units[1].args[0].text, "BYTE");
  EXPECT_FALSE(units[2].absolute);
  EXPECT_TRUE(units[2].query);
  EXPECT_EQ(units[2].nodes, (std::vector<std::string>{"CHAN1", "DISP"}));
  ASSERT_EQ(units[3].args.size(), 2u);
  EXPECT_EQ(units[3].args[1].text, "CHAN3");
}

TEST(ProgramParser, QuotedStringsAndBlocks) {
  auto units = ParseProgramMessage(Bytes(":A 'it''s',\"a;b\",#14x;\ny,#0rest;of\nit"));
  ASSERT_EQ(units.size(), 1u);
  ASSERT_EQ(units[0].args.size(), 4u);
  EXPECT_EQ(units[0].args[0].kind, Argument::Kind::kString);
  EXPECT_EQ(units[0].args[0].text, "it's");
  EXPECT_EQ(units[0].args[1].text, "a;b");
  EXPECT_EQ(units[0].args[2].kind, Argument::Kind::kBlock);
  EXPECT_EQ(Text(units[0].args[2].block), "x;\ny");
  EXPECT_EQ(Text(units[0].args[3].block), "rest;of\nit");
}

TEST(ProgramParser, MalformedUnitsStopTheMessage) {
  auto bad_block = ParseProgramMessage(Bytes(":A #19ab;*IDN?"));  // 8 bytes follow
  ASSERT_EQ(bad_block.size(), 1u);
  EXPECT_EQ(bad_block[0].syntax_error, -161);
  auto bad_digits = ParseProgramMessage(Bytes(":A #2x1abc"));
  EXPECT_EQ(bad_digits.at(0).syntax_error, -161);
  auto open_quote = ParseProgramMessage(Bytes(":A \"abc"));
  EXPECT_EQ(open_quote.at(0).syntax_error, -151);
  auto bad_header = ParseProgramMessage(Bytes("*IDN?x;*ESR?"));
  ASSERT_EQ(bad_header.size(), 1u);
  EXPECT_NE(bad_header[0].syntax_error, 0);
  auto separator = ParseProgramMessage(Bytes(":A 'x' 'y'"));
  EXPECT_EQ(separator.at(0).syntax_error, -103);
}

TEST(HeaderPattern, LongShortCaseSuffixAndOptionalNodes) {
  HeaderPattern format(":WAVeform:FORMat");
  EXPECT_EQ(format.Match({"WAVEFORM", "FORMAT"}), 1);
  EXPECT_EQ(format.Match({"wav", "form"}), 1);
  EXPECT_EQ(format.Match({"Wav", "FORMAT"}), 1);
  EXPECT_FALSE(format.Match({"WAVE", "FORM"}));  // neither short nor long
  EXPECT_FALSE(format.Match({"WAV"}));
  EXPECT_EQ(format.Key(1), "WAV:FORM");

  HeaderPattern display(":CHANnel#:DISPlay");
  EXPECT_EQ(display.Match({"CHAN3", "DISP"}), 3);
  EXPECT_EQ(display.Match({"channel2", "display"}), 2);
  EXPECT_EQ(display.Match({"CHAN", "DISP"}), 1);
  EXPECT_EQ(display.Key(4), "CHAN4:DISP");
  EXPECT_FALSE(format.Match({"WAV1", "FORM"}));  // no suffix on an unnumbered node

  HeaderPattern error(":SYSTem:ERRor[:NEXT]");
  EXPECT_EQ(error.Match({"SYST", "ERR"}), 1);
  EXPECT_EQ(error.Match({"SYST", "ERR", "NEXT"}), 1);
  EXPECT_FALSE(error.Match({"SYST", "NEXT"}));

  EXPECT_EQ(HeaderPattern::MatchWord("CHANnel#", "chan2"), 2);
  EXPECT_TRUE(HeaderPattern::MatchWord("ASCii", "asc"));
  EXPECT_FALSE(HeaderPattern::MatchWord("ASCii", "AS"));
}

}  // namespace
}  // namespace vex::sim
