#include <gmock/gmock.h>

#include "data_support.h"
#include "data_transfers.h"

namespace vex::test {
namespace {

using server::VexR7100_DataPoints_ALL;
using ::testing::ElementsAre;

std::vector<std::int16_t> Words(const Variant& v) {
  if (v.vt() != (VT_ARRAY | VT_I2)) return {};
  auto span = v.Array()->Span<const std::int16_t>();
  return {span.begin(), span.end()};
}

class LogicTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    ASSERT_EQ(Attach(), S_OK);
    core->SetModelForTesting(LogicModel());
  }
  // The enable mask as the bits' display reports it, before the pods' replies.
  void Mask(std::uint16_t mask) {
    io->sent.clear();
    ScriptEnableMask(*io, mask);
  }
  HRESULT Read() {
    return server::GetLogicData(*core, VexR7100_DataPoints_ALL, &time, &data, &used);
  }
  Variant time, data;
  std::uint16_t used = 0;
};

TEST_F(LogicTest, TheMaskChoosesThePodsAndTheBitsThatAreKept) {
  const std::string low("\xFF\x01\xA5", 3), high("\x0F\xF0\x5A", 3);

  Mask(0x00FF);
  ScriptPod(*io, "3", low);
  ASSERT_EQ(Read(), S_OK);
  EXPECT_EQ(io->sent.size(), 16u + 5u) << "pod 1 only";
  EXPECT_THAT(
      std::vector(io->sent.begin() + 16, io->sent.end()),
      ElementsAre(":WAV:SOUR POD1", ":WAV:POIN?", ":WAV:FORM BYTE", ":WAV:DATA?", ":WAV:PRE?"));
  EXPECT_THAT(Words(data), ElementsAre(0x00FF, 0x0001, 0x00A5));
  EXPECT_EQ(used, 0x00FF);

  Mask(0xFF00);
  ScriptPod(*io, "3", high);
  ASSERT_EQ(Read(), S_OK);
  EXPECT_EQ(io->sent[16], ":WAV:SOUR POD2") << "pod 2 only";
  EXPECT_EQ(io->sent.size(), 16u + 5u);
  EXPECT_THAT(Words(data), ElementsAre(0x0F00, static_cast<std::int16_t>(0xF000), 0x5A00));

  Mask(0x0F0F);
  ScriptPod(*io, "3", low);
  ScriptPod(*io, "3", high);
  ASSERT_EQ(Read(), S_OK);
  EXPECT_THAT(Words(data), ElementsAre(0x0F0F, 0x0001, 0x0A05));
  // Time from the last pod's preamble: (i - 0) × 0.5 + 1.
  EXPECT_THAT(Doubles(time), ElementsAre(1.0, 1.5, 2.0));
}

TEST_F(LogicTest, TheShorterPodGivesTheCountAndAnEmptyPodAddsNoBits) {
  Mask(0xFFFF);
  ScriptPod(*io, "1000", std::string(1000, '\x01'));
  ScriptPod(*io, "1024", std::string(1024, '\x02'));
  ASSERT_EQ(Read(), S_OK);
  EXPECT_EQ(Words(data).size(), 1000u);
  EXPECT_EQ(Words(data)[999], 0x0201);

  Mask(0xFFFF);
  ScriptPod(*io, "4", std::string(4, '\x03'), LogicPreamble(1.0, 0.0, 1));
  ScriptPod(*io, "0", "");
  ASSERT_EQ(Read(), S_OK);
  EXPECT_THAT(Words(data), ElementsAre(3, 3, 3, 3)) << "pod 2 had no points: no high bits";
  EXPECT_THAT(Doubles(time), ElementsAre(-1.0, 0.0, 1.0, 2.0));
}

TEST_F(LogicTest, D15AloneStillReadsPodTwo) {
  // 0x8000 is negative as a 16-bit integer; the mask counts as unsigned.
  Mask(0x8000);
  ScriptPod(*io, "2", std::string("\x80\x7F", 2));
  ASSERT_EQ(Read(), S_OK);
  EXPECT_EQ(io->sent[16], ":WAV:SOUR POD2");
  EXPECT_THAT(Words(data), ElementsAre(static_cast<std::int16_t>(0x8000), 0));

  // Without range checking all sixteen are read, without asking.
  ASSERT_EQ(core->put_RangeChecking(VARIANT_FALSE), S_OK);
  io->sent.clear();
  ScriptPod(*io, "1", "\x11");
  ScriptPod(*io, "1", "\x22");
  ASSERT_EQ(core->GetLogicData(VexR7100_DataPoints_ALL, &time, &data), S_OK);
  EXPECT_EQ(io->sent[0], ":WAV:SOUR POD1");
  EXPECT_THAT(Words(data), ElementsAre(0x2211));
}

