// The I/O property pages on the headless toolkit, against the simulated
// GPIB bus (instruments at 1, 9 and 17) and the simulator on a pty mapped
// as a COM port: search, test and apply; the results form; the search
// criteria; Set I/O with its key switches; the handshake warning; the frame
// applying several pages with one OK.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "VexsimProcess.h"
#include "cdebug.h"
#include "fake_scope.h"
#include "io_test_support.h"
#include "vex/ui/headless_toolkit.h"
#include "vexr7100_pp_set_io.h"
#include "vexr7100_pp_srch_cri.h"
#include "vexr7100_pp_srch_io.h"

namespace vex::control {
namespace {

// COM names the port map pins to nothing, so that no test probes the
// machine's own serial ports (which other programs may be using).
constexpr const char* kNoComPorts34 = "COM3=/dev/vex-none-3,COM4=/dev/vex-none-4";

using test::FakeScope;
using ui::Button;
using ui::CheckBox;
using ui::Form;
using ui::HeadlessToolkit;
using ui::ListView;
using ui::PropertyFrame;

const auto* const kLibraries = ::testing::AddGlobalTestEnvironment(new test::IoLibraries);

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WaitForSearch(HeadlessToolkit& toolkit, VexR7100PPSrchIO& page) {
  for (int i = 0; i < 500 && page.Searching(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    toolkit.AdvanceTime(VexR7100PPSrchIO::kPollIntervalMs);
  }
  ASSERT_FALSE(page.Searching());
}

int FormsShown(const HeadlessToolkit& toolkit, const std::string& name) {
  int count = 0;
  for (const auto& line : toolkit.Transcript())
    count += line.rfind("form " + name + " ", 0) == 0 && line.ends_with("shown");
  return count;
}

int IconCount(const ListView& list, const std::string& icon) {
  int count = 0;
  for (int i = 0; i < list.RowCount(); ++i) count += list.Row(i).icon == icon;
  return count;
}

// A pty on which nothing answers.
struct SilentPty {
  SilentPty() {
    fd = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(fd);
    unlockpt(fd);
    name = ptsname(fd);
  }
  ~SilentPty() { close(fd); }
  int fd = -1;
  std::string name;
};

TEST(SearchPageTest, BusSearchMarksTheActiveRowAndAppliesIt) {
  setenv("VEX_COM_PORTS",
         (std::string("COM1=/dev/vex-none-1,COM2=/dev/vex-none-2,") + kNoComPorts34).c_str(), 1);
  const std::size_t log_start = ReadFile(VEX_IO_LOG_PATH).size();
  HeadlessToolkit toolkit;
  FakeScope scope;
  ASSERT_EQ(scope.control->SetActiveAddress("GPIB0::17::INSTR"), com::S_OK);
  ASSERT_EQ(scope.control->SetGPIBPortIncludes(0, 9, false), com::S_OK);
  ASSERT_EQ(scope.control->FindAll(scope.manager.Get()), com::S_OK);
  scope.alive = page_bit::kSetups;  // another page alive: it is told to refresh
  VexR7100PPSrchIO page(toolkit, scope);
  const int owner = 0;
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    Form& form = *page.PageForm();
    auto* list = form.Find<ListView>("ListViewInstruments");
    EXPECT_TRUE(scope.PageExists(page_bit::kSearchIO));
    // First discovery: the active address is tested and listed.
    toolkit.AdvanceTime(VexR7100PPSrchIO::kDiscoveryDelayMs);
    ASSERT_EQ(list->RowCount(), 1)
        << (toolkit.MessageBoxes().empty() ? std::string("no box")
                                           : toolkit.MessageBoxes().back().request.text);
    EXPECT_EQ(list->Row(0).sub_items[1], "GPIB0::17");
    EXPECT_EQ(list->Row(0).icon, "ConnectedInstrument");
    EXPECT_EQ(form.Find<ui::Label>("TextMessage")->Caption(),
              "Click [Test] to check instrument connection.\r\nClick [Search] to find all "
              "instruments.");

    form.Find<Button>("Search")->UserClick();
    EXPECT_TRUE(form.Find<Button>("CommandCancel")->Visible());
    WaitForSearch(toolkit, page);
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->Row(0).sub_items[1], "GPIB0::1");
    EXPECT_EQ(list->Row(1).sub_items[1], "GPIB0::17");
    EXPECT_EQ(list->Row(0).sub_items[0], "X");
    EXPECT_EQ(list->Row(1).icon, "ConnectedInstrument");
    EXPECT_EQ(IconCount(*list, "ConnectedInstrument"), 1);
    EXPECT_EQ(list->SelectedRow(), 1);
    EXPECT_EQ(form.Find<ui::Label>("TextMessage")->Caption(), "Search Complete.");
    EXPECT_EQ(toolkit.BusyDepth(), 0);

    // Test on GPIB0::1: the row comes back at the end from the new reply;
    // the icon stays on 17.
    list->UserClickRow(0);
    const std::size_t boxes = toolkit.MessageBoxes().size();
    form.Find<Button>("Test")->UserClick();
    EXPECT_EQ(toolkit.MessageBoxes().size(), boxes + 1);
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->Row(1).sub_items[1], "GPIB0::1");
    EXPECT_EQ(list->Row(0).icon, "ConnectedInstrument");
    EXPECT_EQ(IconCount(*list, "ConnectedInstrument"), 1);

