#include <gmock/gmock.h>

#include "core_fixture.h"
#include "data_support.h"
#include "waveform_scaling.h"

namespace vex::test {
namespace {

using server::VexR7100_Channel_2;
using server::VexR7100_DataPoints_ALL;
using ::testing::ElementsAre;

// x increment 1 ms, x origin -2 ms, x reference 2; y increment 0.5 V,
// y origin 0.25 V, y reference 128.
constexpr const char* kPreamble = "0,0,4,1,1.0E-03,-2.0E-03,2,0.5,0.25,128";

class WaveformTest : public CoreTest {
 protected:
  // The replies of one channel's read.
  void ScriptChannel(const std::string& points, const std::string& preamble,
                     const std::string& data) {
    io->Reply(points).Reply(preamble).ReplyBlock(Block(data));
  }
  HRESULT Read(Variant* time, Variant* volts) {
    return core->GetWaveformData(VexR7100_Channel_2, VexR7100_DataPoints_ALL, time, volts);
  }
};

TEST_F(WaveformTest, ScalesEachSampleDownFromTheReferenceAndSubtractsTheOrigin) {
  ASSERT_EQ(Attach(), S_OK);
  ScriptChannel("4", kPreamble, std::string("\x80\x00\xFF\x64", 4));
  Variant time, volts;
  ASSERT_EQ(Read(&time, &volts), S_OK);
  EXPECT_THAT(io->sent, ElementsAre(":WAVeform:FORMat BYTE", ":WAV:SOUR CHAN2", ":WAV:POIN?",
                                    ":WAV:PRE?", ":WAV:DATA?"));
  // (128 - b) × 0.5 - 0.25; sample 128 gives minus the origin.
  EXPECT_THAT(Doubles(volts), ElementsAre(-0.25, 63.75, -63.75, 13.75));
  // (i - 2) × 1 ms - 2 ms.
  EXPECT_THAT(Doubles(time), ElementsAre(-4.0e-3, -3.0e-3, -2.0e-3, -1.0e-3));
  ASSERT_EQ(time.Array()->Dims(), 1u);
  std::int32_t lower = -1;
  ASSERT_EQ(time.Array()->GetLBound(1, &lower), S_OK);
  EXPECT_EQ(lower, 0);
}

TEST_F(WaveformTest, TheCountComesFromEitherFormOfThePointsReply) {
  ASSERT_EQ(Attach(), S_OK);
  std::string data(1000, '\x10');
  for (const char* reply : {"1000", "NORM,1000"}) {
    ScriptChannel(reply, kPreamble, data);
    Variant time, volts;
    ASSERT_EQ(Read(&time, &volts), S_OK) << reply;
    EXPECT_EQ(Doubles(volts).size(), 1000u) << reply;
  }
}

TEST_F(WaveformTest, RefusesCountsAndPreamblesItCannotTrust) {
  ASSERT_EQ(Attach(), S_OK);
  Variant time = Variant(1), volts = Variant(2);

  io->Reply("0");
  EXPECT_EQ(Read(&time, &volts), E_UNEXPECTED);
  ErrorDetails none = Details();
  EXPECT_EQ(none.description,
            "The specified analog channel currently has no acquired data (make sure that it is "
            "enabled).");
  EXPECT_EQ(none.help_context, 32u);
  EXPECT_EQ(time.I4(), 1) << "no output is set";
  EXPECT_EQ(volts.I4(), 2);

  const std::string not_recognized =
      "The SCPI response string received from the instrument is not recognized by the "
      "instrument automation server.";
  for (const char* points : {"-5", "lots", "NORM,", "12.5"}) {
    io->sent.clear();
    io->Reply(points);
    EXPECT_EQ(Read(&time, &volts), E_FAIL) << points;
    EXPECT_EQ(Description(), not_recognized) << points;
    EXPECT_EQ(io->sent.back(), ":WAV:POIN?") << "nothing more is asked after " << points;
  }
  for (const char* preamble : {"0,0,4,1,1.0E-03,-2.0E-03,2,0.5,0.25", "0,0,4,1,x,0,2,0.5,0.25,128",
                               "0,0,4,1,1e-3,0,2,0.5,0.25,huge"}) {
    io->Reply("4").Reply(preamble);
    EXPECT_EQ(Read(&time, &volts), E_FAIL) << preamble;
    EXPECT_EQ(Description(), not_recognized) << preamble;
  }
  EXPECT_EQ(time.I4(), 1);
}

TEST_F(WaveformTest, ABlockShorterThanTheCountIsCorrupt) {
  ASSERT_EQ(Attach(), S_OK);
  Variant time, volts;
  // Announces ten bytes, holds five.
  io->Reply("10").Reply(kPreamble).ReplyBlock("#210" + std::string(5, '\x40'));
  EXPECT_EQ(Read(&time, &volts), E_FAIL);
  EXPECT_EQ(Description(),
            "The instrument automation server detected corrupt data (IEEE definite block data) "
            "received from the instrument.");
  EXPECT_TRUE(time.IsEmpty());
  // A whole block with fewer points than the count reports.
  ScriptChannel("1000", kPreamble, std::string(999, '\x40'));
  EXPECT_EQ(Read(&time, &volts), E_FAIL);
  EXPECT_TRUE(volts.IsEmpty());
  // A block longer than the count gives the count.
  ScriptChannel("3", kPreamble, std::string(8, '\x80'));
  ASSERT_EQ(Read(&time, &volts), S_OK);
  EXPECT_THAT(Doubles(volts), ElementsAre(-0.25, -0.25, -0.25));
}

TEST_F(WaveformTest, FailuresNameTheMemberAndPutTheTransferStateBack) {
  ASSERT_EQ(Attach("VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00", "ASRL"), S_OK);
  Variant time, volts;
  EXPECT_EQ(core->GetWaveformData(static_cast<server::VexR7100_AnalogChannels>(7),
                                  VexR7100_DataPoints_ALL, &time, &volts),
            E_FAIL);
  ErrorDetails refused = Details();
  EXPECT_EQ(refused.description,
            "One or more of the input values are not recognized by the instrument automation "
            "server.");
  EXPECT_EQ(refused.help_context, 88u);

  io->Reply("4").Reply(kPreamble).FailRead(E_ABORT, "The link dropped mid-block.");
  EXPECT_EQ(Read(&time, &volts), E_ABORT);
  ErrorDetails failed = Details();
  EXPECT_EQ(failed.description,
            "VexR7100EZ::GetWaveformData method failed.\nThe link dropped mid-block.");
  EXPECT_EQ(failed.help_context, 11u);
  std::int32_t working = 0;
  core->get_Timeout(&working);
  EXPECT_EQ(io->timeout, working) << "the widened serial timeout is undone";
  EXPECT_EQ(io->term_char, 10) << "the termination character is back";
  EXPECT_THAT(io->term_chars_set, ::testing::Contains(-1)) << "blocks are read without it";

  SetUp();
  EXPECT_EQ(Read(&time, &volts), E_FAIL);
  EXPECT_EQ(Details().help_context, 1529u) << "not connected";
}

TEST(WaveformScaling, TheTableAndTheFormulaAgreeOnEveryCode) {
  server::WaveformScale scale{2e-9, -1e-6, 500, 0.0390625, -1.2, 127};
  auto table = server::VoltsTable(scale);
  for (int code = 0; code < 256; ++code) {
    double expected = static_cast<double>(127 - code) * 0.0390625 - -1.2;
    EXPECT_EQ(table[static_cast<std::size_t>(code)], expected) << code;
  }
  // The arrays of a read: every code and point, on the 32-bit paths and with
  // references so far away that the 64-bit ones take over.
  std::vector<std::uint8_t> codes(5000);
  for (std::size_t i = 0; i < codes.size(); ++i) codes[i] = static_cast<std::uint8_t>(i * 7);
  for (std::int32_t reference : {127, -2147483647 - 1, 2147483647}) {
    server::WaveformScale far{1e-3, 0.5, reference, 0.0390625, -1.2, reference};
    SafeArray t, v;
    ASSERT_EQ(server::ScaleWaveform(codes, far, &t, &v), S_OK);
    ASSERT_EQ(v.ElementCount(), codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
      ASSERT_EQ(v.Span<const double>()[i], server::VoltsOfCode(far, codes[i])) << i;
      ASSERT_EQ(
          v.Span<const double>()[i],
          static_cast<double>(static_cast<std::int64_t>(reference) - codes[i]) * 0.0390625 + 1.2)
          << i;
      ASSERT_EQ(t.Span<const double>()[i],
                static_cast<double>(static_cast<std::int64_t>(i) - reference) * 1e-3 + 0.5)
          << i;
    }
  }
  // ScaleTimes alone.
  std::vector<double> times(5);
  for (std::int32_t reference : {2, -2147483647, 2147483647}) {
    server::ScaleTimes(reference, 0.5, 3.0, times);
    for (std::size_t i = 0; i < times.size(); ++i)
      EXPECT_EQ(times[i],
                static_cast<double>(static_cast<std::int64_t>(i) - reference) * 0.5 + 3.0);
  }
}

}  // namespace
}  // namespace vex::test
