// Command dispatch, identity, status registers, the error queue and saved
// states of the simulated instrument.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "engine/Instrument.h"

namespace vex::sim {
namespace {

using test::Ask;
using test::Bytes;
using test::DrainErrors;

TEST(Instrument, IdentifiesEveryModelWithItsChannelCount) {
  const std::vector<std::pair<std::string, int>> models = {
      {"VDS3002A", 2}, {"VDS3004A", 4}, {"VDS3012A", 2}, {"VDS3014A", 4},
      {"VDS3022A", 2}, {"VDS3024A", 4}, {"VDS3052B", 2}, {"VDS3072B", 2},
      {"VDS3102B", 2}, {"VDS3152B", 2}, {"3XXX", 2},     {"XYZ-9", 2},
  };
  for (const auto& [model, channels] : models) {
    SCOPED_TRACE(model);
    Instrument inst({.model = model, .serial = "S42", .firmware = "B.01"});
    EXPECT_EQ(Ask(inst, "*IDN?"), "VEXAN TECHNOLOGIES," + model + ",S42,B.01\n");
    EXPECT_EQ(inst.AnalogChannels(), channels);
    // The last channel answers; one beyond it is an undefined header.
    const std::string last = "CHAN" + std::to_string(channels);
    EXPECT_NE(Ask(inst, last + ":DISP?"), "<none>");
    EXPECT_EQ(Ask(inst, "CHAN" + std::to_string(channels + 1) + ":DISP?"), "<none>");
    EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-113,\"Undefined header\""});
  }
  Instrument plain;
  EXPECT_EQ(Ask(plain, "*IDN?"), "VEXAN TECHNOLOGIES,VDS3014A,SIM000001,A.03.00\n");
}

TEST(Instrument, HeadersInAnyFormAndRelativeToThePreviousOne) {
  Instrument inst;
  EXPECT_EQ(Ask(inst, ":WAVeform:FORMat WORD;:WAVEFORM:FORMAT?"), "WORD\n");
  EXPECT_EQ(Ask(inst, ":wav:form asc;:WAV:FORM?"), "ASC\n");
  EXPECT_EQ(Ask(inst, "WAV:FORM BYTE;FORM?"), "BYTE\n");  // relative to WAV
  // After a common command the path stays where it was.
  EXPECT_EQ(Ask(inst, ":WAV:FORM WORD;*OPC;FORM?"), "WORD\n");
  // A header that names nothing under the path is taken from the root.
  EXPECT_EQ(Ask(inst, "CHAN1:DISP?;CHAN2:DISP?;:CHAN3:DISP?"), "1;0;0\n");
  EXPECT_EQ(Ask(inst, ":CHAN2:DISP ON;DISP?"), "1\n");
  EXPECT_EQ(Ask(inst, ":CHANnel2:DISPlay OFF;:chan2:disp?"), "0\n");
  EXPECT_TRUE(DrainErrors(inst).empty());
}

TEST(Instrument, PropertiesCheckTypesAndRanges) {
  Instrument inst;
  EXPECT_EQ(Ask(inst, ":CHAN1:DISP 0;DISP?;DISP 1;DISP?;DISP ON;DISP?;DISP OFF;DISP?"),
            "0;1;1;0\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:DISP MAYBE;:CHAN1:DISP?"), "0\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-224,\"Illegal parameter value\""});
  // Ranges clip where the instrument clips, and refuse where it refuses.
  EXPECT_EQ(Ask(inst, ":CHAN1:RANG 1000;RANG?"), "+4.000000E+01\n");
  EXPECT_EQ(Ask(inst, ":CHAN1:RANG 1e-6;RANG?"), "+1.600000E-02\n");
  // The record length reads back while its source channel is on.
  EXPECT_EQ(Ask(inst, ":CHAN1:DISP ON;:WAV:POIN 9000000;:WAV:POIN?"), "8000000\n");
  EXPECT_EQ(Ask(inst, ":WAV:POIN NORM,500;:WAV:POIN?"), "500\n");
  EXPECT_EQ(Ask(inst, ":WAV:POIN abc;:WAV:POIN?"), "500\n");
  EXPECT_EQ(Ask(inst, ":WAV:FORM;:WAV:FORM BYTE,WORD;:WAV:FORM DOUBLE;:WAV:FORM?"), "BYTE\n");
  EXPECT_EQ(DrainErrors(inst), (std::vector<std::string>{
                                   "-104,\"Data type error\"",
                                   "-109,\"Missing parameter\"",
                                   "-108,\"Parameter not allowed\"",
                                   "-224,\"Illegal parameter value\"",
                               }));
  // A source the model lacks is refused and the old one stays.
  Instrument two({.model = "VDS3002A"});
  EXPECT_EQ(Ask(two, ":WAV:SOUR CHAN2;:WAV:SOUR CHAN3;:WAV:SOUR?"), "CHAN2\n");
  EXPECT_EQ(DrainErrors(two), std::vector<std::string>{"-221,\"Settings conflict\""});
}

