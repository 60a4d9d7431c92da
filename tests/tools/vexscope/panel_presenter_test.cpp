// The desktop panel's presenter on the headless toolkit against the
// simulated instrument on the embedded GPIB bus: connecting, reading and
// measuring, the files it writes, its setups, its error boxes and the busy
// rule for its timer.
#include "panel_presenter.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "panel_texts.h"
#include "vex/com/com.h"
#include "vex/com/control_site.h"
#include "vex/com/member_call.h"
#include "vex/control/scope_control.h"
#include "vex/ui/headless_toolkit.h"
#include "waveform_data.h"

namespace vex::scope {
namespace {

using com::Variant;

void RegisterLibraries() {
  static const bool done = [] {
    for (const char* path :
         {VEX8100RESLIB_PATH, VEX9100_PATH, VEX9100TB_PATH, VEXIOUTILS_PATH, VEXSIMBUS_PATH})
      EXPECT_EQ(com::RegisterServer(path), com::S_OK) << path;
    return true;
  }();
  (void)done;
}

std::string TempPath(const std::string& name) {
  const std::string folder = std::string(VEX_TEST_TMP) + "/panel_presenter";
  std::filesystem::create_directories(folder);
  return folder + "/" + name;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterLibraries();
    site_ = com::MakeObject<com::ControlSite>(true);
    ASSERT_EQ(com::HostControl(control::kScopeControlProgID, site_.Get(), nullptr, &control_),
              com::S_OK);
  }
  void TearDown() override {
    (void)com::CallMethod(control_.Get(), "CloseConnection", {}, nullptr);
  }

  // The control's boxes and forms go to `toolkit`, and its waits for the
  // instrument run that toolkit's pending events (null: neither).
  static void ControlUsesToolkit(ui::Toolkit* toolkit) {
    using SetToolkit = void(ui::Toolkit*);
    void* library = dlopen(VEX9100_PATH, RTLD_NOW | RTLD_NOLOAD);
    auto* set =
        library ? reinterpret_cast<SetToolkit*>(dlsym(library, "Vex9100SetToolkit")) : nullptr;
    ASSERT_NE(set, nullptr);
    set(toolkit);
  }
  ui::Button* ButtonNamed(PanelPresenter& panel, const char* name) {
    return panel.Form().Find<ui::Button>(name);
  }
  std::string Status(PanelPresenter& panel) {
    return panel.Form().Find<ui::Label>("lblStatus")->Caption();
  }
  WaveformSet AllWaveforms() {
    com::MemberCallResult result;
    com::MemberCallIssue issue;
    EXPECT_EQ(com::CallMemberPath(control_.Get(), "GetAllWaveformData", com::MemberAction::kCall,
                                  {"0"}, nullptr, &result, &issue),
              com::S_OK);
    return AnalogOnly(FromTable(result.outs.at(0).value));
  }
  com::ComPtr<control::ISetupsVexR7100Scope> SetupsOfControl() {
    Variant value;
    EXPECT_EQ(com::GetProperty(control_.Get(), "Setups", &value), com::S_OK);
    com::ComPtr<control::ISetupsVexR7100Scope> setups;
    EXPECT_EQ(com::ComPtr<com::IDispatch>(value.Dispatch()).As(&setups), com::S_OK);
    return setups;
  }

