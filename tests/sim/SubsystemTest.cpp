// Acquisition, channel, timebase, trigger, measurement, screen image and
// trace memory commands of the simulated instrument.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "SimTestUtil.h"
#include "engine/Instrument.h"

namespace vex::sim {
namespace {

using test::Ask;
using test::Bytes;
using test::DrainErrors;

// The data of a "#8<len><data>\n" reply, or empty when the reply is not one.
std::string BlockData(const std::string& reply) {
  if (reply.size() < 11 || reply.compare(0, 2, "#8") != 0) return {};
  const std::size_t len = std::stoul(reply.substr(2, 8));
  if (reply.size() != 10 + len + 1) return {};
  return reply.substr(10, len);
}

double Number(const std::string& reply) {
  return std::strtod(reply.c_str(), nullptr);
}

// Every header the host's command set for the shipped models sends, in the
// forms it sends them, with arguments it may pass; none may be refused.
TEST(Subsystems, AcceptsEveryHeaderTheHostSends) {
  const std::vector<std::string> messages = {
      // Identification, status, utilities, run control.
      "*IDN?", "*RST", "*CLS", "*ESR?", "*STB?", "*TST?", "*SAV 0", "*SAV 2", "*RCL 2",
      ":SYST:ERR?", ":SYST:SET?", ":AUT", ":STOP", ":SING", ":DIG CHAN1,CHAN3", "*OPC?",
      // Acquisition.
      ":ACQ:TYPE NORM", ":ACQ:TYPE AVER", ":ACQ:TYPE PEAK", ":ACQ:TYPE GLIT", ":ACQ:TYPE REAL",
      ":ACQ:TYPE AUTO", ":ACQ:TYPE?", ":ACQ:COUN +64", ":ACQ:COUN 8", ":ACQ:COUN?", ":ACQ:COMP?",
      ":ACQ:COMP 100", ":ACQ:POIN 1000", ":ACQ:POIN?",
      // Analog channels.
      "CHAN1:DISP?", "CHAN2:DISP?", ":VIEW CHAN2", ":BLAN CHAN2", ":CHAN1:RANG 4", ":CHAN1:RANG?",
      ":CHAN3:RANG HIGH", ":CHAN4:RANG \"LOW\"", ":CHAN3:RANG?", ":CHAN1:OFFS 0.5", ":CHAN1:OFFS?",
      ":CHAN1:PMOD?", ":CHAN1:PMOD MAN", ":CHAN1:PROB X10", ":CHAN1:PROB X1", ":CHAN1:PROB?",
      ":CHAN1:PROB:EC AC", ":CHAN1:PROB:EC GND", ":CHAN1:PROB:EC DC", ":CHAN1:PROB:EC?",
      ":CHAN1:BWL ON", ":CHAN1:BWL OFF", ":CHAN1:BWL?", ":CHAN2:INP FIFT", ":CHAN2:INP ONEM",
      ":CHAN2:INP?",
      // Timebase.
      ":TIM:MODE NORM", ":TIM:MODE DEL", ":TIM:MODE XY", ":TIM:MODE ROLL", ":TIM:MODE?",
      ":TIM:RANG 1E-09", ":TIM:RANG 50", ":TIM:RANG?", ":TIM:REF LEFT", ":TIM:REF CENT",
      ":TIM:REF RIGHT", ":TIM:REF?", ":TIM:WIND:DEL 1E-6", ":TIM:WIND:DEL?", ":TIM:DEL 0",
      ":TIM:DEL?", ":WAV:XINC?",
      // Trigger.
      ":TRIG:MODE AUTL", ":TRIG:MODE AUTO", ":TRIG:MODE NORM", ":TRIG:MODE SING", ":TRIG:MODE TV",
      ":TRIG:MODE?", ":TRIG:EDGE:SOUR CHAN1", ":TRIG:EDGE:SOUR EXT", ":TRIG:EDGE:SOUR LINE",
      ":TRIG:EDGE:SOUR?", ":TRIG:EDGE:SLOP NEG", ":TRIG:EDGE:SLOP POS", ":TRIG:EDGE:SLOP?",
      ":TRIG:LEV 0.5", ":TRIG:LEV?", ":TRIG:EDGE:COUP AC", ":TRIG:EDGE:COUP DC", ":TRIG:EDGE:COUP?",
      ":TRIG:HOLD 1E-06", ":TRIG:HOLD?",
      // Measurements: the source, then the query form of each template.
      ":MEAS:SOUR CHAN1", ":MEAS:FREQ?", ":MEAS:PER?", ":MEAS:PWID?", ":MEAS:NWID?", ":MEAS:RIS?",
      ":MEAS:FALL?", ":MEAS:DUTY?", ":MEAS:VRMS?", ":MEAS:VMAX?", ":MEAS:VMIN?", ":MEAS:VAV?",
      ":MEAS:VPP?", ":MEAS:VAMP?", ":MEAS:PRES?", ":MEAS:OVER?", ":MEAS:FREQ? CHAN1",
      // Screen image and trace memories.
      ":DISP:DATA? BMP,SCR", ":DISP:DATA? BMP,SCR,GRAY", ":MERG PMEM1", ":CDIS", ":VIEW PMEM1",
      ":DISP:SOUR PMEM1", ":DISP:DATA?", ":STAT? PMEM1", ":BLAN PMEM1", ":STOR CHAN1,PMEM2",
      ":ERAS PMEM2",
      // Waveform transfer.
      ":WAVeform:FORMat BYTE", ":WAV:FORM BYTE", ":WAV:SOUR CHAN1", ":WAV:POIN?", ":WAV:PRE?",
      ":WAV:DATA?"};
  Instrument inst({.model = "VDS3004A"});
  for (const std::string& m : messages) {
    SCOPED_TRACE(m);
    inst.Write(Bytes(m + "\n"));
    while (inst.TakeResponse()) {
    }
    EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{});
  }
  // Block writes: the setup and a trace memory's data.
  const std::string setup = BlockData(Ask(inst, ":SYST:SET?"));
  ASSERT_FALSE(setup.empty());
  char header[32];
  std::snprintf(header, sizeof header, "#8%08zu", setup.size());
  inst.Write(Bytes(":SYSTEM:SETUP " + std::string(header) + setup));
  inst.Write(Bytes(":SYST:SET " + std::string(header) + setup), true);
  inst.Write(Bytes(":DISP:DATA #15hello"), true);
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{});
  EXPECT_EQ(BlockData(Ask(inst, ":DISP:DATA?")), "hello");
}