TEST(Instrument, ErrorQueueAndEventStatusBits) {
  Instrument inst;
  EXPECT_EQ(Ask(inst, "*ESR?"), "+128\n");  // power on
  EXPECT_EQ(Ask(inst, "*ESR?"), "+0\n");    // reading clears it
  EXPECT_EQ(Ask(inst, ":SYST:ERR?"), "0,\"No error\"\n");

  Ask(inst, ":BOGUS:HEADER");
  EXPECT_EQ(Ask(inst, "*ESR?"), "+32\n");
  Ask(inst, ":CHAN1:OFFS 5;:CHAN1:DISP BAD");
  EXPECT_EQ(Ask(inst, "*ESR?"), "+16\n");
  EXPECT_EQ(Ask(inst, ":SYST:ERR?;:SYSTem:ERRor:NEXT?"),
            "-113,\"Undefined header\";-224,\"Illegal parameter value\"\n");
  EXPECT_EQ(Ask(inst, ":SYST:ERR?"), "0,\"No error\"\n");

  // A query of a command that has no query form is an undefined header too.
  EXPECT_EQ(Ask(inst, ":STOP?"), "<none>");
  EXPECT_EQ(Ask(inst, "*STB?"), "+4\n");
}

TEST(Instrument, StatusByteAndClear) {
  Instrument inst;
  Ask(inst, "*CLS");
  EXPECT_EQ(Ask(inst, "*STB?"), "+0\n");
  Ask(inst, ":NOPE");
  EXPECT_EQ(Ask(inst, "*STB?"), "+4\n");  // error queue not empty
  Ask(inst, "*ESE 32");
  EXPECT_EQ(Ask(inst, "*ESE?;*STB?"), "+32;+36\n");
  Ask(inst, "*CLS");
  EXPECT_EQ(Ask(inst, "*STB?;:SYST:ERR?"), "+0;0,\"No error\"\n");
  Ask(inst, "*OPC");
  EXPECT_EQ(Ask(inst, "*ESR?;*OPC?;*TST?"), "+1;1;+0\n");
}

TEST(Instrument, QueueOverflowKeepsTheOldestAndMarksTheEnd) {
  Instrument inst;
  for (int i = 0; i < 40; ++i) Ask(inst, ":NOPE");
  auto errors = DrainErrors(inst);
  ASSERT_EQ(errors.size(), ErrorQueue::kCapacity);
  EXPECT_EQ(errors.front(), "-113,\"Undefined header\"");
  EXPECT_EQ(errors.back(), "-350,\"Queue overflow\"");
}

TEST(Instrument, UnreadReplyIsInterruptedByTheNextMessage) {
  Instrument inst;
  inst.Write(Bytes("*IDN?\n"));
  inst.Write(Bytes("*TST?\n"));  // the identity was never read
  auto r = inst.TakeResponse();
  ASSERT_TRUE(r);
  EXPECT_EQ(test::Text(r->bytes), "+0\n");
  EXPECT_FALSE(inst.TakeResponse());
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-410,\"Query INTERRUPTED\""});
  // Several queries in one write are all answered, in order.
  inst.Write(Bytes("*TST?\n*OPC?\n"));
  EXPECT_EQ(test::Text(inst.TakeResponse()->bytes), "+0\n");
  EXPECT_EQ(test::Text(inst.TakeResponse()->bytes), "1\n");
  EXPECT_TRUE(DrainErrors(inst).empty());
}

TEST(Instrument, DeviceClearDropsPartialInputAndUnreadReplies) {
  Instrument inst;
  inst.Write(Bytes("*IDN?\n:CHAN2:DISP O"));
  inst.DefaultSession().DeviceClear();
  EXPECT_FALSE(inst.TakeResponse());
  // The rest of the half command is a header of its own, and CHAN2 stays off.
  EXPECT_EQ(Ask(inst, "N;:CHAN2:DISP?"), "0\n");
  EXPECT_EQ(DrainErrors(inst), std::vector<std::string>{"-113,\"Undefined header\""});
}

TEST(Instrument, EndFlagTerminatesAMessage) {
  Instrument inst;
  inst.Write(Bytes("*ID"));
  inst.Write(Bytes("N?"), true);
  auto r = inst.TakeResponse();
  ASSERT_TRUE(r);
  EXPECT_EQ(test::Text(r->bytes).substr(0, 6), "VEXAN ");
}

