#include <gtest/gtest.h>

#include "command_table.h"
#include "error_handler.h"
#include "mnemonic_table.h"
#include "model_table.h"
#include "scpi_error_table.h"

namespace vex::server {
namespace {

TEST(CommandTable, FourFormsAndMissingCells) {
  EXPECT_EQ(ChannelForm(1, kCmdChannelRange, 3), ":ANAL3:RANG ");
  EXPECT_EQ(ChannelQueryForm(4, kCmdProbeAttenuation, 2), ":CHAN2:PROB?");
  EXPECT_EQ(QueryForm(0, kCmdDither), ":DITH?");
  EXPECT_FALSE(QueryForm(4, kCmdDither));
  EXPECT_FALSE(SetForm(2, kCmdChannelRange));
  EXPECT_FALSE(SetForm(4, kCmdEmpty)) << "an empty template is no command";
  EXPECT_FALSE(SetForm(5, kCmdFrequency));
  EXPECT_FALSE(SetForm(4, 40));
  EXPECT_FALSE(SetForm(4, -1));
  EXPECT_EQ(SetForm(4, kCmdScreenImage), ":DISP:DATA ");
  EXPECT_EQ(QueryForm(0, kCmdScreenImage), ":PRIN?");
  EXPECT_EQ(SetForm(1, kCmdAcquisitionPoints), ":WAV:POIN NORM,");
  EXPECT_EQ(SetForm(0, kCmdDisplayTextLine), ":DISP:TEXT BLAN;INV ON;ROW 18;COL 6;LINE ");
  EXPECT_EQ(SetForm(4, kCmdTriggerCoupling), ":TRIG:EDGE:COUP ");
  int set4 = 0;
  for (int id = 0; id < kCommandCount; ++id) set4 += SetForm(4, id) ? 1 : 0;
  EXPECT_EQ(set4, 34) << "set 4 lacks dither, panel lock, both display texts, run and the empty id";
}

TEST(MnemonicTable, RepliesMapOnTheirFirstWordExactly) {
  const auto& onoff = OnOffTable();
  EXPECT_EQ(onoff.ValueOfReply("ON\n"), 1);
  EXPECT_EQ(onoff.ValueOfReply("\r\n 0"), 0);
  EXPECT_FALSE(onoff.ValueOfReply("on"));
  EXPECT_EQ(onoff.ValueOfReply("ON extra words"), 1);
  EXPECT_FALSE(onoff.ValueOfReply(""));
  EXPECT_EQ(onoff.WordOf(1), "ON");
  EXPECT_EQ(onoff.WordOf(0), "OFF");
  EXPECT_FALSE(onoff.WordOf(2));
  EXPECT_EQ(ChannelName(2), "CHAN2");
  EXPECT_FALSE(ChannelName(5));
}

TEST(ModelAndErrorTables, ShippedRowsAndLookups) {
  ASSERT_EQ(ModelTable().size(), 11u);
  EXPECT_EQ(ModelTable()[2].name, "VDS3004A");
  for (const auto& m : ModelTable()) {
    EXPECT_EQ(m.command_set, 4);
    EXPECT_FALSE(m.traces_supported);
    EXPECT_EQ(m.analog_channels,
              m.name.substr(0, 6) == "VDS301" || m.name == "VDS3004A" || m.name == "VDS3024A"
                  ? (m.name == "VDS3012A" ? 2 : 4)
                  : 2)
        << m.name;
  }
  auto options = OptionTable();
  ASSERT_EQ(options.size(), 28u);
  EXPECT_EQ(options[4].name, "RS-232 Communication");
  EXPECT_EQ(options[27].name, "ASRL");
  // The chain of the serial option runs through its aliases to the end.
  int steps = 0;
  for (int i = 4; i != -1; i = options[i].next_alias) ++steps;
  EXPECT_EQ(steps, 5);
  EXPECT_EQ(ScpiErrorTable().size(), 44u);
  EXPECT_EQ(ScpiErrorText(-113), "Undefined header");
  EXPECT_EQ(ScpiErrorText(-440), "Query UNTERMINATED after indefinite response");
  EXPECT_EQ(ScpiErrorText(0), "No errors");
  EXPECT_EQ(ScpiErrorText(-106), "Unknown error condition");
  EXPECT_EQ(ScpiErrorText(999), "Unknown error condition");
}

TEST(ErrorHandler, BuildsRichErrorsWithTheLowerCause) {
  auto handler = MakeErrorHandler("CTest", "Test Object");
  Bstr name;
  auto blank = com::MakeObject<ErrorHandler>();
  blank->get_ClassName(&name);
  EXPECT_EQ(name, "Unknown");
  EXPECT_EQ(blank->put_InstanceName(Bstr()), com::E_UNEXPECTED);

  com::SetErrorInfo(0, nullptr);
  EXPECT_EQ(handler->ReportError(Variant("plain"), 0), com::DISP_E_EXCEPTION);
  com::ErrorDetails d = com::TakeErrorDetails();
  EXPECT_EQ(d.help_context, 4u);
  EXPECT_EQ(d.source, "VexR7100X.ErrorHandler.1");

  com::ReportRichError(com::E_FAIL, "No error");
  EXPECT_EQ(handler->ReportExceptionEx(Variant("outer"), com::E_FAIL, 99), com::E_FAIL);
  d = com::TakeErrorDetails();
  EXPECT_EQ(d.description, "outer\nAn unidentified lower-level error was detected");
  EXPECT_EQ(d.help_context, 99u);

  EXPECT_EQ(handler->ReportExceptionEx(Variant("alone"), com::E_FAIL, 99), com::E_FAIL);
  d = com::TakeErrorDetails();
  EXPECT_EQ(d.description, "alone");
  EXPECT_EQ(d.help_context, 4u) << "without a lower error it is the plain form";

  EXPECT_EQ(handler->ReportErrorEx(Variant(std::int32_t{300}), 0, 0), com::MakeObjectHresult(300));
  d = com::TakeErrorDetails();
  EXPECT_EQ(d.description, "Unknown Error");
  EXPECT_TRUE(d.help_file.IsNull()) << "help id 0 sets no help file";
}

}  // namespace
}  // namespace vex::server
