// The scope control as a host sees it, without an instrument: initial and
// saved properties, the language switch and its refusals, notifications,
// the property frame, persistence that survives bad values, and the server
// wrapper's settings and keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "cdebug.h"
#include "control_support.h"
#include "cvexr7100_ez.h"
#include "scope_test_support.h"
#include "vex/ui/help_viewer.h"

namespace vex::control {
namespace {

using namespace vex::control::test;

std::uint32_t Status(HRESULT hr) {
  return static_cast<std::uint32_t>(hr);
}

TEST(ScopeControl, NewControlHasTheInitialPropertiesAndSavesOnlyWhatDiffers) {
  Hosted scope;
  EXPECT_EQ(scope.Get("CountryCode").I4(), 1);
  EXPECT_EQ(scope.Text("Address"), "GPIB0::7::INSTR");
  EXPECT_EQ(scope.Text("FontName"), "Arial");
  EXPECT_EQ(scope.Get("FontSize").I2(), 8);
  EXPECT_EQ(scope.Get("TXDelay").I4(), 50);
  EXPECT_FALSE(scope.Get("ResetOnInitialize").BoolVal());
  EXPECT_FALSE(scope.Get("CheckIDOnInitialize").BoolVal());
  EXPECT_FALSE(scope.Get("InstrumentConnected").BoolVal());
  // The font the language gives differs from the bag default, and a new
  // control starts its log file: both are kept, nothing else.
  const auto bag = scope.Save();
  std::vector<std::string> keys;
  for (const auto& [key, value] : bag->Values()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"DebugEnableMessageLog", "FontName"}));
}