TEST(Subsystems, ChannelSettingsReadBackWithTheInstrumentsLimits) {
  Instrument inst({.model = "VDS3004A"});
  // After a header with two levels the path is at its second level.
  EXPECT_EQ(Ask(inst, ":CHAN1:PMOD?;PROB?;PROB:EC?;:CHAN1:BWL?;INP?"),
            "MAN;+1.000000E+00;DC;0;ONEM\n");
  // Offsets clip to what the range allows: +-40 V at 8 V, +-2 V at 0.5 V.
  EXPECT_EQ(Ask(inst, ":CHAN1:OFFS 100;OFFS?"), "+4.000000E+01\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:RANG 0.5;OFFS?"), "+2.000000E+00\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:OFFS -7;OFFS?"), "-2.000000E+00\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:RANG 2;OFFS -7;OFFS?"), "-7.000000E+00\n");
  // A probe scales range, offset and their limits.
  EXPECT_EQ(Ask(inst, ":CHAN1:PROB X10;PROB?;RANG?;OFFS?"),
            "+1.000000E+01;+2.000000E+01;-7.000000E+01\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:RANG 400;RANG?;RANG 401;RANG?;RANG 0.16;RANG?"),
            "+4.000000E+02;+4.000000E+02;+1.600000E-01\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:PROB 1e5;PROB?"), "+1.000000E+01\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-222,\"Data out of range\""});
  // Automatic probe sense refuses a programmed attenuation.
  EXPECT_EQ(Ask(inst, ":CHAN2:PMOD AUT;PROB X10;PROB?"), "+1.000000E+00\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-221,\"Settings conflict\""});

  // Channels 3 and 4 of the four-channel models have a low and a high range.
  EXPECT_EQ(Ask(inst, ":CHAN3:RANG?;:CHAN4:RANG?"), "HIGH;HIGH\n");
  EXPECT_EQ(Ask(inst, ":CHAN3:RANG LOW;RANG?;RANG 0.016;RANG?;RANG 0.02;RANG?"), "LOW;LOW;HIGH\n");
  EXPECT_EQ(Ask(inst, ":CHAN3:DISP ON;:WAV:SOUR CHAN3;:WAV:PRE?").substr(0, 16),
            "0,0,1000,1,1.000");
  // The VDS3004A's two-range inputs lack AC coupling; other channels have it.
  EXPECT_EQ(Ask(inst, ":CHAN3:PROB:EC AC;:CHAN3:PROB:EC?;:CHAN2:PROB:EC AC;:CHAN2:PROB:EC?"),
            "DC;AC\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-221,\"Settings conflict\""});
  Instrument two({.model = "VDS3002A"});
  EXPECT_EQ(Ask(two, ":CHAN2:RANG 0.02;RANG?"), "+2.000000E-02\n");

  // Coupling shapes the waveform: AC removes CHAN4's 0.5 V level.
  Instrument four({.model = "VDS3014A"});
  EXPECT_EQ(Ask(four, ":CHAN4:DISP ON;:CHAN4:RANG 8;:MEAS:VAV? CHAN4").substr(0, 6), "+5.000");
  EXPECT_LT(std::fabs(Number(Ask(four, ":CHAN4:PROB:EC AC;:MEAS:VAV? CHAN4"))), 1e-3);
  EXPECT_EQ(Ask(four, ":CHAN4:PROB:EC GND;:MEAS:VPP? CHAN4"), "+0.000000E+00\n");
  EXPECT_EQ(DrainErrors(four), std::vector<std::string>{});
}

