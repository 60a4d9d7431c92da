// Waveform records: the preamble describes the block, and the block holds
// what the channel and timebase settings say.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>

#include "SimTestUtil.h"
#include "engine/Instrument.h"
#include "engine/WaveformSynth.h"

namespace vex::sim {
namespace {

using test::Ask;

struct ParsedPreamble {
  std::vector<double> f;
  double operator[](std::size_t i) const { return f.at(i); }
};

ParsedPreamble ParsePreamble(const std::string& reply) {
  ParsedPreamble p;
  std::stringstream in(reply);
  std::string item;
  while (std::getline(in, item, ',')) p.f.push_back(std::stod(item));
  return p;
}

// The block's data bytes, checking the "#8<len>" header and the terminator.
std::vector<uint8_t> BlockData(const std::string& reply) {
  EXPECT_GE(reply.size(), 11u);
  EXPECT_EQ(reply.substr(0, 2), "#8");
  const std::size_t len = std::stoul(reply.substr(2, 8));
  EXPECT_EQ(reply.size(), 10 + len + 1);
  EXPECT_EQ(reply.back(), '\n');
  return {reply.begin() + 10, reply.begin() + 10 + static_cast<std::ptrdiff_t>(len)};
}

TEST(Waveform, DefaultRecordMatchesItsPreambleAndHoldsEveryByte) {
  Instrument inst;
  // The dialogue a host uses to read channel 1.
  Ask(inst, ":WAVeform:FORMat BYTE");
  Ask(inst, ":WAV:SOUR CHAN1");
  EXPECT_EQ(Ask(inst, ":WAV:POIN?"), "1000\n");
  const std::string pre = Ask(inst, ":WAV:PRE?");
  const auto p = ParsePreamble(pre);
  ASSERT_EQ(p.f.size(), 10u);
  EXPECT_EQ(p[0], 0);     // BYTE
  EXPECT_EQ(p[2], 1000);  // points
  const auto data = BlockData(Ask(inst, ":WAV:DATA?"));
  ASSERT_EQ(data.size(), 1000u);

  std::set<uint8_t> seen(data.begin(), data.end());
  EXPECT_EQ(seen.size(), 256u);

  // Scaled the host's way, the record is the 4 V, 1 kHz sine on the input
  // over the 1 ms timebase, within one code.
  const double x_inc = p[4], x_org = p[5], x_ref = p[6];
  const double y_inc = p[7], y_org = p[8], y_ref = p[9];
  EXPECT_DOUBLE_EQ(x_inc * 1000, 1e-3);
  for (std::size_t i = 0; i < data.size(); ++i) {
    const double t = (static_cast<double>(i) - x_ref) * x_inc + x_org;
    const double volts = (y_ref - data[i]) * y_inc - y_org;
    const double expected =
        std::clamp(4.0 * std::sin(2 * M_PI * 1e3 * t), -127 * y_inc, 128 * y_inc);
    ASSERT_NEAR(volts, expected, y_inc * 0.51) << "point " << i;
  }
}

TEST(Waveform, SettingsChangeScaleTimeAndLength) {
  Instrument inst;
  Ask(inst, ":CHAN1:RANG 16;:CHAN1:OFFS 1;:TIM:RANG 2e-3;:TIM:DEL 1e-4;:WAV:POIN 2000");
  const auto p = ParsePreamble(Ask(inst, ":WAV:PRE?"));
  EXPECT_DOUBLE_EQ(p[2], 2000);
  EXPECT_DOUBLE_EQ(p[4], 1e-6);
  EXPECT_DOUBLE_EQ(p[5], 1e-4 - 1e-3);
  EXPECT_DOUBLE_EQ(p[7], 16.0 / 256);
  EXPECT_DOUBLE_EQ(p[8], -1.0);
  const auto data = BlockData(Ask(inst, ":WAV:DATA?"));
  ASSERT_EQ(data.size(), 2000u);
  // The sine now spans half the screen; its 0 V sits 16 codes (1 V) below
  // the middle code, which stands for the 1 V offset.
  const auto [lo, hi] = std::minmax_element(data.begin(), data.end());
  EXPECT_NEAR(*lo, 128 + 16 - 64, 1);
  EXPECT_NEAR(*hi, 128 + 16 + 64, 1);
}

TEST(Waveform, SourceSelectsChannelAndAnOffChannelHasNoData) {
  Instrument inst;
  Ask(inst, ":WAV:SOUR CHAN2");
  EXPECT_EQ(Ask(inst, ":WAV:POIN?"), "0\n");
  EXPECT_EQ(Ask(inst, ":WAV:DATA?"), "#800000000\n");
  Ask(inst, ":VIEW CHAN2");
  const auto data = BlockData(Ask(inst, ":WAV:DATA?"));
  // The square wave: two levels only, 1.5 V either side of the middle.
  std::set<uint8_t> levels(data.begin(), data.end());
  EXPECT_EQ(levels, (std::set<uint8_t>{128 - 48, 128 + 48}));
}

TEST(Waveform, TestPatternIsTheByteRamp) {
  Instrument inst;
  Ask(inst, ":SIM:PATT ON;:WAV:POIN 600");
  const auto data = BlockData(Ask(inst, ":WAV:DATA?"));
  ASSERT_EQ(data.size(), 600u);
  for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], i % 256);
  EXPECT_EQ(Ask(inst, ":SIM:PATT?"), "1\n");
}

TEST(Waveform, WordAndAsciiFormats) {
  Instrument inst;
  Ask(inst, ":WAV:POIN 100");
  const auto bytes = BlockData(Ask(inst, ":WAV:DATA?"));
  Ask(inst, ":WAV:FORM WORD");
  const auto pw = ParsePreamble(Ask(inst, ":WAV:PRE?"));
  EXPECT_EQ(pw[0], 1);
  EXPECT_EQ(pw[9], 128 * 256);
  const auto words = BlockData(Ask(inst, ":WAV:DATA?"));
  ASSERT_EQ(words.size(), 200u);
  for (std::size_t i = 0; i < 100; ++i) {
    const int code = words[2 * i] * 256 + words[2 * i + 1];
    // Same volts as the byte record under the word preamble.
    ASSERT_DOUBLE_EQ((pw[9] - code) * pw[7], (128 - bytes[i]) * (8.0 / 256)) << i;
  }
  Ask(inst, ":WAV:FORM ASCii");
  const auto text = BlockData(Ask(inst, ":WAV:DATA?"));
  const std::string s(text.begin(), text.end());
  EXPECT_EQ(std::count(s.begin(), s.end(), ','), 99);
  EXPECT_DOUBLE_EQ(std::stod(s.substr(0, s.find(','))), (128 - bytes[0]) * (8.0 / 256));
}

TEST(Waveform, EightMillionPoints) {
  Instrument inst;
  Ask(inst, ":WAV:POIN 8000000");
  EXPECT_EQ(Ask(inst, ":WAV:POIN?"), "8000000\n");
  inst.Write(test::Bytes(":WAV:DATA?\n"));
  auto r = inst.TakeResponse();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bytes.size(), 10u + 8'000'000u + 1u);
  EXPECT_EQ(std::string(r->bytes.begin(), r->bytes.begin() + 10), "#808000000");
}

}  // namespace
}  // namespace vex::sim