    // Apply GPIB0::1.
    page.SetChanged(true);
    EXPECT_EQ(frame.Apply(), com::S_OK);
    frame.Cancel();
  });
  toolkit.ShowPropertyFrame(owner, "Pages", {&page}, -1);
  EXPECT_EQ(scope.control->ActiveAddress(), "GPIB0::1::INSTR");
  EXPECT_NE(scope.control->InstrumentID().find("VEXAN"), std::string::npos);
  EXPECT_EQ(scope.changed_signals, 1);
  EXPECT_EQ(scope.mask, page_bit::kSetups);
  EXPECT_FALSE(scope.PageExists(page_bit::kSearchIO));
  EXPECT_FALSE(scope.initial_search);
  // No handshake warning for GPIB; the address is remembered.
  EXPECT_EQ(scope.last_handshake, "GPIB0::1::INSTR");

  // The excluded address was never spoken to.
  const std::string traffic = ReadFile(VEX_IO_LOG_PATH).substr(log_start);
  EXPECT_NE(traffic.find("GPIB0::17::INSTR >"), std::string::npos) << traffic;
  EXPECT_EQ(traffic.find("GPIB0::9::INSTR"), std::string::npos);
  unsetenv("VEX_COM_PORTS");
}

TEST(SearchPageTest, ComRowsResultsFormTestAndApply) {
  SilentPty silent;
  std::optional<sim::test::Vexsim> sim(std::in_place, std::vector<std::string>{"--pty"});
  setenv("VEX_COM_PORTS",
         ("COM1=" + silent.name + ",COM2=" + sim->Endpoint("pty") + "," + kNoComPorts34).c_str(),
         1);
  HeadlessToolkit toolkit;
  FakeScope scope;
  for (int n = 0; n < 4; ++n) ASSERT_EQ(scope.control->SetGPIBPortIncluded(n, false), com::S_OK);
  ASSERT_EQ(scope.control->SetRS232PortIncluded(1, true), com::S_OK);
  ASSERT_EQ(scope.control->SetBaudRate(2, 19200), com::S_OK);
  ASSERT_EQ(scope.control->SetHandshake(2, kHandshakeDtrDsr), com::S_OK);
  scope.initial_search = true;  // no row matches: the first becomes the choice
  VexR7100PPSrchIO page(toolkit, scope);
  // The results form: COM1 is reported and ticked, which excludes it.
  toolkit.QueueModal([](Form& results) {
    EXPECT_EQ(results.Title(), "Search Instruments Results");
    EXPECT_TRUE(results.Find<CheckBox>("CheckCOM1")->Visible());
    EXPECT_FALSE(results.Find<CheckBox>("CheckCOM2")->Visible());
    results.Find<CheckBox>("CheckCOM1")->UserClick();
    results.Find<Button>("CommandContinue")->UserClick();
  });
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    Form& form = *page.PageForm();
    auto* list = form.Find<ListView>("ListViewInstruments");
    form.Find<Button>("Search")->UserClick();
    WaitForSearch(toolkit, page);
    ASSERT_EQ(list->RowCount(), 1) << ::testing::PrintToString(toolkit.Transcript());
    EXPECT_EQ(list->Row(0).sub_items[1], "COM2");
    EXPECT_EQ(list->SelectedRow(), 0);
    EXPECT_EQ(list->Row(0).icon, "ConnectedInstrument");
    EXPECT_TRUE(page.Changed());
    bool included = true;
    ASSERT_EQ(scope.page->RS232PortIncluded(1, &included), com::S_OK);
    EXPECT_FALSE(included);

    // The instrument goes away: Test reports it and keeps the row, with
    // no error box.
    sim.reset();
    const std::size_t boxes = toolkit.MessageBoxes().size();
    form.Find<Button>("Test")->UserClick();
    ASSERT_EQ(toolkit.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(toolkit.MessageBoxes().back().request.flags & ui::mb::kIconMask,
              ui::mb::kInformation);
    EXPECT_EQ(list->RowCount(), 1);
    EXPECT_EQ(frame.Apply(), com::S_OK);
    frame.Cancel();
  });
  toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1);
  // The COM row chose the port only: it keeps 19200 and DTR/DSR.
  EXPECT_EQ(scope.control->ActiveIOPort(), "COM2");
  std::int32_t baud = 0;
  std::int32_t handshake = 0;
  ASSERT_EQ(scope.control->BaudRate(2, &baud), com::S_OK);
  ASSERT_EQ(scope.control->Handshake(2, &handshake), com::S_OK);
  EXPECT_EQ(baud, 19200);
  EXPECT_EQ(handshake, kHandshakeDtrDsr);
  bool included = true;
  ASSERT_EQ(scope.control->RS232PortIncluded(1, &included), com::S_OK);
  EXPECT_FALSE(included);
  EXPECT_FALSE(scope.initial_search);
  unsetenv("VEX_COM_PORTS");
}