// Each new control notes its creation in the log file with the log's own
// example line: module and procedure, no text.
TEST(ScopeControl, CreationIsTracedInTheLogFileWithModuleAndProcedureOnly) {
  const char* folder = std::getenv("TMPDIR");
  ASSERT_NE(folder, nullptr) << "the test runs with its own TMPDIR";
  const std::string path = std::string(folder) + "/" + CDebug::kLogFileName;
  Hosted scope;
  std::ifstream in(path, std::ios::binary);
  const std::string added((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(added.find("Trace:  -- At: File: VexR7100Scope; Function: UserControl_Initialize; "
                       "\r\n"),
            std::string::npos)
      << added;
}

TEST(ScopeControl, SavedControlWithoutKeysLoadsTheBagDefaultFont) {
  auto empty = MakeObject<MemoryPropertyBag>();
  Hosted scope(true, empty.Get());
  EXPECT_EQ(scope.Get("CountryCode").I4(), 1);
  EXPECT_EQ(scope.Text("FontName"), "MS Sans Serif");
  EXPECT_EQ(scope.Get("FontSize").I2(), 8);
  const auto saved = scope.Save();
  for (const auto& [key, value] : saved->Values()) ADD_FAILURE() << key;
}

TEST(ScopeControl, AsianLanguagesFollowTheThreadLocaleAndBadCodesAreRefused) {
  Hosted scope;
  {
    ThreadLocale single("C");
    ASSERT_TRUE(single.Ok());
    EXPECT_EQ(Status(scope.Put("CountryCode", Variant(82))), 0x8004017Cu);
    const ErrorDetails details = TakeErrorDetails();
    EXPECT_EQ(details.description.Str(), "Asian languages are not supported on this computer.");
    EXPECT_EQ(details.source.Str(), "Vexan 8100 Scope Control Error");
    EXPECT_EQ(details.help_context, 1004u);
    EXPECT_EQ(Status(scope.Put("CountryCode", Variant(44))), 0x8004017Cu);
    EXPECT_EQ(TakeErrorDetails().description.Str(), "Invalid property value.");
    EXPECT_EQ(scope.Get("CountryCode").I4(), 1);
    EXPECT_EQ(scope.Text("FontName"), "Arial");
  }
  ThreadLocale utf8("C.UTF-8");
  ASSERT_TRUE(utf8.Ok());
  scope.site->ClearChanges();
  ASSERT_EQ(scope.Put("CountryCode", Variant(82)), S_OK);
  EXPECT_EQ(scope.Text("FontName"), "\xEA\xB5\xB4\xEB\xA6\xBC");
  // The new language's own font size, not the old language's.
  EXPECT_EQ(scope.Get("FontSize").I2(), 9);
  EXPECT_NE(std::find(scope.site->Changes().begin(), scope.site->Changes().end(), "CountryCode"),
            scope.site->Changes().end());
  // The next refusal is in the new language.
  EXPECT_EQ(Status(scope.Put("CountryCode", Variant(44))), 0x8004017Cu);
  EXPECT_NE(TakeErrorDetails().description.Str(), "Invalid property value.");
  ASSERT_EQ(scope.Put("CountryCode", Variant(81)), S_OK);
  EXPECT_EQ(
      scope.Text("FontName"),
      "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF");
  ASSERT_EQ(scope.Put("CountryCode", Variant(1)), S_OK);
  EXPECT_EQ(scope.Text("FontName"), "Arial");
  EXPECT_EQ(scope.Get("FontSize").I2(), 8);
}

TEST(ScopeControl, LanguageSwitchCopiesTheLanguagesHelpFiles) {
  const std::string folder = std::string(VEX_TEST_TMP) + "/help-copy";
  std::filesystem::remove_all(folder);
  std::filesystem::copy(std::filesystem::path(VEX9100_PATH).parent_path() / "Help", folder);
  using SetFolder = void(const char*);
  ControlEntry<SetFolder>("Vex9100SetHelpFolder")(folder.c_str());
  Hosted scope;
  EXPECT_EQ(FileText(folder + "/VexR7100.hlp"), FileText(folder + "/R71ACCus.hlp"));
  ASSERT_EQ(scope.Put("CountryCode", Variant(49)), S_OK);
  EXPECT_EQ(FileText(folder + "/VexR7100.hlp"), FileText(folder + "/R71ACCde.hlp"));
  EXPECT_EQ(FileText(folder + "/VexR7100.cnt"), FileText(folder + "/R71ACCde.cnt"));
  EXPECT_NE(FileText(folder + "/VexR7100.hlp").find("<html lang=\"de\">"), std::string::npos);
  // The viewer is chosen by content, whatever the suffix.
  std::vector<std::pair<std::string, std::string>> opened;
  ui::SetHelpViewer([&](const std::string& path, const std::string& type) {
    opened.emplace_back(path, type);
    return S_OK;
  });
  ASSERT_EQ(ui::OpenHelpFile(folder + "/VexR7100.hlp"), S_OK);
  ASSERT_EQ(ui::OpenHelpFile(folder + "/VexR7100.cnt"), S_OK);
  std::ofstream(folder + "/notes.hlp") << "plain words\n";
  ASSERT_EQ(ui::OpenHelpFile(folder + "/notes.hlp"), S_OK);
  EXPECT_EQ(Status(ui::OpenHelpFile(folder + "/missing.hlp")), 0x80070002u);
  (void)TakeErrorDetails();
  ui::SetHelpViewer({});
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].second, "text/html");
  EXPECT_EQ(opened[1].second, "text/html");
  EXPECT_EQ(opened[2].second, "text/plain");
  // French pages missing: the copy fails quietly and the German file stays.
  std::filesystem::remove(folder + "/R71ACCfr.hlp");
  ASSERT_EQ(scope.Put("CountryCode", Variant(33)), S_OK);
  EXPECT_EQ(FileText(folder + "/VexR7100.hlp"), FileText(folder + "/R71ACCde.hlp"));
  ASSERT_EQ(scope.Put("CountryCode", Variant(1)), S_OK);
  ControlEntry<SetFolder>("Vex9100SetHelpFolder")(nullptr);
}

