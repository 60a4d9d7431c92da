// The view layer as presenters use it, driven through the headless toolkit:
// placement, filters, controls, forms, timers, dialogs and the property frame.
#include "vex/ui/headless_toolkit.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_page.h"
#include "vex/ui/placement.h"

namespace vex::ui {
namespace {

// Shorthands for the requests and rows the tests make.
MessageBoxRequest Box(std::string title, std::string text, std::uint32_t flags) {
  MessageBoxRequest request;
  request.title = std::move(title);
  request.text = std::move(text);
  request.flags = flags;
  return request;
}

ListRow RowOf(std::string text, std::vector<std::string> sub_items, std::string icon = "") {
  ListRow row;
  row.text = std::move(text);
  row.sub_items = std::move(sub_items);
  row.icon = std::move(icon);
  return row;
}

TEST(Placement, CentresOverTheOwnerAndKeepsTheBoxOnTheScreen) {
  const Size screen{1024, 768};
  EXPECT_EQ(CenterOver({100, 100, 400, 300}, {200, 100}, screen), (Point{200, 200}));
  // An owner at the right edge: the box ends at the screen's right edge.
  EXPECT_EQ(CenterOver({900, 300, 200, 100}, {300, 120}, screen), (Point{724, 290}));
  // Left of and above the screen: pushed to 0.
  EXPECT_EQ(CenterOver({-300, -200, 100, 100}, {200, 100}, screen), (Point{0, 0}));
  // Below the bottom edge.
  EXPECT_EQ(CenterOver({10, 760, 100, 100}, {60, 100}, screen), (Point{30, 668}));
  // A box larger than the screen starts at 0.
  EXPECT_EQ(CenterOver({0, 0, 100, 100}, {2000, 1000}, screen), (Point{0, 0}));
  EXPECT_EQ(CenterOnScreen({200, 100}, screen), (Point{412, 334}));
}

TEST(FileFilter, SplitsTheNulSeparatedPairsAndPatterns) {
  using namespace std::string_literals;
  const auto filters = ParseFileFilter("Setup Files (*.set)\0*.set\0Images\0*.png; *.bmp\0\0"s);
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0], (FileFilter{"Setup Files (*.set)", {"*.set"}}));
  EXPECT_EQ(filters[1], (FileFilter{"Images", {"*.png", "*.bmp"}}));
  EXPECT_EQ(ToolkitFilterLine(filters[1]), "Images (*.png *.bmp)");
  // A description listing its own patterns shows them once.
  EXPECT_EQ(ToolkitFilterLine(FileFilter{"All Scope Files (*.scp; *.stp)", {"*.scp", "*.stp"}}),
            "All Scope Files (*.scp *.stp)");
  EXPECT_EQ(ToolkitFilterLine(FileFilter{"Setup Files (*.set)", {"*.set"}}), "Setup Files (*.set)");
  EXPECT_EQ(ToolkitFilterLine(FileFilter{"Old (*.stp)", {"*.set"}}), "Old (*.stp) (*.set)");

  // A save dialog's answer under the filter chosen.
  const FileFilter bmp{"BMP (*.bmp)", {"*.bmp"}};
  EXPECT_EQ(PathForFilter("/tmp/scr5", bmp), "/tmp/scr5.bmp");
  EXPECT_EQ(PathForFilter("/tmp/a.b/scr5", bmp), "/tmp/a.b/scr5.bmp");
  EXPECT_EQ(PathForFilter("/tmp/scr5.BMP", bmp), "/tmp/scr5.BMP");
  EXPECT_EQ(PathForFilter("/tmp/scr5.xyz", bmp), std::nullopt);
  EXPECT_EQ(PathForFilter("/tmp/scr5.xyz", FileFilter{"All Files (*.*)", {"*.*"}}),
            "/tmp/scr5.xyz");
  EXPECT_EQ(PathForFilter("/tmp/t.tiff", FileFilter{"TIFF", {"*.tif", "*.tiff"}}), "/tmp/t.tiff");
  EXPECT_TRUE(ParseFileFilter("").empty());
  EXPECT_TRUE(ParseFileFilter("Dangling description"s).empty());
  // Without the closing NULs the last pair still counts.
  EXPECT_EQ(ParseFileFilter("All\0*.*"s).size(), 1u);
}