TEST(Subsystems, TimebaseTriggerAndAcquisitionReadBackAndSurviveSavedStates) {
  Instrument inst({.model = "VDS3014A"});
  EXPECT_EQ(Ask(inst, ":TIM:MODE?;:TIM:MODE NORM;MODE?;MODE DEL;MODE?;MODE ROLL;MODE?"),
            "MAIN;MAIN;WIND;ROLL\n");
  EXPECT_EQ(Ask(inst, ":TIM:REF RIGHT;REF?;:TIM:WIND:DEL 2e-6;:TIM:WIND:DEL?"),
            "RIGH;+2.000000E-06\n");
  // The edge settings answer under both header forms.
  EXPECT_EQ(Ask(inst, ":TRIG:EDGE:SOUR CHAN3;:TRIG:SOUR?;:TRIG:SLOP NEG;:TRIG:EDGE:SLOP?"),
            "CHAN3;NEG\n");
  EXPECT_EQ(Ask(inst, ":TRIG:EDGE:LEV 1.25;:TRIG:LEV?;:TRIG:COUP AC;:TRIG:EDGE:COUP?"),
            "+1.250000E+00;AC\n");
  EXPECT_EQ(Ask(inst, ":TRIG:MODE AUTL;MODE?;:TRIG:HOLD 1e-3;HOLD?"), "AUTL;+1.000000E-03\n");
  EXPECT_EQ(Ask(inst, ":ACQ:TYPE AVER;TYPE?;COUN +64;COUN?;COMP 50;COMP?;POIN 2000;POIN?"),
            "AVER;64;50;2000\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:DISP OFF;:WAV:POIN?;:ACQ:POIN?"), "0;2000\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{});
  // Refusals: a source the model lacks, a count or percentage out of range.
  Ask(inst, ":TRIG:EDGE:SOUR CHAN5;:TRIG:SOUR DIG3;:ACQ:COUN 0;:ACQ:COMP 101");
  EXPECT_EQ(DrainErrors(inst), (std::vector<std::string>{
                                   "-221,\"Settings conflict\"", "-224,\"Illegal parameter value\"",
                                   "-222,\"Data out of range\"", "-222,\"Data out of range\""}));
  Instrument two({.model = "VDS3002A"});
  Ask(two, ":TRIG:SOUR CHAN3");
  EXPECT_EQ(DrainErrors(two), std::vector<std::string>{"-221,\"Settings conflict\""});

  // Saved states and the setup block carry the new settings; *RST restores
  // the defaults.
  Ask(inst, "*SAV 1;*RST");
  EXPECT_EQ(Ask(inst, ":TIM:MODE?;:TRIG:SOUR?;:ACQ:TYPE?;:ACQ:COUN?;:CHAN1:PROB?"),
            "MAIN;CHAN1;NORM;8;+1.000000E+00\n");
  EXPECT_EQ(Ask(inst, "*RCL 1;:TIM:MODE?;:TRIG:SOUR?;:ACQ:TYPE?;:ACQ:COUN?"),
            "ROLL;CHAN3;AVER;64\n");
  const std::string setup = Ask(inst, ":SYST:SET?");
  Ask(inst, "*RST");
  inst.Write(Bytes(":SYST:SET " + setup.substr(0, setup.size() - 1)), true);
  EXPECT_EQ(Ask(inst, ":TIM:MODE?;:TRIG:EDGE:COUP?;:ACQ:COMP?"), "ROLL;AC;50\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{});
}

TEST(Subsystems, MeasurementsFollowTheSyntheticWaveforms) {
  Instrument inst({.model = "VDS3004A"});
  Ask(inst, ":AUT;:CHAN3:RANG LOW;:CHAN3:RANG HIGH");
  auto measure = [&](const std::string& what, int channel) {
    return Number(Ask(inst, ":MEAS:" + what + "? CHAN" + std::to_string(channel)));
  };
  // CHAN1: 1 kHz sine of 4 V amplitude.
  EXPECT_NEAR(measure("FREQ", 1), 1000.0, 1.0);
  EXPECT_NEAR(measure("PER", 1), 1e-3, 1e-6);
  EXPECT_NEAR(measure("VPP", 1), 8.0, 0.01);
  EXPECT_NEAR(measure("VMAX", 1), 4.0, 0.01);
  EXPECT_NEAR(measure("VMIN", 1), -4.0, 0.01);
  EXPECT_NEAR(measure("VRMS", 1), 4.0 / std::sqrt(2.0), 0.01);
  EXPECT_NEAR(measure("VAV", 1), 0.0, 0.01);
  EXPECT_NEAR(measure("DUTY", 1), 50.0, 0.1);
  // CHAN2: 1 kHz square of +-1.5 V: flat top and base, steep edges.
  EXPECT_NEAR(measure("FREQ", 2), 1000.0, 1.0);
  EXPECT_NEAR(measure("PWID", 2), 0.5e-3, 1e-6);
  EXPECT_NEAR(measure("NWID", 2), 0.5e-3, 1e-6);
  EXPECT_NEAR(measure("DUTY", 2), 50.0, 0.1);
  EXPECT_NEAR(measure("VAMP", 2), 3.0, 0.01);
  EXPECT_NEAR(measure("OVER", 2), 0.0, 0.01);
  EXPECT_NEAR(measure("PRES", 2), 0.0, 0.01);
  EXPECT_LT(measure("RIS", 2), 1e-7);
  // CHAN3: 500 Hz triangle of +-3 V: 10 % to 90 % takes 0.8 ms each way.
  EXPECT_NEAR(measure("FREQ", 3), 500.0, 0.5);
  EXPECT_NEAR(measure("RIS", 3), 0.8e-3, 1e-6);
  EXPECT_NEAR(measure("FALL", 3), 0.8e-3, 1e-6);
  EXPECT_NEAR(measure("VAMP", 3), 6.0, 0.01);
  // CHAN4: 2 kHz sine of 1 V on 0.5 V.
  EXPECT_NEAR(measure("FREQ", 4), 2000.0, 2.0);
  EXPECT_NEAR(measure("VAV", 4), 0.5, 0.01);
  // The query without a source measures the one selected last.
  EXPECT_EQ(Ask(inst, ":MEAS:SOUR CHAN2;:MEAS:SOUR?"), "CHAN2\n");
  EXPECT_NEAR(Number(Ask(inst, ":MEAS:VMAX?")), 1.5, 0.01);
  EXPECT_EQ(Ask(inst, ":MEAS:VMAX? CHAN3;:MEAS:SOUR?").substr(14), "CHAN3\n");
  // A signal clipped by the screen measures as its clipped trace.
  EXPECT_NEAR(Number(Ask(inst, ":CHAN1:RANG 2;:MEAS:VMAX? CHAN1")), 1.0, 0.01);
  // No edge in the record, or a channel that is off: the invalid value.
  EXPECT_EQ(Ask(inst, ":TIM:RANG 1e-7;:MEAS:FREQ? CHAN1"), "+9.900000E+37\n");
  EXPECT_EQ(Ask(inst, ":TIM:RANG 1e-3;:CHAN2:DISP OFF;:MEAS:FREQ? CHAN2"), "+9.900000E+37\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{});
  Ask(inst, ":MEAS:FREQ? CHAN5;:MEAS:SOUR EXT");
  EXPECT_EQ(DrainErrors(inst), (std::vector<std::string>{"-221,\"Settings conflict\"",
                                                         "-224,\"Illegal parameter value\""}));
}

// Reads a little-endian field of a BMP file.
uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

// The palette index at (x, y), y from the top.
int Pixel(const std::string& bmp, int x, int y) {
  const uint32_t offset = Le(bmp, 10, 4);
  const uint32_t width = Le(bmp, 18, 4);
  const uint32_t height = Le(bmp, 22, 4);
  return static_cast<uint8_t>(bmp[offset + (height - 1 - y) * width + x]);
}

int CountIndex(const std::string& bmp, int index) {
  int n = 0;
  for (std::size_t i = Le(bmp, 10, 4); i < bmp.size(); ++i) n += bmp[i] == index;
  return n;
}

TEST(Subsystems, ScreenImageIsABitmapOfTheInstrumentsState) {
  Instrument inst({.model = "VDS3004A"});
  const std::string bmp = BlockData(Ask(inst, ":DISP:DATA? BMP,SCR"));
  ASSERT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(Le(bmp, 2, 4), bmp.size());
  EXPECT_EQ(Le(bmp, 10, 4), 14u + 40u + 1024u);
  EXPECT_EQ(Le(bmp, 14, 4), 40u);
  EXPECT_EQ(Le(bmp, 18, 4), 640u);
  EXPECT_EQ(Le(bmp, 22, 4), 480u);
  EXPECT_EQ(Le(bmp, 28, 2), 8u);
  EXPECT_EQ(bmp.size(), 14u + 40u + 1024u + 640u * 480u);
  // Channel 1 (palette entry 4, yellow) crosses the screen's centre: its
  // sine is at 0 V there.
  EXPECT_EQ(Le(bmp, 54 + 4 * 4, 4), 0x00FFFF00u);  // B, G, R, 0: yellow
  EXPECT_EQ(Pixel(bmp, 20 + 300, 24 + 128 * 399 / 255), 4);
  const int ch1 = CountIndex(bmp, 4);
  EXPECT_GT(ch1, 600);
  EXPECT_LT(CountIndex(bmp, 5), 200);  // channel 2 is off: only its label
  EXPECT_GT(CountIndex(bmp, 3), 200);  // the status line

  // Grey: the same picture with a palette whose entries are grey.
  const std::string gray = BlockData(Ask(inst, ":DISP:DATA? BMP,SCR,GRAY"));
  ASSERT_EQ(gray.size(), bmp.size());
  EXPECT_EQ(gray.substr(1078), bmp.substr(1078));
  for (int i = 0; i < 256; ++i) {
    const std::size_t at = 54 + 4 * static_cast<std::size_t>(i);
    EXPECT_EQ(gray[at], gray[at + 1]);
    EXPECT_EQ(gray[at + 1], gray[at + 2]);
  }
  EXPECT_NE(gray.substr(54, 1024), bmp.substr(54, 1024));

  // The picture follows the state: channel 2 switched on adds its trace,
  // channel 1 off removes its own; a shown trace memory is drawn in orange.
  const int ch2_label = CountIndex(bmp, 5);
  const std::string more = BlockData(Ask(inst, ":VIEW CHAN2;:BLAN CHAN1;:DISP:DATA? BMP,SCR"));
  EXPECT_GT(CountIndex(more, 5), ch2_label + 600);
  EXPECT_LT(CountIndex(more, 4), 200);
  EXPECT_EQ(CountIndex(more, 8), 0);
  const std::string memory =
      BlockData(Ask(inst, ":STOR CHAN2,PMEM0;:BLAN CHAN2;:VIEW PMEM0;:DISP:DATA? BMP,SCR"));
  EXPECT_GT(CountIndex(memory, 8), 600);
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{});
  Ask(inst, ":DISP:DATA? PCL;:DISP:DATA? BMP,SCR,SEPIA");
  EXPECT_EQ(DrainErrors(inst), (std::vector<std::string>{"-109,\"Missing parameter\"",
                                                         "-224,\"Illegal parameter value\""}));
}

TEST(Subsystems, TraceMemoriesStoreShowAndErase) {
  Instrument inst({.model = "VDS3004A"});
  EXPECT_EQ(Ask(inst, ":STAT? PMEM1"), "0\n");
  // A stored channel holds the channel's codes, as the waveform data does.
  const std::string codes = BlockData(Ask(inst, ":WAV:SOUR CHAN1;:WAV:DATA?"));
  Ask(inst, ":STOR CHAN1,PMEM1");
  EXPECT_EQ(BlockData(Ask(inst, ":DISP:SOUR PMEM1;:DISP:SOUR?;:DISP:DATA?").substr(6)), codes);
  EXPECT_EQ(Ask(inst, ":VIEW PMEM1;:STAT? PMEM1;:BLAN PMEM1;:STAT? PMEM1"), "1;0\n");
  EXPECT_EQ(Ask(inst, ":VIEW PMEM1;:VIEW PMEM2;:CDIS;:STAT? PMEM1;:STAT? PMEM2"), "0;0\n");
  // Merge stores the first channel shown.
  Ask(inst, ":BLAN CHAN1;:VIEW CHAN2;:MERG PMEM2");
  EXPECT_EQ(BlockData(Ask(inst, ":DISP:SOUR PMEM2;:DISP:DATA?")),
            BlockData(Ask(inst, ":WAV:SOUR CHAN2;:WAV:DATA?")));
  // Host data goes to the selected memory and comes back unchanged.
  inst.Write(Bytes(":DISP:SOUR PMEM0;:DISP:DATA #14\x01\n\x02\x03"), true);
  EXPECT_EQ(BlockData(Ask(inst, ":DISP:DATA?")), std::string("\x01\n\x02\x03", 4));
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{});
  // Erased memories are empty and hidden.
  Ask(inst, ":VIEW PMEM2;:ERAS PMEM2;:DISP:SOUR PMEM2;:DISP:DATA?");
  EXPECT_EQ(Ask(inst, ":STAT? PMEM2"), "0\n");
  Ask(inst, ":BLAN CHAN2;:MERG PMEM1;:STOR CHAN3,PMEM1;:ERAS PMEM101;:STAT? CHAN1;:VIEW PMEMX");
  EXPECT_EQ(DrainErrors(inst),
            (std::vector<std::string>{"-221,\"Settings conflict\"", "-221,\"Settings conflict\"",
                                      "-221,\"Settings conflict\"", "-222,\"Data out of range\"",
                                      "-224,\"Illegal parameter value\"",
                                      "-224,\"Illegal parameter value\""}));
}