TEST(SearchPageTest, ApplyWithoutRowsCopiesTheCriteriaOnly) {
  HeadlessToolkit toolkit;
  FakeScope scope;
  ASSERT_EQ(scope.control->SetActiveAddress("GPIB0::5::INSTR"), com::S_OK);
  VexR7100PPSrchIO page(toolkit, scope);
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    ASSERT_EQ(scope.page->SetRS232PortIncluded(3, false), com::S_OK);
    page.SetChanged(true);
    EXPECT_EQ(frame.Ok(), com::S_OK);
  });
  EXPECT_EQ(toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1), ui::answer::kOk);
  bool included = true;
  ASSERT_EQ(scope.control->RS232PortIncluded(3, &included), com::S_OK);
  EXPECT_FALSE(included);
  EXPECT_TRUE(scope.addresses_set.empty());
  EXPECT_EQ(scope.control->ActiveAddress(), "GPIB0::5::INSTR");
  EXPECT_EQ(scope.changed_signals, 1);
  // No error box: nothing but the discovery's verdict was shown.
  for (const auto& box : toolkit.MessageBoxes())
    EXPECT_NE(box.request.flags & ui::mb::kIconMask, ui::mb::kCritical) << box.request.text;
}

TEST(SearchPagesTest, FailingHandlersShowThePageErrorBoxes) {
  HeadlessToolkit toolkit;
  FakeScope scope;
  VexR7100PPSrchIO search(toolkit, scope);
  VexR7100PPSrchCri criteria(toolkit, scope);
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    scope.manager = nullptr;  // the control lost its I/O manager
    search.PageForm()->Find<Button>("Search")->UserClick();
    WaitForSearch(toolkit, search);
    ASSERT_FALSE(toolkit.MessageBoxes().empty());
    EXPECT_EQ(toolkit.MessageBoxes().back().request.title, "Vexan 8100 Search Instruments");
    EXPECT_EQ(toolkit.MessageBoxes().back().request.flags & ui::mb::kIconMask, ui::mb::kCritical);
    EXPECT_TRUE(search.PageForm()->Find<Button>("Search")->Visible());
    EXPECT_EQ(toolkit.BusyDepth(), 0);
    frame.SelectPage(1);
    criteria.PageForm()->Find<Button>("CommandFindPort")->UserClick();
    EXPECT_EQ(toolkit.MessageBoxes().back().request.title, "Search Criteria Error");
    EXPECT_TRUE(criteria.PageForm()->Find<Button>("CommandFindPort")->Enabled());
  });
  toolkit.ShowPropertyFrame(0, "Pages", {&search, &criteria}, -1);
}