TEST(ScopeControl, NotificationsNameTheChangedProperty) {
  Hosted scope;
  scope.site->ClearChanges();
  ASSERT_EQ(scope.Put("AddressInstrumentID", Variant("VEXAN,VDS3004A,1,2")), S_OK);
  ASSERT_EQ(scope.Put("Address", Variant("GPIB0::7::INSTR")), S_OK);
  EXPECT_EQ(scope.Text("AddressInstrumentID"), "VEXAN,VDS3004A,1,2");
  ASSERT_EQ(scope.Put("Address", Variant("GPIB0::9::INSTR")), S_OK);
  EXPECT_EQ(scope.Text("AddressInstrumentID"), "");
  ASSERT_EQ(scope.Put("TXDelay", Variant(70)), S_OK);
  ASSERT_EQ(scope.Put("ResetOnInitialize", Variant(true)), S_OK);
  ASSERT_EQ(scope.Put("ResetOnInitialize", Variant(true)), S_OK);
  ASSERT_EQ(scope.Put("DTROnly", Variant(true)), S_OK);
  ASSERT_EQ(scope.Put("SetupsExists", Variant(true)), S_OK);
  (void)scope.Get("Setups");
  (void)scope.Get("Setups");
  EXPECT_EQ(scope.site->Changes(),
            (std::vector<std::string>{"AddressInstrumentID", "Address", "TXDelay",
                                      "ResetOnInitialize", "IPPVexR7100Scope_DTROnly",
                                      "IPPVexR7100Scope_SetupsExists", "Setups"}));
  EXPECT_EQ(Status(scope.Put("TXDelay", Variant(-1))), 0x8004017Cu);
  EXPECT_EQ(TakeErrorDetails().description.Str(), "Invalid property value.");
  EXPECT_EQ(scope.Get("TXDelay").I4(), 70);
}

// TXDelay waits at most ten seconds: the bound is taken, anything above it
// is refused as a negative value is, and the value stays.
TEST(ScopeControl, TXDelayIsBoundedToTenSeconds) {
  Hosted scope;
  ASSERT_EQ(scope.Put("TXDelay", Variant(CVexR7100EZ::kMaxTXDelay)), S_OK);
  EXPECT_EQ(scope.Get("TXDelay").I4(), 10000);
  for (std::int32_t refused : {10001, 2147483647}) {
    EXPECT_EQ(Status(scope.Put("TXDelay", Variant(refused))), 0x8004017Cu) << refused;
    const ErrorDetails error = TakeErrorDetails();
    EXPECT_EQ(error.description.Str(), "Invalid property value.");
    EXPECT_EQ(error.source.Str(), "Vexan 8100 Scope Control Error");
  }
  EXPECT_EQ(scope.Get("TXDelay").I4(), 10000);
}

TEST(ScopeControl, PropertyFrameShowsTheRequestedPagesAndAboutBoxItsTexts) {
  ControlToolkitScope ui;
  Hosted scope;
  std::vector<std::pair<int, int>> shown;  // (page count, start page)
  for (int i = 0; i < 4; ++i)
    ui.toolkit.QueueFrame(
        [&](ui::PropertyFrame& frame) { shown.emplace_back(frame.PageCount(), frame.Current()); });
  ASSERT_EQ(scope.Call("ShowPropertyPages", {Variant(2)}), S_OK);
  ASSERT_EQ(scope.Call("ShowPropertyPages", {Variant(0)}), S_OK);
  ASSERT_EQ(scope.Call("ShowPropertyPages", {Variant(1)}), S_OK);
  ASSERT_EQ(scope.Call("ShowPropertyPages"), S_OK);
  EXPECT_EQ(shown, (std::vector<std::pair<int, int>>{{2, 0}, {4, 0}, {4, 3}, {4, 0}}));
  EXPECT_EQ(Status(scope.Call("ShowPropertyPages", {Variant(4)})), 0x8004017Cu);

  std::string caption;
  std::string version;
  ui.toolkit.QueueModal([&](ui::Form& form) {
    caption = form.Title();
    version = form.Find<ui::Label>("lblVersion")->Caption();
    EXPECT_EQ(form.FontName(), "Arial");
    form.Find<ui::Button>("cmdOK")->UserClick();
  });
  ASSERT_EQ(scope.Call("AboutBox"), S_OK);
  EXPECT_EQ(caption, "About Vexan 8100 Series Scope Control");
  EXPECT_EQ(version.rfind("Version:  ", 0), 0u) << version;
}

