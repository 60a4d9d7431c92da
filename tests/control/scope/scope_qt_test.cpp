// The control on a Qt host's UI thread: while it waits for a slow
// instrument the host's 50 ms timer goes on firing and the window paints;
// clicks reach only a control marked usable while waiting (a Cancel
// button), and a handler that reaches the instrument again meanwhile is
// refused, not mixed into the reply being read.
#include <gtest/gtest.h>

#include "VexsimProcess.h"
#include "scope_test_support.h"
#include "vex/ui/qt_toolkit.h"
#include "virtual_display.h"

// Qt last: its keyword macros must not reach the project's headers.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "qt_widgets.h"

namespace vex::control {
namespace {

using namespace vex::control::test;
using vex::test::VirtualDisplay;

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new VirtualDisplay("control_scope_qt_test"));

QPushButton* ButtonOf(QWidget* window, const QString& text) {
  for (QPushButton* button : window->findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

TEST(ScopeOnQt, ALargeSlowWaveformReadKeepsTheWindowAlive) {
  if (!VirtualDisplay::Missing().empty()) GTEST_FAIL() << VirtualDisplay::Missing();
  ui::QtToolkit toolkit;
  using SetToolkit = void(ui::Toolkit*);
  SetToolkit* set_toolkit = ControlEntry<SetToolkit>("Vex9100SetToolkit");
  ASSERT_NE(set_toolkit, nullptr);
  set_toolkit(&toolkit);

  sim::test::Vexsim sim({"--tcp", "127.0.0.1:0"});
  {
    Hosted scope;
    ASSERT_EQ(scope.Put("Address",
                        Variant("TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET")),
              S_OK);
    ASSERT_EQ(scope.Call("Digitize"), S_OK) << TakeErrorDetails().description.Str();
    // From now on every reply of this connection is held for 300 ms.
    ASSERT_EQ(scope.Call("Output", {Variant(":SIM:FAULT:DEL 300;:SIM:FAULT SLOW")}), S_OK);

    // A window with an ordinary button and a Cancel button.
    std::unique_ptr<ui::Form> form = toolkit.CreateForm("Panel");
    form->SetTitle("Panel");
    form->SetSize({240, 80});
    ui::Button* other = form->AddButton("Other", "Other", {8, 8, 100, 26});
    ui::Button* cancel = form->AddButton("Cancel", "Cancel", {120, 8, 100, 26});
    cancel->SetUsableWhileWaiting(true);
    int other_clicks = 0;
    int cancel_clicks = 0;
    other->OnClick([&] { ++other_clicks; });
    cancel->OnClick([&] { ++cancel_clicks; });
    QWidget* window = ui::WidgetFromHandle(form->Handle());
    ASSERT_NE(window, nullptr);
    window->show();
    QPushButton* other_button = ButtonOf(window, "Other");
    QPushButton* cancel_button = ButtonOf(window, "Cancel");
    ASSERT_NE(other_button, nullptr);
    ASSERT_NE(cancel_button, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(cancel_button->window()));

    int ticks = 0;
    std::vector<HRESULT> nested;
    QTimer ui_timer;
    ui_timer.setInterval(50);
    QObject::connect(&ui_timer, &QTimer::timeout, [&] {
      if (++ticks != 3) return;
      // The user clicks both buttons, and a handler asks the instrument.
      QTest::mouseClick(other_button, Qt::LeftButton);
      QTest::mouseClick(cancel_button, Qt::LeftButton);
      nested.push_back(scope.Call("Output", {Variant("*CLS")}));
      (void)TakeErrorDetails();
    });
    ui_timer.start();
    // Four channels of 100,000 points, each a few slow replies.
    Variant data;
    std::vector<Variant> args{Variant(std::int32_t{100000}), Variant::ByRef(&data)};
    const HRESULT read =
        InvokeByName(scope.control.Get(), "GetAllWaveformData", DISPATCH_METHOD, args, nullptr);
    ui_timer.stop();
    EXPECT_EQ(read, S_OK) << TakeErrorDetails().description.Str();
    EXPECT_TRUE(data.vt() & VT_ARRAY);
    // Counted, not timed: a thread that blocked would fire it once at most.
    RecordProperty("ui_timer_ticks", ticks);
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(cancel_clicks, 1);
    EXPECT_EQ(other_clicks, 0);
    ASSERT_EQ(nested.size(), 1u);
    EXPECT_EQ(static_cast<std::uint32_t>(nested[0]), 0x80010001u);
    // Once the read is over, the same click reaches the ordinary button.
    QTest::mouseClick(other_button, Qt::LeftButton);
    EXPECT_EQ(other_clicks, 1);
    (void)scope.Call("Output", {Variant(":SIM:FAULT NONE")});
  }
  set_toolkit(nullptr);
}

}  // namespace
}  // namespace vex::control