TEST(SearchCriteriaPageTest, EmptyInterfaceBlocksApplyUntilExcludedAndSerialEdits) {
  HeadlessToolkit toolkit;
  FakeScope scope;
  ASSERT_EQ(scope.control->SetGPIBPortInstalled(0, true), com::S_OK);
  ASSERT_EQ(scope.control->SetRS232PortInstalled(2, true), com::S_OK);
  // GPIB1 is not installed and has no addresses: it must not block.
  for (int a = 0; a <= 30; ++a)
    ASSERT_EQ(scope.control->SetGPIBPortIncludes(1, a, false), com::S_OK);
  VexR7100PPSrchCri page(toolkit, scope);
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    Form& form = *page.PageForm();
    auto* include = form.Find<ListView>("ListInclude");
    auto* exclude = form.Find<ListView>("ListExcluded");
    ASSERT_EQ(include->RowCount(), 2);  // COM2 and GPIB0; COM1 is excluded by default
    EXPECT_EQ(include->Row(0).text, "COM2");
    EXPECT_EQ(include->Row(1).text, "GPIB0");
    EXPECT_EQ(exclude->RowCount(), 0);
    // The active port GPIB0 is shown.
    EXPECT_EQ(page.ShownPort(), "GPIB0");
    EXPECT_EQ(form.Find<ui::Frame>("FrameSetup")->Caption(), "GPIB0 Search Addresses");

    // COM2: baud rate and handshake.
    include->UserClickRow(0);
    EXPECT_EQ(form.Find<ui::Frame>("FrameSetup")->Caption(), "COM2 (RS-232) Setup");
    auto* baud = form.Find<ui::Combo>("ComboBaudRate");
    EXPECT_TRUE(baud->Visible());
    EXPECT_FALSE(form.Find<ListView>("ListAddressExclude")->Visible());
    baud->UserSelect(3);
    form.Find<ui::Combo>("ComboHandshake")->UserSelect(1);
    std::int32_t value = 0;
    ASSERT_EQ(scope.page->BaudRate(2, &value), com::S_OK);
    EXPECT_EQ(value, 19200);
    ASSERT_EQ(scope.page->Handshake(2, &value), com::S_OK);
    EXPECT_EQ(value, kHandshakeDtrDsr);

    // GPIB0 with no address left blocks the apply.
    include->UserClickRow(1);
    form.Find<Button>("CommandRemoveAll")->UserClick();
    form.Find<ListView>("ListAddressExclude")->UserToggleCheck(4);
    form.Find<ListView>("ListAddressExclude")->UserToggleCheck(4);
    EXPECT_TRUE(page.Changed());
    EXPECT_TRUE(com::FAILED(frame.Apply()));
    ASSERT_FALSE(toolkit.MessageBoxes().empty());
    const auto& box = toolkit.MessageBoxes().back().request;
    EXPECT_EQ(box.title, "Search Criteria");
    EXPECT_EQ(box.flags, 65600u);
    EXPECT_NE(box.text.find("All instrument addresses have been deleted from\r\nthe Search "
                            "Criteria for port:\r\n\r\n    GPIB0\r\n"),
              std::string::npos);
    EXPECT_TRUE(page.Changed());
    EXPECT_EQ(scope.changed_signals, 0);

    // Excluding the interface lets it apply.
    include->UserClickRow(1);
    form.Find<Button>("CommandRemove")->UserClick();
    EXPECT_EQ(form.Find<ListView>("ListExcluded")->RowCount(), 1);
    EXPECT_EQ(frame.Ok(), com::S_OK);
  });
  EXPECT_EQ(toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1), ui::answer::kOk);
  bool included = true;
  ASSERT_EQ(scope.control->GPIBPortIncluded(0, &included), com::S_OK);
  EXPECT_FALSE(included);
  std::int32_t baud = 0;
  ASSERT_EQ(scope.control->BaudRate(2, &baud), com::S_OK);
  EXPECT_EQ(baud, 19200);
  EXPECT_EQ(scope.changed_signals, 1);
}