TEST(Metrics, TwipsPerPixelFollowTheLogicalDpiAndCanBeInjected) {
  HeadlessToolkit toolkit;
  EXPECT_DOUBLE_EQ(toolkit.Metrics().TwipsPerPixel(), 15.0);
  toolkit.OverrideMetrics(ScreenMetrics{{1920, 1080}, 120});
  EXPECT_DOUBLE_EQ(toolkit.Metrics().TwipsPerPixel(), 12.0);
  EXPECT_EQ(toolkit.Metrics().pixels, (Size{1920, 1080}));
}

class HeadlessForms : public ::testing::Test {
 protected:
  HeadlessToolkit toolkit;
  std::unique_ptr<Form> form = toolkit.CreateForm("FrmTest");
};

TEST_F(HeadlessForms, ControlsReportTheUsersActionsOnlyWhenUsable) {
  int clicks = 0;
  Button* button = form->AddButton("CommandOK", "OK", {0, 0, 80, 24});
  button->OnClick([&] { ++clicks; });
  button->UserClick();
  button->SetEnabled(false);
  button->UserClick();
  button->SetEnabled(true);
  button->SetVisible(false);
  button->UserClick();
  EXPECT_EQ(clicks, 1);

  CheckBox* check = form->AddCheckBox("CheckOption", "Option", {});
  bool seen = false;
  check->OnClick([&] { seen = check->Checked(); });
  check->UserClick();
  EXPECT_TRUE(seen);

  Combo* combo = form->AddCombo("ComboHandshake", {});
  combo->AddItem("XOn/XOff", 2);
  combo->AddItem("DTR/DSR", 4);
  int chosen = 0;
  combo->OnSelect([&] { chosen = combo->Items()[combo->SelectedIndex()].data; });
  combo->UserSelect(1);
  EXPECT_EQ(chosen, 4);
  EXPECT_EQ(combo->Text(), "DTR/DSR");
  combo->UserSelect(7);  // no such item: nothing happens
  EXPECT_EQ(combo->SelectedIndex(), 1);
  EXPECT_FALSE(combo->SelectText("None"));
  EXPECT_EQ(combo->SelectedIndex(), -1);

  TextBox* text = form->AddTextBox("TextAddress", "GPIB0::7::INSTR", {});
  std::vector<std::pair<int, int>> keys;
  text->OnKeyDown([&](int key, int shift) { keys.emplace_back(key, shift); });
  text->SetReadOnly(true);
  text->UserType("changed");
  text->UserKeyDown('L', shift::kCtrl);
  EXPECT_EQ(text->Caption(), "GPIB0::7::INSTR");
  EXPECT_EQ(keys, (std::vector<std::pair<int, int>>{{'L', shift::kCtrl}}));

  ProgressBar* bar = form->AddProgressBar("ProgressBarFind", {});
  bar->SetRange(0, 8);
  bar->SetValue(12);
  EXPECT_EQ(bar->Value(), 8);
  EXPECT_EQ(form->Find<ProgressBar>("ProgressBarFind"), bar);
  EXPECT_EQ(form->Find<Button>("ProgressBarFind"), nullptr);
}

TEST_F(HeadlessForms, ListViewsKeepRowsIconsChecksAndSelection) {
  ListView* list = form->AddListView("ListViewInstruments", {});
  list->SetColumns({{"Model", 120}, {"X", 30, Align::kCenter}, {"Address", 100}});
  list->AddRow(RowOf("VDS3104", {"X", "GPIB0::7"}));
  list->AddRow(RowOf("VDS3054", {"", "COM1"}));
  list->SetSubItem(1, 3, "Vexan");
  EXPECT_EQ(list->Row(1).sub_items, (std::vector<std::string>{"", "COM1", "Vexan"}));
  list->SetRowIcon(0, "ConnectedInstrument");
  list->Select(0);
  list->Select(1);
  EXPECT_EQ(list->SelectedRows(), std::vector<int>{1});  // single selection
  list->SetMultiSelect(true);
  list->Select(0);
  EXPECT_EQ(list->SelectedRows(), (std::vector<int>{0, 1}));
  int changes = 0;
  list->OnSelectionChange([&] { ++changes; });
  list->UserClickRow(0);
  EXPECT_EQ(list->SelectedRows(), std::vector<int>{0});
  EXPECT_EQ(changes, 1);
  list->RemoveRow(0);
  EXPECT_EQ(list->RowCount(), 1);
  EXPECT_EQ(list->SelectedRow(), -1);
  EXPECT_EQ(list->Row(5).text, "");  // out of range: an empty row, no crash

  list->SetCheckBoxes(true);
  int checked_row = -1;
  list->OnRowCheck([&](int row) { checked_row = row; });
  list->UserToggleCheck(0);
  EXPECT_TRUE(list->Row(0).checked);
  EXPECT_EQ(checked_row, 0);
}

