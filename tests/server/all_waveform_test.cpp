#include <gmock/gmock.h>

#include "data_support.h"

namespace vex::test {
namespace {

using server::VexR7100_DataPoints_ALL;
using ::testing::ElementsAre;

// x increment 1 s, x origin 0, x reference 0; volts = (128 - b) × 1 - 0.
constexpr const char* kPreamble = "0,0,0,1,1,0,0,1,0,128";

class AllWaveformTest : public CoreTest {
 protected:
  void ScriptDisplay(std::initializer_list<const char*> replies) {
    for (const char* r : replies) io->Reply(r);
  }
  void ScriptChannel(const std::string& bytes, const std::string& preamble = kPreamble) {
    io->Reply(std::to_string(bytes.size())).Reply(preamble).ReplyBlock(Block(bytes));
  }
  HRESULT ReadAll() { return core->GetAllWaveformData(VexR7100_DataPoints_ALL, &table); }
  // Cell (row, column) of the table.
  Variant Cell(int row, int column) {
    Variant v;
    EXPECT_EQ(table.GetElement({row, column}, &v), S_OK) << row << "," << column;
    return v;
  }
  std::string Header(int column) { return Cell(0, column).BstrVal().Str(); }
  SafeArray table;
};

TEST_F(AllWaveformTest, AnalogColumnsFollowTheTimeColumnOfTheLastChannel) {
  ASSERT_EQ(Attach(), S_OK);  // four analog channels, no logic
  ScriptDisplay({"1", "0", "ON\n", "OFF"});
  ScriptChannel(std::string("\x80\x7F\x81", 3));  // channel 1: three points
  ScriptChannel(std::string("\x00\x01\x02\x03", 4), "0,0,0,1,0.5,10,1,1,0,128");
  ASSERT_EQ(ReadAll(), S_OK);
  EXPECT_THAT(std::vector(io->sent.begin(), io->sent.begin() + 5),
              ElementsAre("CHAN1:DISP?", "CHAN2:DISP?", "CHAN3:DISP?", "CHAN4:DISP?",
                          ":WAVeform:FORMat BYTE"));
  EXPECT_EQ(io->sent[5], ":WAV:SOUR CHAN1");
  EXPECT_EQ(io->sent[10], ":WAV:SOUR CHAN3");
  ASSERT_EQ(table.Dims(), 2u);
  EXPECT_EQ(table.Elements(1), 5u) << "rows: header and channel 3's four points";
  EXPECT_EQ(table.Elements(2), 3u);
  EXPECT_EQ(Header(0), "Time");
  EXPECT_EQ(Header(1), "CHAN1");
  EXPECT_EQ(Header(2), "CHAN3");
  // Channel 3's time base: (i - 1) × 0.5 + 10.
  EXPECT_EQ(Cell(1, 0).R8(), 9.5);
  EXPECT_EQ(Cell(4, 0).R8(), 11.0);
  EXPECT_EQ(Cell(1, 1).R8(), 0.0);
  EXPECT_EQ(Cell(2, 1).R8(), 1.0);
  EXPECT_EQ(Cell(3, 1).R8(), -1.0);
  EXPECT_TRUE(Cell(4, 1).IsEmpty()) << "beyond channel 1's record";
  EXPECT_EQ(Cell(4, 2).vt(), VT_R8);
  EXPECT_EQ(Cell(4, 2).R8(), 125.0);
}

TEST_F(AllWaveformTest, LogicColumnsJoinForEachEnabledBit) {
  ASSERT_EQ(Attach(), S_OK);
  core->SetModelForTesting(LogicModel());
  ScriptDisplay({"0", "1"});
  ScriptEnableMask(*io, 0x0201);  // D0 and D9
  ScriptChannel(std::string(4, '\x80'));
  ScriptEnableMask(*io, 0x0201);  // the logic read asks again
  ScriptPod(*io, "3", std::string("\x01\x00\x01", 3));
  ScriptPod(*io, "3", std::string("\x02\x02\x00", 3));
  ASSERT_EQ(ReadAll(), S_OK);
  EXPECT_EQ(table.Elements(1), 5u);
  ASSERT_EQ(table.Elements(2), 4u);
  EXPECT_EQ(Header(1), "CHAN2");
  EXPECT_EQ(Header(2), "Dig0");
  EXPECT_EQ(Header(3), "Dig9");
  EXPECT_EQ(Cell(1, 2).vt(), VT_I2);
  EXPECT_EQ(Cell(1, 2).I2(), 1);
  EXPECT_EQ(Cell(2, 2).I2(), 0);
  EXPECT_EQ(Cell(3, 3).I2(), 0);
  EXPECT_EQ(Cell(1, 3).I2(), 1);
  EXPECT_TRUE(Cell(4, 2).IsEmpty()) << "beyond the logic record";
  EXPECT_TRUE(Cell(4, 3).IsEmpty());
}

TEST_F(AllWaveformTest, OnlyLogicGivesTheLogicTimeBase) {
  ASSERT_EQ(Attach(), S_OK);
  core->SetModelForTesting(LogicModel());
  ScriptDisplay({"0", "0"});
  ScriptEnableMask(*io, 0x0004);
  ScriptEnableMask(*io, 0x0004);
  ScriptPod(*io, "2", std::string("\x04\x00", 2), LogicPreamble(0.25, 2.0, 1));
  ASSERT_EQ(ReadAll(), S_OK);
  EXPECT_EQ(table.Elements(1), 3u);
  ASSERT_EQ(table.Elements(2), 2u);
  EXPECT_EQ(Header(1), "Dig2");
  EXPECT_EQ(Cell(1, 0).R8(), 1.75);
  EXPECT_EQ(Cell(2, 0).R8(), 2.0);
  EXPECT_EQ(Cell(1, 1).I2(), 1);
  EXPECT_EQ(Cell(2, 1).I2(), 0);
}

TEST_F(AllWaveformTest, LogicWithoutDataIsDroppedAndOtherFailuresEndTheCall) {
  ASSERT_EQ(Attach(), S_OK);
  core->SetModelForTesting(LogicModel());
  ASSERT_EQ(core->put_RangeChecking(VARIANT_FALSE), S_OK);
  ScriptDisplay({"1", "0"});
  ScriptChannel(std::string(2, '\x80'));
  ScriptPod(*io, "0", "");
  ScriptPod(*io, "0", "");
  ASSERT_EQ(ReadAll(), S_OK) << "no logic data: analog columns only";
  EXPECT_EQ(table.Elements(2), 2u);
  EXPECT_EQ(io->sent.back(), ":WAV:POIN?");
  EXPECT_FALSE(TakeErrorDetails().description.Str().size() > 0) << "the absorbed error is gone";

  // A logic failure of another kind ends the call.
  ScriptDisplay({"1", "0"});
  ScriptChannel(std::string(2, '\x80'));
  io->Reply("1").FailRead(E_ABORT, "The link dropped mid-block.");
  EXPECT_EQ(ReadAll(), E_ABORT);
  EXPECT_EQ(Description(),
            "VexR7100EZ::GetAllWaveformData method failed.\n"
            "VexR7100EZ::GetLogicData method failed.\nThe link dropped mid-block.");

  // So does a channel without data.
  ScriptDisplay({"1", "0"});
  io->Reply("0");
  EXPECT_EQ(ReadAll(), E_UNEXPECTED);
  ErrorDetails failed = Details();
  EXPECT_EQ(failed.description,
            "VexR7100EZ::GetAllWaveformData method failed.\n"
            "The specified analog channel currently has no acquired data (make sure that it is "
            "enabled).");
  EXPECT_EQ(failed.help_context, 72u);
}

TEST_F(AllWaveformTest, RefusesWithoutChannelsOrWithAReplyItDoesNotKnow) {
  ASSERT_EQ(Attach(), S_OK);
  ScriptDisplay({"0", "0", "0", "0"});
  EXPECT_EQ(ReadAll(), E_UNEXPECTED);
  EXPECT_EQ(Description(),
            "There are presently no channels enabled for the connected instrument (enable one or "
            "more channels).");
  core->SetModelForTesting(LogicModel());
  ScriptDisplay({"0", "0"});
  ScriptEnableMask(*io, 0);
  EXPECT_EQ(ReadAll(), E_UNEXPECTED) << "a mask of 0 means no logic";
  ScriptDisplay({"on"});
  EXPECT_EQ(ReadAll(), E_FAIL);
  ErrorDetails unknown = Details();
  EXPECT_THAT(unknown.description.Str(), ::testing::HasSubstr("response string"));
  EXPECT_EQ(unknown.help_context, 72u);
}

TEST_F(AllWaveformTest, OneModelLeavesOutALogicRecordAsLongAsTheAnalogOne) {
  ASSERT_EQ(Attach(), S_OK);
  core->SetModelForTesting(LogicModel("R7175D"));
  for (std::size_t points : {501u, 500u}) {
    ScriptDisplay({"1", "0"});
    ScriptEnableMask(*io, 0x0001);
    ScriptChannel(std::string(points, '\x80'));
    ScriptEnableMask(*io, 0x0001);
    ScriptPod(*io, std::to_string(points), std::string(points, '\x01'));
    ASSERT_EQ(ReadAll(), S_OK);
    EXPECT_EQ(table.Elements(2), points > 500 ? 2u : 3u) << points;
  }
}

}  // namespace
}  // namespace vex::test