TEST(SearchCriteriaPageTest, DtrOnlyAndFindPortsDroppingAPort) {
  SilentPty com1;
  setenv("VEX_COM_PORTS",
         ("COM1=" + com1.name + ",COM2=/dev/vex-none-2,COM3=/dev/vex-none-3,COM4=/dev/vex-none-4")
             .c_str(),
         1);
  HeadlessToolkit toolkit;
  FakeScope scope;
  scope.control->SetDTROnly(true);
  for (int p : {1, 3}) {
    ASSERT_EQ(scope.control->SetRS232PortInstalled(p, true), com::S_OK);
    ASSERT_EQ(scope.control->SetRS232PortIncluded(p, true), com::S_OK);
  }
  VexR7100PPSrchCri page(toolkit, scope);
  toolkit.QueueFrame([&](PropertyFrame&) {
    Form& form = *page.PageForm();
    const auto& items = form.Find<ui::Combo>("ComboHandshake")->Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "DTR/DSR");
    EXPECT_EQ(items[0].data, kHandshakeDtrDsr);
    EXPECT_EQ(form.Find<ListView>("ListInclude")->RowCount(), 2);
    EXPECT_FALSE(page.Changed());
    form.Find<Button>("CommandFindPort")->UserClick();
    auto* include = form.Find<ListView>("ListInclude");
    // COM3 is gone from both lists; the simulated GPIB0 was found.
    ASSERT_EQ(include->RowCount(), 2);
    EXPECT_EQ(include->Row(0).text, "COM1");
    EXPECT_EQ(include->Row(1).text, "GPIB0");
    EXPECT_EQ(form.Find<ListView>("ListExcluded")->RowCount(), 0);
    EXPECT_TRUE(page.Changed());
    EXPECT_FALSE(form.Find<ui::ProgressBar>("ProgressBarFind")->Visible());
  });
  toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1);
  unsetenv("VEX_COM_PORTS");
}

TEST(PropertyFrameTest, ResultsFormExclusionReachesCriteriaAndOneOkAppliesBothPages) {
  SilentPty silent;
  sim::test::Vexsim sim({"--pty"});
  setenv("VEX_COM_PORTS",
         ("COM1=" + silent.name + ",COM2=" + sim.Endpoint("pty") + "," + kNoComPorts34).c_str(), 1);
  HeadlessToolkit toolkit;
  FakeScope scope;
  for (int n = 0; n < 4; ++n) ASSERT_EQ(scope.control->SetGPIBPortIncluded(n, false), com::S_OK);
  ASSERT_EQ(scope.control->SetRS232PortIncluded(1, true), com::S_OK);
  VexR7100PPSrchIO search(toolkit, scope);
  VexR7100PPSrchCri criteria(toolkit, scope);
  toolkit.QueueModal([](Form& results) {
    results.Find<CheckBox>("CheckCOM1")->UserClick();
    results.Find<Button>("CommandContinue")->UserClick();
  });
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    search.PageForm()->Find<Button>("Search")->UserClick();
    WaitForSearch(toolkit, search);
    EXPECT_TRUE(search.Changed());
    frame.SelectPage(1);
    Form& form = *criteria.PageForm();
    auto* excluded = form.Find<ListView>("ListExcluded");
    ASSERT_GE(excluded->RowCount(), 1);
    EXPECT_EQ(excluded->Row(0).text, "COM1");
    // An edit on the second page.
    auto* include = form.Find<ListView>("ListInclude");
    ASSERT_EQ(include->Row(0).text, "COM2");
    include->UserClickRow(0);
    form.Find<ui::Combo>("ComboBaudRate")->UserSelect(4);
    EXPECT_TRUE(criteria.Changed());
    EXPECT_EQ(frame.Ok(), com::S_OK) << toolkit.MessageBoxes().back().request.title << ": "
                                     << toolkit.MessageBoxes().back().request.text;
  });
  EXPECT_EQ(toolkit.ShowPropertyFrame(0, "Pages", {&search, &criteria}, -1), ui::answer::kOk);
  // Both pages applied: the first one's notification did not make the
  // second skip its apply.
  EXPECT_EQ(scope.changed_signals, 2);
  bool included = true;
  ASSERT_EQ(scope.control->RS232PortIncluded(1, &included), com::S_OK);
  EXPECT_FALSE(included);
  std::int32_t baud = 0;
  ASSERT_EQ(scope.control->BaudRate(2, &baud), com::S_OK);
  EXPECT_EQ(baud, 38400);
  EXPECT_EQ(scope.alive, 0);
  unsetenv("VEX_COM_PORTS");
}