TEST_F(HeadlessForms, AHandlerThatThrowsIsReportedThroughTheForm) {
  std::vector<std::string> errors;
  form->OnError([&](std::string_view what) { errors.emplace_back(what); });
  Button* button = form->AddButton("CommandTest", "Test", {});
  button->OnClick([] { throw std::runtime_error("query failed"); });
  button->UserClick();
  EXPECT_EQ(errors, std::vector<std::string>{"query failed"});
}

TEST_F(HeadlessForms, AModalFormRunsItsScriptAndEnterAndEscapePressTheirButtons) {
  form->SetTitle("Message");
  Button* ok = form->AddButton("CommandOK", "OK", {});
  Button* cancel = form->AddButton("CommandCancel", "Cancel", {});
  ok->OnClick([&] { form->Close(answer::kOk); });
  cancel->OnClick([&] { form->Close(answer::kCancel); });
  form->SetDefaultButton(ok);
  form->SetCancelButton(cancel);
  toolkit.QueueModal([](Form& shown) { shown.UserKeyDown(key::kReturn, 0); });
  toolkit.QueueModal([](Form& shown) { shown.UserKeyDown(key::kEscape, 0); });
  EXPECT_EQ(form->ShowModal(0), answer::kOk);
  EXPECT_EQ(form->ShowModal(0), answer::kCancel);
  EXPECT_EQ(form->ShowModal(0), answer::kCancel);  // no script: cancelled
  EXPECT_EQ(toolkit.Transcript().front(), "form FrmTest \"Message\" shown");
}

TEST_F(HeadlessForms, MessageBoxesAreRecordedPlacedAndAnsweredByScript) {
  toolkit.SetMessageBoxSize({300, 120});
  const WindowHandle owner = toolkit.AddWindow({900, 300, 200, 100});
  toolkit.QueueAnswer(answer::kCancel);
  EXPECT_EQ(toolkit.ShowMessageBox(owner, Box("Search", "Really?", mb::kOkCancel | mb::kQuestion)),
            answer::kCancel);
  EXPECT_EQ(toolkit.ShowMessageBox(0, Box("Info", "Done", mb::kYesNo)), answer::kYes);
  ASSERT_EQ(toolkit.MessageBoxes().size(), 2u);
  EXPECT_EQ(toolkit.MessageBoxes()[0].position, (Point{724, 290}));
  EXPECT_EQ(toolkit.MessageBoxes()[1].position, (Point{362, 324}));
  EXPECT_EQ(toolkit.Transcript()[0], "message box \"Search\" 0x00000021: Really?");
}

TEST_F(HeadlessForms, FileDialogsAnswerChoicesCancelsAndFailures) {
  FileDialogRequest request;
  request.kind = FileDialogKind::kSave;
  request.title = "Save Setup";
  request.initial_folder = "/home/user";
  const std::string long_path =
      "/data/" + std::string(400, 'x') + ".set";  // no 257-character limit
  toolkit.QueueFileChoice(long_path);
  toolkit.QueueFileChoice(std::nullopt);
  toolkit.QueueFileDialogFailure(com::E_OUTOFMEMORY);
  std::optional<std::string> path;
  EXPECT_EQ(toolkit.ShowFileDialog(0, request, &path), com::S_OK);
  EXPECT_EQ(path, long_path);
  EXPECT_EQ(toolkit.ShowFileDialog(0, request, &path), com::S_OK);
  EXPECT_FALSE(path);
  EXPECT_EQ(toolkit.ShowFileDialog(0, request, &path), com::E_OUTOFMEMORY);
  EXPECT_EQ(toolkit.FileDialogs().size(), 3u);
  EXPECT_EQ(toolkit.FileDialogs()[0].request.initial_folder, "/home/user");
}

TEST_F(HeadlessForms, BusyCursorNestsAndTheClipboardKeepsText) {
  {
    BusyCursor outer(toolkit);
    BusyCursor inner(toolkit);
    EXPECT_EQ(toolkit.BusyDepth(), 2);
  }
  EXPECT_EQ(toolkit.BusyDepth(), 0);
  toolkit.SetClipboardText("VEXAN,VDS3104");
  EXPECT_EQ(toolkit.ClipboardText(), "VEXAN,VDS3104");
}