  ui::HeadlessToolkit toolkit_;
  com::ComPtr<com::ControlSite> site_;
  com::ComPtr<com::IDispatch> control_;
};

TEST_F(PanelTest, DigitizePlotsEveryEnabledChannelAsTheControlReadsThemAndMeasuresThem) {
  PanelPresenter panel(toolkit_, control_.Get());
  panel.Connect();
  EXPECT_NE(Status(panel).find("GPIB0::7::INSTR"), std::string::npos) << Status(panel);
  EXPECT_NE(Status(panel).find("VDS3004A"), std::string::npos) << Status(panel);
  ButtonNamed(panel, "cmdAutoScale")->UserClick();
  ButtonNamed(panel, "cmdDigitize")->UserClick();
  ASSERT_TRUE(toolkit_.MessageBoxes().empty()) << toolkit_.MessageBoxes()[0].request.text;

  const WaveformSet all = AllWaveforms();
  const auto* plot = panel.Form().Find<ui::Plot>("plotWaveforms");
  ASSERT_EQ(plot->Series().size(), 4u);
  ASSERT_EQ(all.columns.size(), 4u);
  const std::uint32_t colours[] = {0xCCA600, 0x009933, 0x1A4DE6, 0xCC00B3};
  for (std::size_t c = 0; c < 4; ++c) {
    const ui::PlotSeries& s = plot->Series()[c];
    EXPECT_EQ(s.name, all.columns[c].name);
    EXPECT_EQ(s.colour, colours[c]) << s.name;
    ASSERT_EQ(s.x.size(), all.time.size());
    for (std::size_t i = 0; i < s.x.size(); ++i) {
      ASSERT_DOUBLE_EQ(s.x[i], all.time[i]) << s.name << " point " << i;
      ASSERT_DOUBLE_EQ(s.y[i], all.columns[c].values[i]) << s.name << " point " << i;
    }
  }
  EXPECT_EQ(plot->View(), plot->FullRange());

  const auto* table = panel.Form().Find<ui::ListView>("lstMeasurements");
  ASSERT_EQ(table->RowCount(), 12);
  EXPECT_EQ(table->Columns().size(), 5u);
  EXPECT_EQ(table->Row(0).text, "Frequency");
  // CHAN1 is a 1 kHz sine.
  const std::string frequency = table->Row(0).sub_items[0];
  EXPECT_TRUE(frequency == "1.000 kHz" || frequency == "999.9 Hz") << frequency;
  EXPECT_EQ(table->Row(7).sub_items[1], "50.00 %");  // CHAN2's square wave
  for (int r = 0; r < table->RowCount(); ++r)
    for (const std::string& cell : table->Row(r).sub_items) EXPECT_FALSE(cell.empty());

  // The CSV file is what `vexscope waveforms --csv` writes for the same data.
  const std::string csv = TempPath("panel.csv");
  toolkit_.QueueFileChoice(csv);
  ButtonNamed(panel, "cmdSaveCsv")->UserClick();
  std::ostringstream expected;
  WriteWaveformCsv(expected, all, false);
  EXPECT_EQ(FileText(csv), expected.str());

  // The type is the filter chosen; a name typed without a suffix takes it.
  const std::pair<const char*, int> screens[] = {
      {"screen.png", 1}, {"screen.bmp", 2}, {"screen.jpg", 5}, {"scr5", 2}};
  for (const auto& [name, filter] : screens) {
    const std::string typed = TempPath(name);
    const std::string path = std::filesystem::path(typed).has_extension() ? typed : typed + ".bmp";
    std::filesystem::remove(path);
    toolkit_.QueueFileChoice(typed, filter);
    ButtonNamed(panel, "cmdScreen")->UserClick();
    const std::string bytes = FileText(path);
    ASSERT_GT(bytes.size(), 100u) << name;
    const std::string suffix = std::filesystem::path(path).extension().string();
    const std::string magic = suffix == ".png" ? "\x89PNG" : suffix == ".bmp" ? "BM" : "\xFF\xD8";
    EXPECT_EQ(bytes.substr(0, magic.size()), magic) << name;
  }
  EXPECT_TRUE(toolkit_.MessageBoxes().empty());

  // A suffix the chosen type does not take is refused, naming both; nothing
  // is written.
  for (const auto& [name, filter] : {std::pair<const char*, int>{"odd.xyz", 1}, {"odd.png", 2}}) {
    const std::string path = TempPath(name);
    std::filesystem::remove(path);
    const std::size_t boxes = toolkit_.MessageBoxes().size();
    toolkit_.QueueFileChoice(path, filter);
    ButtonNamed(panel, "cmdScreen")->UserClick();
    ASSERT_EQ(toolkit_.MessageBoxes().size(), boxes + 1) << name;
    const std::string text = toolkit_.MessageBoxes().back().request.text;
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_NE(text.find(filter == 1 ? ".png" : ".bmp"), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(path)) << name;
  }
}

// Run restarts acquisition after Stop and Single (the server's Run is not
// offered for these models, so it goes by the family's command), and the
// state the panel set is shown.
TEST_F(PanelTest, RunStopAndSingleWorkAndTheRunStateIsShown) {
  PanelPresenter panel(toolkit_, control_.Get());
  const auto* state = panel.Form().Find<ui::Label>("lblRunState");
  ASSERT_NE(state, nullptr);
  for (const auto& [button, shown] : {std::pair<const char*, const char*>{"cmdStop", "Stopped"},
                                      {"cmdRun", "Running"},
                                      {"cmdSingle", "Single"},
                                      {"cmdRun", "Running"}}) {
    ButtonNamed(panel, button)->UserClick();
    ASSERT_TRUE(toolkit_.MessageBoxes().empty())
        << button << ": " << toolkit_.MessageBoxes()[0].request.text;
    EXPECT_EQ(state->Caption(), shown) << button;
  }
}

// The window resizes from the size it is laid out for: the plot and the
// table take the room, the setups and buttons below keep to the bottom.
TEST_F(PanelTest, TheWindowResizesAndThePlotAndTableTakeTheRoom) {
  PanelPresenter panel(toolkit_, control_.Get());
  ui::Form& form = panel.Form();
  ASSERT_TRUE(form.MinimumSize().has_value());
  const ui::Size minimum = *form.MinimumSize();
  const auto geometry = [&](const char* name) {
    for (const auto& widget : form.Widgets())
      if (widget->Name() == name) return widget->Geometry();
    ADD_FAILURE() << name;
    return ui::Rect{};
  };
  const ui::Rect plot = geometry("plotWaveforms");
  const ui::Rect table = geometry("lstMeasurements");
  const ui::Rect about = geometry("cmdAbout");
  form.UserResize({minimum.width + 300, minimum.height + 200});
  EXPECT_EQ(form.ClientSize().width, minimum.width + 300);
  EXPECT_EQ(geometry("plotWaveforms").width, plot.width + 200);
  EXPECT_EQ(geometry("plotWaveforms").height, plot.height + 200);
  EXPECT_EQ(geometry("lstMeasurements").left, table.left + 200);
  EXPECT_EQ(geometry("lstMeasurements").left + geometry("lstMeasurements").width,
            table.left + table.width + 300);
  EXPECT_EQ(geometry("cmdAbout").top, about.top + 200);
  EXPECT_EQ(geometry("cmdDigitize").top, geometry("cmdRun").top) << "the top row stays";
  // Never smaller than what the texts were laid out for.
  form.UserResize({200, 100});
  EXPECT_EQ(form.ClientSize().width, minimum.width);
  EXPECT_EQ(form.ClientSize().height, minimum.height);
  EXPECT_EQ(geometry("plotWaveforms").width, plot.width);
  EXPECT_EQ(geometry("cmdAbout").top, about.top);
}

TEST_F(PanelTest, WheelZoomsTheViewAndADoubleClickShowsAllDataAgain) {
  PanelPresenter panel(toolkit_, control_.Get());
  ButtonNamed(panel, "cmdDigitize")->UserClick();
  auto* plot = panel.Form().Find<ui::Plot>("plotWaveforms");
  const ui::PlotRange full = plot->FullRange();
  plot->UserWheel(2, full.x_low, 0);
  EXPECT_NEAR(plot->View().x_high - plot->View().x_low, (full.x_high - full.x_low) * 0.64, 1e-12);
  EXPECT_DOUBLE_EQ(plot->View().x_low, full.x_low);
  plot->UserDoubleClick();
  EXPECT_EQ(plot->View(), full);
}

TEST_F(PanelTest, AnInstrumentThatDoesNotAnswerGivesTheControlsErrorBoxAndThePanelGoesOn) {
  ASSERT_EQ(com::PutProperty(control_.Get(), "Address", Variant("GPIB0::9::INSTR")), com::S_OK);
  PanelPresenter panel(toolkit_, control_.Get());
  ButtonNamed(panel, "cmdDigitize")->UserClick();
  ASSERT_EQ(toolkit_.MessageBoxes().size(), 1u);
  const auto& box = toolkit_.MessageBoxes()[0];
  EXPECT_EQ(box.request.title, "Vexan 8100 Scope Control Error - Digitize")
      << "the control's title and the action that failed";
  EXPECT_EQ(box.request.text.rfind("Connection to instrument did not succeed", 0), 0u)
      << box.request.text;
  EXPECT_EQ(box.request.flags & ui::mb::kIconMask, ui::mb::kCritical);
  EXPECT_EQ(box.owner, panel.Form().Handle());
  EXPECT_NE(Status(panel).find("Connection to instrument did not succeed"), std::string::npos);
  EXPECT_FALSE(panel.Busy());
  EXPECT_TRUE(ButtonNamed(panel, "cmdDigitize")->Enabled());

  ASSERT_EQ(com::PutProperty(control_.Get(), "Address", Variant("GPIB0::7::INSTR")), com::S_OK);
  ButtonNamed(panel, "cmdDigitize")->UserClick();
  EXPECT_EQ(toolkit_.MessageBoxes().size(), 1u);
  EXPECT_EQ(panel.Data().columns.size(), 4u);
  EXPECT_NE(Status(panel).find("VDS3004A"), std::string::npos);
}

TEST_F(PanelTest, TheRefreshTimerNeverStartsAReadingWhileOneRunsAndCancelStopsBetweenChannels) {
  PanelPresenter panel(toolkit_, control_.Get());
  panel.Form().Find<ui::CheckBox>("chkAutoRefresh")->UserClick();
  ButtonNamed(panel, "cmdDigitize")->UserClick();
  const WaveformSet before = panel.Data();
  ASSERT_EQ(before.columns.size(), 4u);
  // The control's waits run this toolkit's pending events; every reply of
  // the instrument is now held for 100 ms.
  ControlUsesToolkit(&toolkit_);
  ASSERT_EQ(com::CallMethod(control_.Get(), "Output",
                            {Variant(":SIM:FAULT:DEL 100;:SIM:FAULT SLOW")}, nullptr),
            com::S_OK);
  // While the reading waits for the instrument, the timer fires and the
  // user presses Cancel.
  int max_depth = 0;
  bool cancel_usable = false;
  toolkit_.OnProcessPendingEvents([&] {
    max_depth = std::max(max_depth, toolkit_.BusyDepth());
    toolkit_.FireTimers();
    auto* cancel = ButtonNamed(panel, "cmdCancel");
    cancel_usable = cancel_usable || (cancel->Usable() && cancel->UsableWhileWaiting());
    cancel->UserClick();
  });
  toolkit_.AdvanceTime(2000);
  toolkit_.OnProcessPendingEvents({});
  (void)com::CallMethod(control_.Get(), "Output", {Variant(":SIM:FAULT NONE")}, nullptr);
  ControlUsesToolkit(nullptr);
  ASSERT_GT(toolkit_.PendingEventRuns(), 0);
  EXPECT_EQ(max_depth, 1);
  EXPECT_TRUE(cancel_usable);
  // The cancelled reading left the last whole one in place.
  EXPECT_EQ(panel.Data().time, before.time);
  EXPECT_FALSE(panel.Busy());
  EXPECT_TRUE(toolkit_.MessageBoxes().empty());
}

TEST_F(PanelTest, SetupsAreTakenSentSavedAndOpenedWithTheSetupsPagesTexts) {
  com::ComPtr<control::ISetupVexR7100Scope> added;
  ASSERT_EQ(SetupsOfControl()->Add(com::Bstr("Bench"), added.ReleaseAndGetAddressOf()), com::S_OK);
  PanelPresenter panel(toolkit_, control_.Get());
  ui::ListView* list = panel.Setups().List();
  ASSERT_EQ(list->RowCount(), 1);
  // Nothing selected: Get does nothing.
  panel.Setups().Get();
  EXPECT_TRUE(toolkit_.MessageBoxes().empty());
  list->UserClickRow(0);
  panel.Setups().Get();  // no data yet: no question
  EXPECT_TRUE(toolkit_.MessageBoxes().empty());
  EXPECT_EQ(list->Row(0).icon, "CurrentScopeSetup");
  toolkit_.QueueAnswer(ui::answer::kCancel);
  panel.Setups().Get();  // data now: asks once
  ASSERT_EQ(toolkit_.MessageBoxes().size(), 1u);
  EXPECT_EQ(toolkit_.MessageBoxes()[0].request.title, "Getting Setup");
  toolkit_.QueueAnswer(ui::answer::kOk);
  panel.Setups().Send();
  ASSERT_EQ(toolkit_.MessageBoxes().size(), 2u);
  EXPECT_EQ(toolkit_.MessageBoxes()[1].request.title, "Send Setup");
  EXPECT_EQ(toolkit_.MessageBoxes()[1].request.text,
            "Sending a setup will change the instrument configuration.\r\nIs it OK to continue?");

  const std::string saved = TempPath("Bench.scp");
  toolkit_.QueueFileChoice(saved);
  panel.Setups().SaveAs();
  ASSERT_TRUE(std::filesystem::exists(saved));
  const std::string spaced = TempPath("Lab 1.scp");
  std::filesystem::copy_file(saved, spaced, std::filesystem::copy_options::overwrite_existing);
  // A space, which no setup name holds, becomes "_" in the setup's name.
  toolkit_.QueueFileChoice(spaced);
  panel.Setups().Open();
  EXPECT_EQ(toolkit_.MessageBoxes().size(), 2u);
  const std::string copy = TempPath("Copy.scp");
  std::filesystem::copy_file(saved, copy, std::filesystem::copy_options::overwrite_existing);
  toolkit_.QueueFileChoice(copy);
  panel.Setups().Open();
  EXPECT_EQ(list->RowCount(), 3);
  std::int32_t count = 0;
  ASSERT_EQ(SetupsOfControl()->get_Count(&count), com::S_OK);
  EXPECT_EQ(count, 3);
  com::ComPtr<control::ISetupVexR7100Scope> lab;
  EXPECT_EQ(SetupsOfControl()->item(Variant("Lab_1"), lab.ReleaseAndGetAddressOf()), com::S_OK);

  // A saved name typed without an extension becomes a setup file.
  toolkit_.QueueFileChoice(TempPath("Plain"));
  panel.Setups().SaveAs();
  EXPECT_TRUE(std::filesystem::exists(TempPath("Plain.scp")));

  // On a COM port opened with XOn/XOff the Setups page's warning comes
  // first, from the control; cancelling it leaves the instrument alone.
  ControlUsesToolkit(&toolkit_);
  ASSERT_EQ(com::PutProperty(control_.Get(), "Address", Variant("COM1")), com::S_OK);
  ASSERT_EQ(com::PutProperty(control_.Get(), "AddressInstrumentID",
                             Variant("VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00")),
            com::S_OK);
  std::vector<std::string> warnings;
  toolkit_.QueueModal([&](ui::Form& form) {
    warnings.push_back(form.Name());
    form.Find<ui::Button>("CommandCancel")->UserClick();
  });
  list->UserClickRow(0);
  const std::size_t boxes = toolkit_.MessageBoxes().size();
  toolkit_.QueueAnswer(ui::answer::kOk);
  panel.Setups().Send();
  ControlUsesToolkit(nullptr);
  EXPECT_EQ(warnings, std::vector<std::string>{"FrmMessageOption"});
  // The question only: no error box of a send that was tried.
  EXPECT_EQ(toolkit_.MessageBoxes().size(), boxes + 1);
}

TEST(PanelTexts, MnemonicsAreUniqueAndKeepTheOnesGiven) {
  EXPECT_EQ(WithMnemonics({"Run", "Refresh", "&Stop", "Single", "Save As", "S&&P",
                           "\xC3\x9C"
                           "b"}),
            (std::vector<std::string>{"&Run", "R&efresh", "&Stop", "S&ingle", "S&ave As", "S&&&P",
                                      "\xC3\x9C&b"}));
  // A caption whose letters are all taken gets one that another caption
  // gives up for another of its own.
  EXPECT_EQ(WithMnemonics({"Ab", "A"}), (std::vector<std::string>{"A&b", "&A"}));
  EXPECT_EQ(PanelTexts::OffsetOf(49), 4000);
  EXPECT_EQ(PanelTexts::OffsetOf(44), 0);
}

TEST_F(PanelTest, EveryButtonHasItsOwnMnemonicAndTheControlsLanguageLabelsThePanel) {
  for (const std::int32_t country : {1, 49}) {
    SCOPED_TRACE(country);
    ASSERT_EQ(com::PutProperty(control_.Get(), "CountryCode", Variant(country)), com::S_OK);
    PanelPresenter panel(toolkit_, control_.Get());
    std::set<char> keys;
    int buttons = 0;
    for (const auto& widget : panel.Form().Widgets()) {
      const auto* button = dynamic_cast<const ui::Button*>(widget.get());
      if (!button) continue;
      ++buttons;
      const std::size_t amp = button->Caption().find('&');
      ASSERT_NE(amp, std::string::npos) << button->Caption();
      EXPECT_TRUE(keys.insert(static_cast<char>(std::toupper(button->Caption()[amp + 1]))).second)
          << button->Caption();
    }
    EXPECT_EQ(buttons, 15);
    EXPECT_EQ(panel.Setups().List()->Columns()[1].caption, panel.Texts().Text(602));
    EXPECT_EQ(panel.Texts().Offset(), country == 49 ? 4000 : 0);
  }
}

}  // namespace
}  // namespace vex::scope