TEST(SetIOPageTest, PortsAddressesKeySwitchesAndErrorBox) {
  HeadlessToolkit toolkit;
  FakeScope scope;
  VexR7100PPSetIO page(toolkit, scope);
  toolkit.QueueFrame([&](PropertyFrame&) {
    Form& form = *page.PageForm();
    auto* ports = form.Find<ListView>("ListIOPort");
    auto* address = form.Find<ui::TextBox>("TextAddress");
    EXPECT_EQ(address->Caption(), "GPIB0::7::INSTR");
    EXPECT_EQ(form.Find<ui::Frame>("FrameSetup")->Caption(), "GPIB0 Setup");
    ports->UserClickRow(1);
    EXPECT_EQ(address->Caption(), "COM2");
    EXPECT_EQ(form.Find<ui::Frame>("FrameSetup")->Caption(), "COM2 (RS-232) Setup");
    EXPECT_FALSE(form.Find<ui::Combo>("ComboGPIBAddress")->Visible());
    EXPECT_EQ(form.Find<ui::Combo>("ComboBaudRate")->Text(), "9600");
    EXPECT_EQ(form.Find<ui::Combo>("ComboHandshake")->Text(), "XOn/XOff");
    form.Find<ui::Combo>("ComboHandshake")->UserSelect(1);
    EXPECT_EQ(address->Caption(), "COM2::Handshake=DTR_DSR");
    ports->UserClickRow(4);
    form.Find<ui::Combo>("ComboGPIBAddress")->UserSelect(5);
    EXPECT_EQ(address->Caption(), "GPIB0::5::INSTR");
    EXPECT_TRUE(page.Changed());

    // The key switches: Ctrl+D then Ctrl+E leaves the events on; Ctrl+L
    // twice keeps the log file on and turns nothing else on.
    CDebug& debug = CDebug::ForThisThread();
    address->UserKeyDown('D', ui::shift::kCtrl);
    address->UserKeyDown('E', ui::shift::kCtrl);
    EXPECT_EQ(debug.DebugMode(), 4);
    EXPECT_EQ(toolkit.MessageBoxes().back().request.title, "Support Message");
    EXPECT_EQ(toolkit.MessageBoxes().back().request.text,
              "Support Message events have been enabled.");
    EXPECT_EQ(toolkit.MessageBoxes().back().request.flags, 65600u);
    address->UserKeyDown('L', ui::shift::kCtrl);
    address->UserKeyDown('L', ui::shift::kCtrl);
    EXPECT_EQ(debug.DebugMode(), 6);
    address->UserKeyDown('E', ui::shift::kCtrl | ui::shift::kShift);  // not Ctrl alone
    address->UserKeyDown('D', ui::shift::kCtrl);
    EXPECT_EQ(debug.DebugMode(), 0);
    EXPECT_EQ(toolkit.MessageBoxes().back().request.text,
              "All Support Message functionality has been disabled.");

    // Ctrl+H shows the DTR-only option: every COM port goes to DTR/DSR.
    auto* dtr = form.Find<CheckBox>("CheckDTROnly");
    EXPECT_FALSE(dtr->Visible());
    address->UserKeyDown('H', ui::shift::kCtrl);
    ASSERT_TRUE(dtr->Visible());
    dtr->UserClick();
    const auto& items = form.Find<ui::Combo>("ComboHandshake")->Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "DTR/DSR");
    std::int32_t handshake = 0;
    ASSERT_EQ(scope.page->Handshake(1, &handshake), com::S_OK);
    EXPECT_EQ(handshake, kHandshakeDtrDsr);
    address->UserKeyDown('S', ui::shift::kCtrl);
    EXPECT_TRUE(form.Find<CheckBox>("CheckInitialSearch")->Visible());

    // A failing handler shows the page's error box and the page goes on.
    scope.manager = nullptr;
    form.Find<Button>("CommandTest")->UserClick();
    EXPECT_EQ(toolkit.MessageBoxes().back().request.title, "Set I/O Error");
    EXPECT_EQ(toolkit.MessageBoxes().back().request.flags & ui::mb::kIconMask, ui::mb::kCritical);
  });
  toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1);
}