TEST(HeadlessTimers, RepeatingAndOneShotTimersFireAsTheClockAdvances) {
  HeadlessToolkit toolkit;
  auto idle = toolkit.CreateTimer();
  auto once = toolkit.CreateTimer();
  int idle_count = 0;
  int once_count = 0;
  idle->OnTimer([&] { ++idle_count; });
  once->OnTimer([&] { ++once_count; });
  idle->Start(100);
  once->Start(250, true);
  toolkit.AdvanceTime(99);
  EXPECT_EQ(idle_count, 0);
  toolkit.AdvanceTime(401);  // 500 ms in all
  EXPECT_EQ(idle_count, 5);
  EXPECT_EQ(once_count, 1);
  EXPECT_FALSE(once->Active());
  idle->Stop();
  toolkit.FireTimers();
  EXPECT_EQ(idle_count, 5);
  // A handler that throws stops nothing and is reported.
  std::string error;
  idle->OnError([&](std::string_view what) { error = what; });
  idle->OnTimer([] { throw std::runtime_error("poll failed"); });
  idle->Start(10);
  toolkit.AdvanceTime(10);
  EXPECT_EQ(error, "poll failed");
  EXPECT_TRUE(idle->Active());
}

class PropertyFrames : public ::testing::Test {
 protected:
  HeadlessToolkit toolkit;
  std::vector<std::string> applied;
  test::TestPage first{"First", &applied};
  test::TestPage second{"Second", &applied};
  test::TestPage third{"Third", &applied};
  std::vector<PropertyPage*> pages{&first, &second, &third};
};

TEST_F(PropertyFrames, OkAppliesTheChangedPagesInOrder) {
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    EXPECT_EQ(frame.Current(), 0);  // -1 starts at the first page
    EXPECT_FALSE(frame.ApplyEnabled());
    frame.SelectPage(2);
    third.check->UserClick();
    frame.SelectPage(0);
    first.text->UserType("new");
    EXPECT_TRUE(frame.ApplyEnabled());
    EXPECT_EQ(frame.Ok(), com::S_OK);
  });
  EXPECT_EQ(toolkit.ShowPropertyFrame(0, "Properties", pages, -1), answer::kOk);
  EXPECT_EQ(applied, (std::vector<std::string>{"First", "Third"}));
  EXPECT_EQ(second.builds, 0);  // never shown, never built
  EXPECT_EQ(first.builds, 1);
  EXPECT_EQ(first.activations, 2);
}

TEST_F(PropertyFrames, ApplyKeepsTheFrameOpenAndAFailureStopsAtItsPage) {
  toolkit.QueueFrame([&](PropertyFrame& frame) {
    EXPECT_EQ(frame.Current(), 1);
    second.check->UserClick();
    EXPECT_EQ(frame.Apply(), com::S_OK);
    EXPECT_FALSE(frame.ApplyEnabled());
    frame.SelectPage(0);
    first.check->UserClick();
    frame.SelectPage(2);
    third.check->UserClick();
    first.fail_apply = true;
    EXPECT_EQ(frame.Ok(), com::E_FAIL);
    EXPECT_EQ(frame.Current(), 0);
    EXPECT_TRUE(first.Changed());
    EXPECT_TRUE(third.Changed());  // not reached
    frame.Cancel();
  });
  EXPECT_EQ(toolkit.ShowPropertyFrame(0, "Properties", pages, 1), answer::kCancel);
  EXPECT_EQ(applied, (std::vector<std::string>{"Second", "First"}));
}

TEST_F(PropertyFrames, APagesFormSitsInsideThePageAreaInsideTheFrame) {
  toolkit.QueueFrame([&](PropertyFrame&) {
    const WindowHandle page = first.PageForm()->Handle();
    const WindowHandle area = toolkit.ParentWindow(page);
    ASSERT_NE(area, 0u);
    const WindowHandle frame = toolkit.ParentWindow(area);
    ASSERT_NE(frame, 0u);
    EXPECT_EQ(toolkit.ParentWindow(frame), 0u);
  });
  EXPECT_EQ(toolkit.ShowPropertyFrame(0, "Properties", pages, 7),
            answer::kCancel);  // out of range: first
  EXPECT_EQ(first.builds, 1);
}

}  // namespace
}  // namespace vex::ui
