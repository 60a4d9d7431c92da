// The Setups page on the headless toolkit with a small fake server wrapper:
// add, edit (renaming the current setup), remove, get, send (and a failed
// send), save and open, the handshake warning with Continue and Cancel,
// and cancelling the frame leaving the control's setups alone.
#include <gtest/gtest.h>

#include "fake_scope.h"
#include "fake_wrapper.h"
#include "setup_test_support.h"
#include "vex/ui/headless_toolkit.h"
#include "vexr7100_pp_setup.h"

namespace vex::control {
namespace {

using namespace vex::com;
using test::FakeScope;
using test::FakeWrapper;
using ui::Button;
using ui::CheckBox;
using ui::Form;
using ui::HeadlessToolkit;
using ui::ListView;
using ui::PropertyFrame;

const auto* const kResources = ::testing::AddGlobalTestEnvironment(new test::ResourceLibrary);

struct SetupsFixture {
  SetupsFixture() : scope(false) {
    scope.setups = control_setups.Get();
    scope.wrapper = wrapper.Get();
    EXPECT_EQ(control_setups->put_CVexR7100EZPtr(wrapper.Get()), S_OK);
    EXPECT_EQ(control_setups->Add(Bstr("Alpha"), nullptr), S_OK);
  }
  int Count() {
    std::int32_t count = 0;
    EXPECT_EQ(control_setups->get_Count(&count), S_OK);
    return count;
  }
  int Boxes(const std::string& title) const {
    int n = 0;
    for (const auto& box : toolkit.MessageBoxes()) n += box.request.title == title;
    return n;
  }
  HeadlessToolkit toolkit;
  ComPtr<CSetupsVexR7100Scope> control_setups = MakeObject<CSetupsVexR7100Scope>();
  ComPtr<FakeWrapper> wrapper = MakeObject<FakeWrapper>();
  FakeScope scope;
};

int IconCount(const ListView& list) {
  int n = 0;
  for (int i = 0; i < list.RowCount(); ++i) n += list.Row(i).icon == VexR7100PPSetup::kCurrentIcon;
  return n;
}

void AddSetup(HeadlessToolkit& toolkit, Form& page, const std::string& name, bool get) {
  toolkit.QueueModal([name, get](Form& dialog) {
    EXPECT_EQ(dialog.Title(), "Add New Setup");
    dialog.Find<ui::TextBox>("TextName")->UserType(name);
    dialog.Find<ui::TextBox>("TextComments")->UserType("on " + name);
    if (dialog.Find<CheckBox>("CheckGetSetup")->Checked() != get)
      dialog.Find<CheckBox>("CheckGetSetup")->UserClick();
    dialog.Find<Button>("CommandOK")->UserClick();
  });
  page.Find<Button>("CommandAdd")->UserClick();
}

TEST(SetupsPageTest, InstrumentActionsEditsAndCancelLeavingTheControlAlone) {
  SetupsFixture f;
  VexR7100PPSetup page(f.toolkit, f.scope);
  f.toolkit.QueueFrame([&](PropertyFrame&) {
    Form& form = *page.PageForm();
    auto* list = form.Find<ListView>("ListViewSetups");
    ASSERT_EQ(list->RowCount(), 1);
    EXPECT_TRUE(f.scope.PageExists(page_bit::kSetups));

    // Add with "Get Setup From Instrument": a setup without data is taken
    // without asking; the connection is opened in page mode, which ends.
    AddSetup(f.toolkit, form, "Beta", true);
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->Row(1).sub_items[0], "on Beta");
    EXPECT_EQ(f.wrapper->utilities->reads, 1);
    EXPECT_EQ(f.Boxes("Getting Setup"), 0);
    EXPECT_TRUE(f.wrapper->connected);
    EXPECT_FALSE(f.wrapper->page_mode);
    EXPECT_EQ(list->Row(1).icon, VexR7100PPSetup::kCurrentIcon);
    // Get again: it has data now, so it asks; Cancel takes nothing.
    f.toolkit.QueueAnswer(ui::answer::kCancel);
    form.Find<Button>("CommandGet")->UserClick();
    EXPECT_EQ(f.Boxes("Getting Setup"), 1);
    EXPECT_EQ(f.wrapper->utilities->reads, 1);

    // A name that exists (in any letter case) is refused.
    AddSetup(f.toolkit, form, "alpha", false);
    EXPECT_EQ(f.toolkit.MessageBoxes().back().request.text, "Error.  Setup names must be unique.");
    EXPECT_EQ(list->RowCount(), 2);
    // A name with a space is refused by the dialog, which stays open.
    f.toolkit.QueueModal([](Form& dialog) {
      dialog.Find<ui::TextBox>("TextName")->UserType("Lab 1");
      dialog.Find<Button>("CommandOK")->UserClick();
      EXPECT_EQ(dialog.Find<ui::TextBox>("TextName")->Caption(), "Lab 1");
      dialog.Find<Button>("CommandCancel")->UserClick();
    });
    form.Find<Button>("CommandAdd")->UserClick();
    EXPECT_EQ(f.Boxes("Setup Name Format"), 1);

    // Send Alpha (no data): the failure reads the instrument's error and
    // shows the send box, not an error box.
    list->UserClickRow(0);
    f.toolkit.QueueAnswer(ui::answer::kOk);
    form.Find<Button>("CommandSend")->UserClick();
    EXPECT_EQ(f.wrapper->utilities->error_queries, 1);
    EXPECT_EQ(f.toolkit.MessageBoxes().back().request.title, "Send Setup");
    EXPECT_NE(f.toolkit.MessageBoxes().back().request.text.find("An error occurred  while"),
              std::string::npos);
    EXPECT_EQ(f.Boxes("Setups Error"), 0);
    // Send Beta: the icon stays on exactly one row.
    list->UserClickRow(1);
    f.toolkit.QueueAnswer(ui::answer::kOk);
    form.Find<Button>("CommandSend")->UserClick();
    EXPECT_EQ(f.wrapper->utilities->writes, 1);
    EXPECT_EQ(IconCount(*list), 1);
    EXPECT_EQ(list->Row(1).icon, VexR7100PPSetup::kCurrentIcon);

    // Renaming the current setup through the context menu: the current
    // mark follows the new name.
    f.toolkit.QueueModal([](Form& menu) { menu.Find<Button>("MenuEdit")->UserClick(); });
    f.toolkit.QueueModal([](Form& dialog) {
      EXPECT_EQ(dialog.Title(), "Edit Setup");
      EXPECT_FALSE(dialog.Find<CheckBox>("CheckGetSetup")->Visible());
      dialog.Find<ui::TextBox>("TextName")->UserType("Gamma");
      dialog.Find<Button>("CommandOK")->UserClick();
    });
    page.ContextMenu();
    EXPECT_EQ(list->Row(1).text, "Gamma");
    Bstr last;
    ASSERT_EQ(page.PageSetups()->get_LastInstrumentSetup(&last), S_OK);
    EXPECT_EQ(last.Str(), "Gamma");
    ComPtr<ISetupVexR7100Scope> gamma;
    ASSERT_EQ(page.PageSetups()->item(Variant("Gamma"), gamma.ReleaseAndGetAddressOf()), S_OK);
    Variant learn;
    ASSERT_EQ(gamma->get_LearnString(&learn), S_OK);
    EXPECT_EQ(test::BytesOf(learn), "#15hello");
    // A right click opens the menu at the pointer, kept on the screen.
    std::vector<ui::Rect> menus;
    for (const ui::Point at : {ui::Point{300, 200}, ui::Point{1020, 760}}) {
      f.toolkit.QueueModal([&](Form& menu) {
        menus.push_back(f.toolkit.WindowRect(menu.Handle()).value_or(ui::Rect{}));
        menu.Find<Button>("MenuCopy")->UserClick();
      });
      list->UserContextMenu(at);
    }
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].left, 300);
    EXPECT_EQ(menus[0].top, 200);
    EXPECT_EQ(menus[1].left, 1024 - menus[1].width);
    EXPECT_EQ(menus[1].top, 768 - menus[1].height);
    EXPECT_EQ(f.toolkit.ClipboardText(), "Gamma");
    f.toolkit.SetClipboardText("");
    list->UserKeyDown('C', ui::shift::kCtrl);
    EXPECT_EQ(f.toolkit.ClipboardText(), "Gamma");