TEST(Subsystems, ErrorQueueAnswersInEitherForm) {
  Instrument inst;
  auto other = inst.OpenSession();
  EXPECT_EQ(Ask(inst, ":SIM:ERRF?;:NOPE;:SYST:ERR?;:SYST:ERR?"),
            "LONG;-113,\"Undefined header\";0,\"No error\"\n");
  EXPECT_EQ(Ask(inst, ":SIM:ERRF SHORT;:SIM:ERRF?;:NOPE;:SYST:ERR?;:SYST:ERR?"), "SHOR;-113;0\n");
  // The form belongs to the connection.
  EXPECT_EQ(test::Ask(*other, ":NOPE;:SYST:ERR?"), "-113,\"Undefined header\"\n");
  EXPECT_EQ(Ask(inst, ":SIM:ERRF LONG;:SYST:ERR?"), "0,\"No error\"\n");
  Ask(inst, ":SIM:ERRF MEDIUM");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-224,\"Illegal parameter value\""});
  // An instrument can start every connection in the short form.
  Instrument terse({.short_errors = true});
  EXPECT_EQ(Ask(terse, ":NOPE;:SYST:ERR?"), "-113\n");
  EXPECT_EQ(Ask(terse, "*TST?"), "+0\n");
}

}  // namespace
}  // namespace vex::sim