TEST(SetIOPageTest, HandshakeWarningOnceThenNeverAndTheTestedReplyFollowsTheAddress) {
  sim::test::Vexsim sim({"--pty"});
  setenv("VEX_COM_PORTS",
         ("COM1=/dev/vex-none-1,COM2=" + sim.Endpoint("pty") + "," + kNoComPorts34).c_str(), 1);
  HeadlessToolkit toolkit;
  FakeScope scope;
  VexR7100PPSetIO page(toolkit, scope);
  toolkit.QueueModal([](Form& warning) {
    EXPECT_EQ(warning.Title(), "Instrument I/O Configuration");
    EXPECT_FALSE(warning.Find<Button>("CommandCancel")->Visible());
    EXPECT_EQ(warning.Find<CheckBox>("CheckOption")->Caption(), "Do not show this message again");
    warning.Find<Button>("CommandOK")->UserClick();
  });
  toolkit.QueueModal([](Form& warning) {
    warning.Find<CheckBox>("CheckOption")->UserClick();
    warning.Find<Button>("CommandOK")->UserClick();
  });
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    Form& form = *page.PageForm();
    form.Find<ListView>("ListIOPort")->UserClickRow(1);
    form.Find<Button>("CommandTest")->UserClick();
    ASSERT_EQ(frame.Apply(), com::S_OK);
    EXPECT_EQ(FormsShown(toolkit, "FrmMessageOption"), 1);
    EXPECT_EQ(scope.last_handshake, "COM2");
    EXPECT_NE(scope.control->InstrumentID().find("VEXAN"), std::string::npos);
    page.SetChanged(true);
    ASSERT_EQ(frame.Apply(), com::S_OK);
    EXPECT_EQ(FormsShown(toolkit, "FrmMessageOption"), 1);  // same address: not again
    scope.last_handshake.clear();
    page.SetChanged(true);
    ASSERT_EQ(frame.Apply(), com::S_OK);
    EXPECT_EQ(FormsShown(toolkit, "FrmMessageOption"), 2);
    EXPECT_TRUE(scope.dont_show_io);
    scope.last_handshake.clear();
    page.SetChanged(true);
    ASSERT_EQ(frame.Apply(), com::S_OK);
    EXPECT_EQ(FormsShown(toolkit, "FrmMessageOption"), 2);  // ticked: never

    // An address that was not tested has no instrument reply.
    form.Find<ListView>("ListIOPort")->UserClickRow(4);
    ASSERT_EQ(frame.Apply(), com::S_OK);
    EXPECT_EQ(scope.control->ActiveAddress().rfind("GPIB0::", 0), 0u);
    frame.Cancel();
  });
  toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1);
  EXPECT_EQ(scope.control->InstrumentID(), "");
  EXPECT_EQ(scope.AddressInstrumentID(), "");
  unsetenv("VEX_COM_PORTS");
}

}  // namespace
}  // namespace vex::control
