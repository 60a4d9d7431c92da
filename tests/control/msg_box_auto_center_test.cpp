// Centred message boxes and property frames through the headless toolkit,
// with the assertions they log.
#include "msg_box_auto_center.h"

#include <gtest/gtest.h>

#include "cdebug.h"
#include "vex/ui/headless_toolkit.h"

namespace vex::control {
namespace {

struct RecordingSink : DebugSink {
  void SupportMessage(const std::string& text) override { messages.push_back(text); }
  void PropertyChanged(std::string_view) override {}
  std::vector<std::string> messages;
};

// This thread's logger with events on, reset afterwards.
class MsgBoxAutoCenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CDebug::ForThisThread().SetSink(&sink);
    CDebug::ForThisThread().SetDebugMode(CDebug::kEvents);
    toolkit.SetMessageBoxSize({300, 120});
  }
  void TearDown() override {
    CDebug::ForThisThread().SetDebugMode(0);
    CDebug::ForThisThread().SetSink(nullptr);
  }
  RecordingSink sink;
  ui::HeadlessToolkit toolkit;
};

TEST_F(MsgBoxAutoCenterTest, ABoxNearTheRightEdgeEndsAtTheEdge) {
  const ui::WindowHandle parent = toolkit.AddWindow({900, 300, 200, 100});
  toolkit.QueueAnswer(ui::answer::kNo);
  EXPECT_EQ(MsgBoxCentered(toolkit, parent, "Continue?", ui::mb::kYesNo, "Setups"),
            ui::answer::kNo);
  const auto& box = toolkit.MessageBoxes().at(0);
  EXPECT_EQ(box.owner, parent);
  EXPECT_EQ(box.position, (ui::Point{1024 - 300, 290}));
  EXPECT_TRUE(sink.messages.empty());  // a parent: no assertion
}

TEST_F(MsgBoxAutoCenterTest, NoParentIsLoggedAndTheBoxIsCentredOnTheScreen) {
  MsgBoxCentered(toolkit, 0, "text", ui::mb::kInformation, "Title");
  EXPECT_EQ(toolkit.MessageBoxes().at(0).position, (ui::Point{362, 324}));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_NE(sink.messages[0].find("\r\nAssertion: m_hwndParent <> 0\r\n"), std::string::npos);
  EXPECT_NE(sink.messages[0].find(
                "File: Vex9100CtrlLib::MsgBoxAutoCenter\r\nFunction: MsgBoxCentered\r\n"),
            std::string::npos);
}

TEST_F(MsgBoxAutoCenterTest, TheHelpFileGoesWithTheBoxOnlyWithItsContext) {
  const ui::WindowHandle parent = toolkit.AddWindow({0, 0, 400, 300});
  MsgBoxCentered(toolkit, parent, "p", 0, "t", std::string("help.html"), 42);
  MsgBoxCentered(toolkit, parent, "p", 0, "t", std::string("help.html"));
  EXPECT_EQ(toolkit.MessageBoxes().at(0).request.help_file, "help.html");
  EXPECT_EQ(toolkit.MessageBoxes().at(0).request.help_context, 42);
  EXPECT_EQ(toolkit.MessageBoxes().at(1).request.help_file, "");
}

class CenteredPage : public ui::PropertyPage {
 public:
  std::string Caption() const override { return "Page"; }
  void Build(ui::Form& form) override { form.SetSize({300, 200}); }
  com::HRESULT ApplyChanges() override { return com::S_OK; }
};

TEST_F(MsgBoxAutoCenterTest, APropertyPagesFrameMovesToTheScreenCentre) {
  const ui::WindowHandle owner = toolkit.AddWindow({0, 0, 200, 100});
  CenteredPage page;
  toolkit.QueueFrame([&](ui::PropertyFrame&) {
    const ui::WindowHandle frame =
        toolkit.ParentWindow(toolkit.ParentWindow(page.PageForm()->Handle()));
    const ui::Rect before = *toolkit.WindowRect(frame);
    CenterPropertyPage(toolkit, page.PageForm()->Handle());
    const ui::Rect after = *toolkit.WindowRect(frame);
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.left, (1024 - after.width) / 2);
    EXPECT_EQ(after.top, (768 - after.height) / 2);
  });
  toolkit.ShowPropertyFrame(owner, "Properties", {&page}, -1);
  EXPECT_TRUE(sink.messages.empty());

  CenterPropertyPage(toolkit, 0);
  ASSERT_EQ(sink.messages.size(), 3u);
  EXPECT_NE(sink.messages[0].find("Assertion: hwndPropertyPage > 0"), std::string::npos);
  EXPECT_NE(sink.messages[1].find("Assertion: hwndParent > 0"), std::string::npos);
  EXPECT_NE(sink.messages[2].find("Assertion: hwndPPFrame > 0"), std::string::npos);
}

}  // namespace
}  // namespace vex::control
