// What each fault does to the replies a session hands its transport.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "engine/Fault.h"
#include "engine/Instrument.h"

namespace vex::sim {
namespace {

using test::Ask;
using test::Bytes;
using test::Text;

std::optional<Response> Query(Session& s, std::string_view q) {
  s.Write(Bytes(std::string(q) + "\n"));
  return s.TakeResponse();
}

TEST(Fault, NamesInLongOrShortFormAndAnyCase) {
  EXPECT_EQ(ParseFault("NOANswer"), Fault::kNoAnswer);
  EXPECT_EQ(ParseFault("noan"), Fault::kNoAnswer);
  EXPECT_EQ(ParseFault("Slow"), Fault::kSlow);
  EXPECT_EQ(ParseFault("trun"), Fault::kTruncate);
  EXPECT_EQ(ParseFault("DEVERROR"), Fault::kDeviceError);
  EXPECT_FALSE(ParseFault("SLOWLY"));
  for (Fault f : {Fault::kNone, Fault::kNoAnswer, Fault::kSlow, Fault::kDrop, Fault::kTruncate,
                  Fault::kCorrupt, Fault::kGarbage, Fault::kDeviceError}) {
    EXPECT_EQ(ParseFault(FaultName(f)), f);
  }
}

class FaultSession : public ::testing::Test {
 protected:
  void SetFault(std::string_view name) {
    EXPECT_EQ(Ask(*s, ":SIM:FAUL " + std::string(name) + ";:SIM:FAUL?"),
              std::string(FaultName(*ParseFault(name))) + "\n");
  }
  Instrument inst;
  std::unique_ptr<Session> s = inst.OpenSession();
  std::unique_ptr<Session> other = inst.OpenSession();
};

TEST_F(FaultSession, NoAnswerSilencesQueriesButNotThePrivateCommands) {
  SetFault("NOAN");
  EXPECT_FALSE(Query(*s, "*IDN?"));
  EXPECT_FALSE(Query(*s, ":WAV:DATA?"));
  Ask(*s, ":CHAN2:DISP ON");  // commands still act
  EXPECT_EQ(Ask(*other, ":CHAN2:DISP?"), "1\n");
  EXPECT_EQ(Ask(*other, "*IDN?").substr(0, 5), "VEXAN");  // other sessions unaffected
  SetFault("NONE");
  EXPECT_TRUE(Query(*s, "*IDN?"));
}

TEST_F(FaultSession, SlowMarksEachReplyWithTheDelay) {
  SetFault("SLOW");
  Ask(*s, ":SIM:FAUL:DEL 250");
  EXPECT_EQ(Ask(*s, ":SIM:FAUL:DEL?"), "250\n");
  auto r = Query(*s, "*IDN?");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->delay_ms, 250u);
  EXPECT_EQ(Text(r->bytes).substr(0, 5), "VEXAN");
  EXPECT_EQ(Query(*other, "*IDN?")->delay_ms, 0u);
}

TEST_F(FaultSession, DropAndTruncateCutBlocksHalfway) {
  SetFault("DROP");
  auto text = Query(*s, "*IDN?");  // not a block: intact
  ASSERT_TRUE(text);
  EXPECT_FALSE(text->close_after);
  auto dropped = Query(*s, ":WAV:DATA?");
  ASSERT_TRUE(dropped);
  EXPECT_TRUE(dropped->close_after);
  EXPECT_EQ(dropped->bytes.size(), 10u + 500u);
  EXPECT_EQ(Text(dropped->bytes).substr(0, 10), "#800001000");

  SetFault("TRUN");
  auto cut = Query(*s, ":WAV:DATA?");
  ASSERT_TRUE(cut);
  EXPECT_FALSE(cut->close_after);
  EXPECT_EQ(cut->bytes.size(), 10u + 500u);
  // The data that is sent is the true data.
  auto whole = Query(*other, ":WAV:DATA?");
  EXPECT_TRUE(std::equal(cut->bytes.begin(), cut->bytes.end(), whole->bytes.begin()));
}

TEST_F(FaultSession, CorruptBreaksTheBlockHeaderOnly) {
  SetFault("CORR");
  auto r = Query(*s, ":WAV:DATA?");
  ASSERT_TRUE(r);
  const std::string head = Text(r->bytes).substr(0, 10);
  EXPECT_EQ(head[0], '#');
  EXPECT_EQ(head[1], '9');
  for (std::size_t i = 2; i < head.size(); ++i) EXPECT_FALSE(std::isdigit(head[i])) << head;
  EXPECT_EQ(r->bytes.size(), 10u + 1000u + 1u);
  EXPECT_EQ(Text(Query(*s, "*TST?")->bytes), "+0\n");
}

TEST_F(FaultSession, GarbageReplacesEveryReply) {
  SetFault("GARB");
  for (const char* q : {"*IDN?", ":WAV:DATA?", ":SYST:ERR?"}) {
    auto r = Query(*s, q);
    ASSERT_TRUE(r);
    ASSERT_FALSE(r->bytes.empty());
    EXPECT_EQ(r->bytes.back(), '\n');
    // No printable SCPI reply: every byte but the terminator is binary.
    EXPECT_EQ(std::count(r->bytes.begin(), r->bytes.end(), '\n'), 1);
    EXPECT_NE(Text(r->bytes).substr(0, 5), "VEXAN");
    EXPECT_NE(r->bytes[0], '#');
  }
  EXPECT_EQ(Ask(*s, ":SIM:FAUL?"), "GARB\n");
}

TEST_F(FaultSession, DeviceErrorRaisesAnErrorPerCommand) {
  Ask(*s, "*CLS");  // the power-on bit
  SetFault("DEV");
  Ask(*s, ":CHAN1:DISP ON;:WAV:FORM BYTE");
  EXPECT_EQ(Ask(*s, "*ESR?"), "+8\n");  // raised by *ESR? itself, before it reads
  EXPECT_EQ(Ask(*s, "*ESR?"), "+8\n");
  // The error queue drains to the end despite the fault.
  int errors = 0;
  while (Ask(*s, ":SYST:ERR?") != "0,\"No error\"\n") {
    ASSERT_LT(++errors, 10);
  }
  EXPECT_EQ(errors, 4);
  Ask(*other, "*CLS;*ESR?");
  EXPECT_EQ(Ask(*other, "*ESR?"), "+0\n");
}

TEST(FaultOptions, NewSessionsStartWithTheInstrumentFault) {
  Instrument inst({.fault = Fault::kNoAnswer, .fault_delay_ms = 42});
  EXPECT_EQ(inst.DefaultSession().fault(), Fault::kNoAnswer);
  auto s = inst.OpenSession();
  EXPECT_EQ(s->fault_delay_ms(), 42u);
  EXPECT_FALSE(Query(*s, "*IDN?"));
}

}  // namespace
}  // namespace vex::sim
