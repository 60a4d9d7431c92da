// The four property pages on the scope control itself, reached through the
// control's members by name: the pages each ShowPropertyPages value shows,
// and one OK applying an address chosen on Set I/O and a setup added on
// Setups, with the page flags cleared when the frame closes.
#include <gtest/gtest.h>

#include "scope_test_support.h"
#include "vex/ui/property_frame.h"

namespace vex::control {
namespace {

using namespace vex::control::test;

std::vector<std::string> Captions(const ui::PropertyFrame& frame) {
  std::vector<std::string> captions;
  for (int i = 0; i < frame.PageCount(); ++i) captions.push_back(frame.Page(i)->Caption());
  return captions;
}

TEST(ScopeControlPages, ThePagesOfEachRequestAndOneOkApplyingTwoPages) {
  ControlToolkitScope ui;
  Hosted scope;
  std::vector<std::string> search_pages;
  ui.toolkit.QueueFrame([&](ui::PropertyFrame& frame) {
    search_pages = Captions(frame);
    EXPECT_NE(scope.Get("SearchIOExists").BoolVal(), VARIANT_FALSE);
  });
  ASSERT_EQ(scope.Call("ShowPropertyPages", {Variant(2)}), S_OK);
  EXPECT_EQ(search_pages, (std::vector<std::string>{"Search Instruments", "Search Criteria"}));
  EXPECT_EQ(scope.Get("SearchIOExists").BoolVal(), VARIANT_FALSE);

  ui.toolkit.QueueFrame([&](ui::PropertyFrame& frame) {
    EXPECT_EQ(Captions(frame), (std::vector<std::string>{"Search Instruments", "Search Criteria",
                                                         "Set I/O", "Setups"}));
    ASSERT_EQ(frame.Current(), 2);
    ui::Form& set_io = *frame.Page(2)->PageForm();
    set_io.Find<ui::ListView>("ListIOPort")->UserClickRow(4);
    set_io.Find<ui::Combo>("ComboGPIBAddress")->UserSelect(9);
    EXPECT_EQ(set_io.Find<ui::TextBox>("TextAddress")->Caption(), "GPIB0::9::INSTR");
    frame.SelectPage(3);
    ui.toolkit.QueueModal([](ui::Form& dialog) {
      dialog.Find<ui::TextBox>("TextName")->UserType("Bench");
      if (dialog.Find<ui::CheckBox>("CheckGetSetup")->Checked())
        dialog.Find<ui::CheckBox>("CheckGetSetup")->UserClick();
      dialog.Find<ui::Button>("CommandOK")->UserClick();
    });
    frame.Page(3)->PageForm()->Find<ui::Button>("CommandAdd")->UserClick();
    EXPECT_NE(scope.Get("SetupsExists").BoolVal(), VARIANT_FALSE);
    EXPECT_EQ(frame.Ok(), S_OK);
  });
  ASSERT_EQ(scope.Call("ShowPropertyPages", {Variant(3)}), S_OK);
  EXPECT_EQ(scope.Text("Address"), "GPIB0::9::INSTR");
  ComPtr<IDispatch> setups(scope.Get("Setups").Dispatch());
  Variant count;
  ASSERT_EQ(GetProperty(setups.Get(), "Count", &count), S_OK);
  EXPECT_EQ(count.I4(), 1);
  EXPECT_EQ(scope.Get("SetIOExists").BoolVal(), VARIANT_FALSE);
  EXPECT_EQ(scope.Get("SetupsExists").BoolVal(), VARIANT_FALSE);
  EXPECT_EQ(scope.Get("CenterPropertyPages").BoolVal(), VARIANT_FALSE);

  // The Setups page's warning option is a hidden, persisted member.
  ASSERT_EQ(scope.Put("DontShowSetupIOConfigurationWarning", Variant(true)), S_OK);
  Variant saved;
  ASSERT_EQ(scope.Save()->Read(Bstr("DontShowSetupIOConfigurationWarning"), &saved, nullptr), S_OK);
  EXPECT_NE(saved.BoolVal(), VARIANT_FALSE);
}

TEST(ScopeControlPages, HostsRunTheSetupsHandshakeCheckByName) {
  ControlToolkitScope ui;
  Hosted scope;
  // An instrument that answered on a COM port opened with XOn/XOff.
  ASSERT_EQ(scope.Put("Address", Variant("COM1")), S_OK);
  ASSERT_EQ(
      scope.Put("AddressInstrumentID", Variant("VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00")),
      S_OK);
  auto confirm = [&] {
    Variant proceed;
    EXPECT_EQ(scope.Call("ConfirmSetupIOConfiguration", {}, &proceed), S_OK)
        << TakeErrorDetails().description.Str();
    return proceed.BoolVal() != VARIANT_FALSE;
  };
  int shown = 0;
  ui.toolkit.QueueModal([&](ui::Form& warning) {
    ++shown;
    EXPECT_EQ(warning.Name(), "FrmMessageOption");
    warning.Find<ui::Button>("CommandCancel")->UserClick();
  });
  EXPECT_FALSE(confirm());
  ui.toolkit.QueueModal([&](ui::Form& warning) {
    ++shown;
    warning.Find<ui::CheckBox>("CheckOption")->UserClick();
    warning.Find<ui::Button>("CommandContinue")->UserClick();
  });
  EXPECT_TRUE(confirm());
  EXPECT_NE(scope.Get("DontShowSetupIOConfigurationWarning").BoolVal(), VARIANT_FALSE);
  // Ticked: no warning any more.
  EXPECT_TRUE(confirm());
  EXPECT_EQ(shown, 2);
}

}  // namespace
}  // namespace vex::control