TEST(ScopeControl, LoadingKeepsGoingPastBadValues) {
  ThreadLocale single("C");
  auto bag = MakeObject<MemoryPropertyBag>();
  const std::uint8_t short_blob[10] = {};
  ASSERT_EQ(bag->Write(Bstr("SearchCriteria"), Variant(SafeArray::FromBytes(short_blob))), S_OK);
  ASSERT_EQ(bag->Write(Bstr("CountryCode"), Variant(82)), S_OK);
  ASSERT_EQ(bag->Write(Bstr("Address"), Variant("NOT AN ADDRESS")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("TXDelay"), Variant(120)), S_OK);
  ASSERT_EQ(bag->Write(Bstr("ResetOnIntialize"), Variant(true)), S_OK);
  ASSERT_EQ(bag->Write(Bstr("CheckIDOnInitialize"), Variant(true)), S_OK);
  ASSERT_EQ(bag->Write(Bstr("LastIOHandshakeAddress"), Variant("COM2")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupCount"), Variant(std::int16_t{1})), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupName1"), Variant("Bench")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("DebugEnableEvent"), Variant(true)), S_OK);
  Hosted scope(true, bag.Get());
  EXPECT_EQ(scope.Get("CountryCode").I4(), 1);
  EXPECT_EQ(scope.Text("Address"), "GPIB0::7::INSTR");
  EXPECT_EQ(scope.Get("TXDelay").I4(), 120);
  EXPECT_TRUE(scope.Get("ResetOnInitialize").BoolVal());
  EXPECT_FALSE(scope.Get("CheckIDOnInitialize").BoolVal());  // the correct spelling is not a key
  EXPECT_EQ(scope.Text("LastIOHandshakeAddress"), "COM2");
  EXPECT_EQ(scope.Get("SupportMessageMode").I4(), 4);
  Variant setups = scope.Get("Setups");
  Variant count;
  ASSERT_EQ(GetProperty(setups.Dispatch(), "Count", &count), S_OK);
  EXPECT_EQ(count.I4(), 1);
  // Saved again, everything that loaded is kept, under the short key names.
  const auto saved = scope.Save();
  EXPECT_TRUE(saved->Contains("ResetOnIntialize"));
  EXPECT_FALSE(saved->Contains("ResetOnInitialize"));
  EXPECT_TRUE(saved->Contains("SetupName1"));
  EXPECT_TRUE(saved->Contains("DebugEnableEvent"));
  EXPECT_EQ(saved->Values().at("TXDelay").I4(), 120);
  ASSERT_EQ(scope.Put("SupportMessageMode", Variant(0)), S_OK);
}