TEST(Instrument, SaveRecallResetAndSetupBlocks) {
  Instrument inst;
  Ask(inst, ":CHAN2:DISP ON;:CHAN2:RANG 2;:TIM:RANG 5e-3;:WAV:FORM WORD");
  Ask(inst, "*SAV 2");
  const std::string setup = Ask(inst, ":SYST:SET?");
  ASSERT_TRUE(setup.starts_with("#8"));
  Ask(inst, "*RST");
  EXPECT_EQ(Ask(inst, ":CHAN2:DISP?;:CHAN2:RANG?;:TIM:RANG?;:WAV:FORM?"),
            "0;+8.000000E+00;+1.000000E-03;BYTE\n");
  Ask(inst, "*RCL 2");
  EXPECT_EQ(Ask(inst, ":CHAN2:DISP?;:CHAN2:RANG?;:TIM:RANG?;:WAV:FORM?"),
            "1;+2.000000E+00;+5.000000E-03;WORD\n");

  // The setup block comes back through ":SYST:SET <block>", written raw
  // without a terminator as hosts do; its data holds line feeds.
  Ask(inst, "*RST");
  std::string block = setup.substr(0, setup.size() - 1);
  ASSERT_NE(block.find('\n'), std::string::npos);
  inst.Write(Bytes(":SYST:SET " + block));
  EXPECT_EQ(Ask(inst, ":CHAN2:DISP?;:CHAN2:RANG?;:TIM:RANG?;:WAV:FORM?"),
            "1;+2.000000E+00;+5.000000E-03;WORD\n");
  EXPECT_TRUE(DrainErrors(inst).empty());

  // A damaged setup changes nothing.
  Ask(inst, ":SYST:SET #212NOT A SETUP");
  Ask(inst, ":SYST:SET #3024VEXSIM-SETUP\nBOGUS:KEY 1");
  Ask(inst, "*RCL 1;*SAV 3");
  EXPECT_EQ(Ask(inst, ":CHAN2:RANG?"), "+2.000000E+00\n");
  EXPECT_EQ(DrainErrors(inst), (std::vector<std::string>{
                                   "-161,\"Invalid block data\"",
                                   "-161,\"Invalid block data\"",
                                   "-221,\"Settings conflict\"",
                                   "-222,\"Data out of range\"",
                               }));
}

TEST(Instrument, SessionsShareStateButNotReplies) {
  Instrument inst;
  auto a = inst.OpenSession();
  auto b = inst.OpenSession();
  Ask(*a, ":CHAN3:DISP ON");
  EXPECT_EQ(Ask(*b, ":CHAN3:DISP?"), "1\n");
  a->Write(Bytes("*IDN?\n"));
  EXPECT_FALSE(b->HasResponse());
  EXPECT_TRUE(a->TakeResponse());
  Ask(*a, ":NOPE");
  EXPECT_EQ(Ask(*b, ":SYST:ERR?"), "-113,\"Undefined header\"\n");
}

TEST(Instrument, RunControlAndTraceMemories) {
  Instrument inst;
  Ask(inst, ":STOP");
  EXPECT_EQ(inst.run_state, Instrument::RunState::kStopped);
  Ask(inst, ":RUN");
  EXPECT_EQ(inst.run_state, Instrument::RunState::kRunning);
  Ask(inst, ":SING");
  EXPECT_EQ(inst.acquisitions, 1u);
  Ask(inst, ":DIG CHAN1,CHAN3");
  EXPECT_EQ(inst.acquisitions, 2u);
  Ask(inst, ":DIG \"CHAN2,CHAN4\"");
  EXPECT_EQ(inst.acquisitions, 3u);
  Ask(inst, ":DIGitize CHAN1,CHAN7");
  Ask(inst, ":DIG 'CHAN1,SCOPE'");
  EXPECT_EQ(inst.acquisitions, 3u);
  Ask(inst, ":VIEW CHAN4;:BLANk CHAN1");
  EXPECT_EQ(Ask(inst, ":CHAN4:DISP?;:CHAN1:DISP?"), "1;0\n");
  Ask(inst, ":AUT");
  EXPECT_EQ(Ask(inst, ":CHAN1:DISP?;:CHAN2:DISP?"), "1;1\n");

  Ask(inst, ":TRAC:DATA 1,#15a;b\nc");
  EXPECT_EQ(Ask(inst, ":TRAC:DATA? 1"), "#800000005a;b\nc\n");
  EXPECT_EQ(Ask(inst, ":TRAC:DATA? 2"), "<none>");
  EXPECT_EQ(DrainErrors(inst), (std::vector<std::string>{"-221,\"Settings conflict\"",
                                                         "-224,\"Illegal parameter value\"",
                                                         "-221,\"Settings conflict\""}));
}

}  // namespace
}  // namespace vex::sim