TEST_F(LogicTest, RecordsThatCannotBeTrustedAreRefused) {
  Mask(0xFFFF);
  ScriptPod(*io, "0", "");
  ScriptPod(*io, "0", "");
  EXPECT_EQ(Read(), E_UNEXPECTED);
  ErrorDetails none = Details();
  EXPECT_EQ(none.description,
            "The logic channels currently have no acquired data (make sure one or more channels "
            "are enabled).");
  EXPECT_EQ(none.help_context, 73u);

  Mask(0x0001);
  // Announces five bytes, holds two; then a count beyond a whole block.
  io->Reply("5").ReplyBlock("#15\x01\x02");
  EXPECT_EQ(Read(), E_FAIL);
  EXPECT_THAT(Description(), ::testing::HasSubstr("corrupt data"));
  Mask(0x0001);
  io->Reply("5").ReplyBlock(Block("\x01\x02"));
  EXPECT_EQ(Read(), E_FAIL);
  Mask(0x0001);
  io->Reply("-3");
  EXPECT_EQ(Read(), E_FAIL);
  EXPECT_THAT(Description(), ::testing::HasSubstr("response string"));
  Mask(0x0001);
  io->Reply("2").ReplyBlock(Block("\x01\x02")).Reply("0,0,0,1,fast,0,0");
  EXPECT_EQ(Read(), E_FAIL);
  EXPECT_TRUE(data.IsEmpty()) << "no output after a refusal";

  core->SetModelForTesting(std::nullopt);
  EXPECT_EQ(core->GetLogicData(VexR7100_DataPoints_ALL, &time, &data), E_UNEXPECTED);
  ErrorDetails unsupported = Details();
  EXPECT_EQ(unsupported.description,
            "This instrument automation server method is not supported for the currently "
            "connected instrument.");
  EXPECT_EQ(unsupported.help_context, 9u);
}

TEST_F(LogicTest, BitsAndPodsAreShownAndHidden) {
  VARIANT_BOOL on = 0;
  io->Reply("1\n");
  ASSERT_EQ(core->get_BitEnabled(server::VexR7100_Logic_D3, &on), S_OK);
  EXPECT_EQ(on, VARIANT_TRUE);
  io->Reply("maybe");
  EXPECT_EQ(core->get_BitEnabled(server::VexR7100_Logic_D3, &on), E_FAIL);
  ASSERT_EQ(core->put_BitEnabled(server::VexR7100_Logic_D15, VARIANT_TRUE), S_OK);
  ASSERT_EQ(core->put_BitEnabled(server::VexR7100_Logic_D0, 1), S_OK) << "only -1 means view";
  EXPECT_THAT(io->sent, ElementsAre("DIG3:DISP?", "DIG3:DISP?", ":VIEW DIG15", ":BLAN DIG0"));
  EXPECT_EQ(core->put_BitEnabled(static_cast<server::VexR7100_LogicBits>(16), VARIANT_TRUE),
            E_FAIL);
  EXPECT_EQ(Description(),
            "This enumeration value is not recognized by the instrument automation "
            "server.");

  io->sent.clear();
  ASSERT_EQ(core->put_PodEnabled(server::VexR7100_Logic_POD2, VARIANT_TRUE), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":VIEW DIG8", ":VIEW DIG9", ":VIEW DIG10", ":VIEW DIG11",
                                    ":VIEW DIG12", ":VIEW DIG13", ":VIEW DIG14", ":VIEW DIG15"));
  EXPECT_EQ(core->put_PodEnabled(static_cast<server::VexR7100_LogicPods>(3), VARIANT_TRUE), E_FAIL);
  EXPECT_EQ(Details().help_context, 90u);

  io->sent.clear();
  ASSERT_EQ(core->put_EnableStatus(5), S_OK);
  ASSERT_EQ(io->sent.size(), 16u);
  EXPECT_EQ(io->sent[0], ":VIEW DIG0");
  EXPECT_EQ(io->sent[1], ":BLAN DIG1");
  EXPECT_EQ(io->sent[2], ":VIEW DIG2");
  EXPECT_EQ(io->sent[15], ":BLAN DIG15");

  std::int16_t mask = 0;
  ScriptEnableMask(*io, 0x8001);
  ASSERT_EQ(core->get_EnableStatus(&mask), S_OK);
  EXPECT_EQ(static_cast<std::uint16_t>(mask), 0x8001);

  core->SetModelForTesting(std::nullopt);
  io->sent.clear();
  EXPECT_EQ(core->get_BitEnabled(server::VexR7100_Logic_D3, &on), E_FAIL);
  EXPECT_EQ(Description(),
            "This method (or property) is not supported for the currently connected instrument.");
  EXPECT_EQ(core->put_PodEnabled(server::VexR7100_Logic_POD1, VARIANT_TRUE), E_FAIL);
  EXPECT_TRUE(io->sent.empty()) << "nothing is sent to a model without logic channels";
}

}  // namespace
}  // namespace vex::test