TEST(ScopeControl, StateWrittenByOneControlLoadsIntoAnother) {
  const std::string path = std::string(VEX_TEST_TMP) + "/state.json";
  std::filesystem::remove(path);
  {
    Hosted first;
    ASSERT_EQ(first.Put("Address", Variant("GPIB0::9::INSTR")), S_OK);
    ASSERT_EQ(first.Put("CheckIDOnInitialize", Variant(true)), S_OK);
    ASSERT_EQ(first.Put("CountryCode", Variant(39)), S_OK);
    Variant setups = first.Get("Setups");
    ASSERT_EQ(CallMethod(setups.Dispatch(), "Add", {Variant("Bench")}, nullptr), S_OK);
    ComPtr<FilePropertyBag> file;
    ASSERT_EQ(FilePropertyBag::Open(path, &file), S_OK);
    ASSERT_EQ(SaveControl(first.control.Get(), file.Get()), S_OK);
    ASSERT_EQ(file->Commit(), S_OK);
    ASSERT_EQ(first.Put("CountryCode", Variant(1)), S_OK);
  }
  ComPtr<FilePropertyBag> file;
  ASSERT_EQ(FilePropertyBag::Open(path, &file), S_OK);
  EXPECT_TRUE(file->Contains("CheckIDOnIntialize"));
  EXPECT_FALSE(file->Contains("TXDelay"));
  EXPECT_FALSE(file->Contains("DebugEvent"));
  Hosted second(true, file.Get());
  EXPECT_EQ(second.Text("Address"), "GPIB0::9::INSTR");
  EXPECT_TRUE(second.Get("CheckIDOnInitialize").BoolVal());
  EXPECT_EQ(second.Get("CountryCode").I4(), 39);
  Variant setups = second.Get("Setups");
  Variant name;
  ASSERT_EQ(CallMethod(setups.Dispatch(), "item", {Variant(1)}, &name), S_OK);
  Variant text;
  ASSERT_EQ(GetProperty(name.Dispatch(), "Name", &text), S_OK);
  EXPECT_EQ(text.BstrVal().Str(), "Bench");
  ASSERT_EQ(second.Put("CountryCode", Variant(1)), S_OK);
}

TEST(ScopeControl, TypeLibraryHasTheControlsAndTheServersEnumerations) {
  RegisterLibraries();
  const TypeLibrary* library = nullptr;
  ASSERT_EQ(LoadTypeLibrary("Vex9100CtrlLib", &library), S_OK);
  std::int32_t value = 0;
  EXPECT_TRUE(library->FindConstant("VexR7100_Language_Traditional_Chinese", &value));
  EXPECT_EQ(value, 886);
  EXPECT_TRUE(library->FindConstant("VexR7100_ShowPropertyPage_SetIO", &value));
  EXPECT_EQ(value, 3);
  EXPECT_TRUE(library->FindConstant("VexR7100_TriggerSlope_Negative", &value));
  EXPECT_FALSE(library->FindConstant("VexR7100_ImageFormat_HiResBMP", &value));
  EXPECT_FALSE(library->FindConstant("VexR7100_ImageFormat_UseSuffix", &value));
  EXPECT_EQ(library->FindEnum("VexR7100_ImageFormat")->constants.size(), 6u);
  const DispatchTable& table = *library->interfaces.at(0);
  EXPECT_EQ(table.Members().front().name, "CountryCode");
  DISPID about = 0;
  ASSERT_EQ(table.IdOfName("AboutBox", &about), S_OK);
  EXPECT_EQ(about, -552);
  EXPECT_TRUE(table.FindById(0x10e)->hidden);  // DTROnly
}

// The wrapper linked directly, on this thread's own logger.
class WrapperTest : public ::testing::Test, public DebugSink {
 protected:
  void SetUp() override {
    RegisterLibraries();
    CDebug::ForThisThread().SetSink(this);
    CDebug::ForThisThread().SetDebugMode(CDebug::kEvents);
  }
  void TearDown() override {
    CDebug::ForThisThread().SetDebugMode(0);
    CDebug::ForThisThread().SetSink(nullptr);
  }
  void SupportMessage(const std::string& text) override { log += text; }
  void PropertyChanged(std::string_view) override {}
  std::string log;
};

TEST_F(WrapperTest, SerialAddressWithoutHandshakeIsStoredWithAnAssertion) {
  auto wrapper = MakeObject<CVexR7100EZ>();
  EXPECT_EQ(wrapper->AutomationServerAddress(), "GPIB0::7::INSTR");
  ASSERT_EQ(wrapper->SetAutomationServerAddress("COM1"), S_OK);
  EXPECT_EQ(wrapper->AutomationServerAddress(), "COM1");
  EXPECT_NE(log.find("(InStr(1, strAddress, HANDSHAKE_ADDRESS_KEYWORD, vbTextCompare) > 0)"),
            std::string::npos)
      << log;
  log.clear();
  ASSERT_EQ(wrapper->SetAutomationServerAddress("COM1::Handshake=XON_XOFF"), S_OK);
  EXPECT_EQ(log.find("HANDSHAKE_ADDRESS_KEYWORD"), std::string::npos);
}