    // Without a selected row, Get, Send and Save As do nothing.
    list->ClearSelection();
    const std::size_t boxes = f.toolkit.MessageBoxes().size();
    for (const char* name : {"CommandGet", "CommandSend", "CommandSaveAs"})
      form.Find<Button>(name)->UserClick();
    EXPECT_EQ(f.toolkit.MessageBoxes().size(), boxes);
    EXPECT_TRUE(f.toolkit.FileDialogs().empty());

    // A failed connection is shown as the page's error and the page mode
    // ends all the same.
    f.wrapper->connected = false;
    f.wrapper->fail_initialize = true;
    list->UserClickRow(0);
    f.toolkit.QueueAnswer(ui::answer::kOk);
    form.Find<Button>("CommandSend")->UserClick();
    EXPECT_EQ(f.toolkit.MessageBoxes().back().request.title, "Setups Error");
    EXPECT_EQ(f.toolkit.MessageBoxes().back().request.text, "no instrument");
    EXPECT_FALSE(f.wrapper->page_mode);
    f.wrapper->fail_initialize = false;

    // Remove asks first.
    list->UserClickRow(0);
    f.toolkit.QueueAnswer(ui::answer::kOk);
    form.Find<Button>("CommandRemove")->UserClick();
    EXPECT_EQ(list->RowCount(), 1);
    EXPECT_EQ(list->SelectedRow(), 0);
  });
  f.toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1);
  // Cancelled: the control's setups are as they were.
  ASSERT_EQ(f.Count(), 1);
  ComPtr<ISetupVexR7100Scope> alpha;
  EXPECT_EQ(f.control_setups->item(Variant("Alpha"), alpha.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_FALSE(f.scope.PageExists(page_bit::kSetups));
}

TEST(SetupsPageTest, FilesHandshakeWarningAndApply) {
  SetupsFixture f;
  test::ScratchFolder folder;
  ASSERT_EQ(f.scope.control->SetActiveAddress("COM1"), S_OK);
  f.scope.control->SetInstrumentID("VEXAN TECHNOLOGIES,VDS3014A,SIM1,A.03.00");
  VexR7100PPSetup page(f.toolkit, f.scope);
  f.toolkit.QueueFrame([&](PropertyFrame& frame) {
    Form& form = *page.PageForm();
    auto* list = form.Find<ListView>("ListViewSetups");
    list->UserClickRow(0);
    // The serial handshake warning: Cancel stops the Get.
    f.toolkit.QueueModal([](Form& warning) {
      EXPECT_EQ(warning.Title(), "Setup I/O Configuration");
      EXPECT_TRUE(warning.Find<Button>("CommandContinue")->Visible());
      warning.Find<Button>("CommandCancel")->UserClick();
    });
    form.Find<Button>("CommandGet")->UserClick();
    EXPECT_EQ(f.wrapper->utilities->reads, 0);
    // Ticked and continued: the Get runs and the warning is not shown again.
    f.toolkit.QueueModal([](Form& warning) {
      warning.Find<CheckBox>("CheckOption")->UserClick();
      warning.Find<Button>("CommandContinue")->UserClick();
    });
    form.Find<Button>("CommandGet")->UserClick();
    EXPECT_EQ(f.wrapper->utilities->reads, 1);
    EXPECT_TRUE(f.scope.dont_show_setup);
    f.toolkit.QueueAnswer(ui::answer::kOk);  // overwrite the data
    form.Find<Button>("CommandGet")->UserClick();
    EXPECT_EQ(f.wrapper->utilities->reads, 2);

    // Save As, then open the file back under its own name (asking first).
    const std::string path = folder / "Alpha.scp";
    f.toolkit.QueueFileChoice(path);
    form.Find<Button>("CommandSaveAs")->UserClick();
    ASSERT_EQ(f.toolkit.FileDialogs().size(), 1u);
    EXPECT_EQ(f.toolkit.FileDialogs()[0].request.title, "Save Setup File");
    EXPECT_EQ(f.toolkit.FileDialogs()[0].request.file_name, "Alpha");
    EXPECT_EQ(test::ReadBytes(path).empty(), false);
    Bstr initial;
    ASSERT_EQ(page.PageSetups()->get_InitialDirectory(&initial), S_OK);
    EXPECT_EQ(initial.Str(), folder.Path());
    // A bare name typed in the dialog is saved with the native extension.
    f.toolkit.QueueFileChoice(folder / "Bare");
    form.Find<Button>("CommandSaveAs")->UserClick();
    EXPECT_FALSE(test::ReadBytes(folder / "Bare.scp").empty());
    f.toolkit.QueueFileChoice(path);
    f.toolkit.QueueAnswer(ui::answer::kCancel);
    form.Find<Button>("CommandOpen")->UserClick();
    EXPECT_EQ(f.toolkit.MessageBoxes().back().request.title, "Open Setup File");
    EXPECT_EQ(list->RowCount(), 1);
    // The same file as bench.cfg.scp gives the setup "bench".
    std::filesystem::copy_file(path, folder / "bench.cfg.scp");
    f.toolkit.QueueFileChoice(folder / "bench.cfg.scp");
    form.Find<Button>("CommandOpen")->UserClick();
    ASSERT_EQ(list->RowCount(), 2);
    EXPECT_EQ(list->Row(1).text, "bench");
    // A space in a file name is no space in a setup name: "Lab 1.scp"
    // opens as the setup "Lab_1".
    const std::size_t boxes = f.toolkit.MessageBoxes().size();
    std::filesystem::copy_file(path, folder / "Lab 1.scp");
    f.toolkit.QueueFileChoice(folder / "Lab 1.scp");
    form.Find<Button>("CommandOpen")->UserClick();
    EXPECT_EQ(f.toolkit.MessageBoxes().size(), boxes);
    ASSERT_EQ(list->RowCount(), 3);
    EXPECT_EQ(list->Row(2).text, "Lab_1");
    // A file that went away after it was chosen: the box names it and why.
    f.toolkit.QueueFileChoice(folder / "gone.scp");
    form.Find<Button>("CommandOpen")->UserClick();
    EXPECT_EQ(f.toolkit.MessageBoxes().back().request.title, "Setups Error");
    EXPECT_EQ(
        f.toolkit.MessageBoxes().back().request.text,
        "Error while loading from file " + folder / "gone.scp" + ": No such file or directory");
    EXPECT_EQ(f.toolkit.MessageBoxes().back().request.flags & ui::mb::kIconMask, ui::mb::kCritical);
    EXPECT_EQ(frame.Ok(), S_OK);
  });
  EXPECT_EQ(f.toolkit.ShowPropertyFrame(0, "Pages", {&page}, -1), ui::answer::kOk);
  ComPtr<ISetupVexR7100Scope> bench;
  EXPECT_EQ(f.control_setups->item(Variant("bench"), bench.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(f.control_setups->item(Variant("Lab_1"), bench.ReleaseAndGetAddressOf()), S_OK);
  // Connected: the control's instrument reply is the wrapper's.
  EXPECT_EQ(f.scope.control->InstrumentID(), "VEXAN TECHNOLOGIES,VDS3014A,SIM1,A.03.00");
}

}  // namespace
}  // namespace vex::control