// A stored TXDelay outside 0 to 10000 loads as the default, with an
// assertion entry saying which bound it broke; the bound itself loads.
TEST_F(WrapperTest, StoredTXDelayAboveTheBoundLoadsTheDefault) {
  auto wrapper = MakeObject<CVexR7100EZ>();
  auto bag = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(bag->Write(Bstr("TXDelay"), Variant(10000)), S_OK);
  ASSERT_EQ(wrapper->ReadProperties(bag.Get()), S_OK);
  EXPECT_EQ(wrapper->TXDelay(), 10000);
  EXPECT_EQ(log, "");
  ASSERT_EQ(bag->Write(Bstr("TXDelay"), Variant(10001)), S_OK);
  ASSERT_EQ(wrapper->ReadProperties(bag.Get()), S_OK);
  EXPECT_EQ(wrapper->TXDelay(), CVexR7100EZ::kDefaultTXDelay);
  EXPECT_NE(log.find("Assertion: lTXDelay <= MAX_TX_DELAY"), std::string::npos) << log;
  EXPECT_NE(log.find("Function: ReadProperties"), std::string::npos) << log;
  log.clear();
  ASSERT_EQ(bag->Write(Bstr("TXDelay"), Variant(-1)), S_OK);
  ASSERT_EQ(wrapper->ReadProperties(bag.Get()), S_OK);
  EXPECT_EQ(wrapper->TXDelay(), CVexR7100EZ::kDefaultTXDelay);
  EXPECT_NE(log.find("Assertion: lTXDelay >= 0"), std::string::npos) << log;
}

TEST_F(WrapperTest, CloseConnectionLeavesNoErrorBehind) {
  auto wrapper = MakeObject<CVexR7100EZ>();
  (void)ReportRichError(E_FAIL, "stale");
  ASSERT_EQ(wrapper->CloseConnection(), S_OK);
  EXPECT_EQ(PeekErrorInfo(), nullptr);
}

TEST_F(WrapperTest, MissingServerShowsItsBoxOnceAndTheWrapperLivesOn) {
  ui::HeadlessToolkit toolkit;
  SetControlToolkit(&toolkit);
  ClassRegistration server;
  ASSERT_EQ(LookupClassEntry(vex::server::kVexR7100EZClsid, &server), S_OK);
  ASSERT_EQ(UnregisterClassEntry(vex::server::kVexR7100EZClsid), S_OK);
  {
    auto wrapper = MakeObject<CVexR7100EZ>();
    ASSERT_EQ(toolkit.MessageBoxes().size(), 1u);
    EXPECT_EQ(toolkit.MessageBoxes()[0].request.text,
              "Could not create Vex8100TB automation server.");
    EXPECT_EQ(toolkit.MessageBoxes()[0].request.title, "Vexan 8100 Series Scope Control");
    EXPECT_EQ(toolkit.MessageBoxes()[0].request.flags, ui::mb::kCritical | ui::mb::kForeground);
    EXPECT_EQ(PeekErrorInfo(), nullptr);
    EXPECT_EQ(wrapper->AutoScale(), E_POINTER);  // design time: the missing object
    (void)TakeErrorDetails();
    wrapper->SetAmbientUserMode(true);
    EXPECT_EQ(static_cast<std::uint32_t>(wrapper->AutoScale()), 0x8004003Bu);
    (void)TakeErrorDetails();
    EXPECT_EQ(toolkit.MessageBoxes().size(), 1u);
  }
  ASSERT_EQ(RegisterClassEntry(server), S_OK);
  SetControlToolkit(nullptr);
}

}  // namespace
}  // namespace vex::control
