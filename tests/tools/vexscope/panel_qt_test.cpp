// The desktop panel on the Qt toolkit under a virtual display, against the
// simulator over TCP: Digitize through its button, the plot against
// GetAllWaveformData, the measurements, a setup taken and sent back, CSV
// and screen files written through the file dialogs and read back,
// screenshots in English and German,
// a 50 ms timer that keeps firing (and Cancel that stops) while a slow
// instrument is read, and an error box when the instrument stops answering,
// after which the panel works again.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "VexsimProcess.h"
#include "panel_presenter.h"
#include "qt_widgets.h"
#include "vex/com/com.h"
#include "vex/com/control_site.h"
#include "vex/com/member_call.h"
#include "vex/control/scope_control.h"
#include "vex/ui/qt_toolkit.h"
#include "virtual_display.h"
#include "waveform_data.h"

// Qt last: its keyword macros must not reach the project's headers.
#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace vex::scope {
namespace {

using com::Variant;
using vex::test::VirtualDisplay;

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new VirtualDisplay("vexscope_panel_qt_test"));

QPushButton* ButtonOf(QWidget* window, const QString& text) {
  for (QPushButton* button : window->findChildren<QPushButton*>())
    if (button->text().remove('&') == text) return button;
  return nullptr;
}

// Acts on the modal windows that open, in order, from a timer of the
// event loop: each action gets the window and says whether it handled it.
class Modals {
 public:
  Modals() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || actions_.empty() || busy_) return;
      busy_ = true;
      if (actions_.front()(modal)) actions_.pop_front();
      busy_ = false;
    });
    timer_.start();
  }
  void Then(std::function<bool(QWidget*)> action) { actions_.push_back(std::move(action)); }
  // The next message box is answered with OK; its text is kept.
  void Ok(std::vector<std::string>* texts = nullptr) {
    Then([texts](QWidget* window) {
      auto* box = qobject_cast<QMessageBox*>(window);
      if (!box) return false;
      if (texts) texts->push_back(box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
      return true;
    });
  }
  // The next file dialog is given `path`, typed as the user would.
  void Choose(const std::string& path) {
    Then([path](QWidget* window) {
      auto* dialog = qobject_cast<QFileDialog*>(window);
      auto* edit = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
      if (!edit) return false;
      const std::filesystem::path file(path);
      dialog->setDirectory(QString::fromStdString(file.parent_path().string()));
      edit->setText(QString::fromStdString(file.filename().string()));
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
      return true;
    });
  }
  bool Idle() const { return actions_.empty(); }

 private:
  QTimer timer_;
  std::deque<std::function<bool(QWidget*)>> actions_;
  bool busy_ = false;
};

double Range(com::IDispatch* control) {
  com::MemberCallResult result;
  com::MemberCallIssue issue;
  EXPECT_EQ(com::CallMemberPath(control, "Timebase.HorizontalRange", com::MemberAction::kGet, {},
                                nullptr, &result, &issue),
            com::S_OK);
  double value = 0;
  if (result.retval) {
    EXPECT_EQ(result.retval->value.ToR8(&value), com::S_OK);
  }
  return value;
}

void SetRange(com::IDispatch* control, const char* value) {
  com::MemberCallResult result;
  com::MemberCallIssue issue;
  EXPECT_EQ(com::CallMemberPath(control, "Timebase.HorizontalRange", com::MemberAction::kSet,
                                {value}, nullptr, &result, &issue),
            com::S_OK);
}

struct Panel {
  Panel(ui::Toolkit& toolkit, const std::string& address, std::int32_t country,
        const char* setup = nullptr) {
    for (const char* path :
         {VEX8100RESLIB_PATH, VEX9100_PATH, VEX9100TB_PATH, VEXIOUTILS_PATH, VEXSIMBUS_PATH})
      EXPECT_EQ(com::RegisterServer(path), com::S_OK) << path;
    site = com::MakeObject<com::ControlSite>(true);
    EXPECT_EQ(com::HostControl(control::kScopeControlProgID, site.Get(), nullptr, &control),
              com::S_OK);
    EXPECT_EQ(com::PutProperty(control.Get(), "CountryCode", Variant(country)), com::S_OK);
    EXPECT_EQ(com::PutProperty(control.Get(), "Address", Variant(address)), com::S_OK);
    if (setup) {
      com::MemberCallResult added;
      com::MemberCallIssue issue;
      EXPECT_EQ(com::CallMemberPath(control.Get(), "Setups.Add", com::MemberAction::kCall, {setup},
                                    nullptr, &added, &issue),
                com::S_OK)
          << issue.message;
    }
    presenter = std::make_unique<PanelPresenter>(toolkit, control.Get());
    window = ui::WidgetFromHandle(presenter->Form().Handle());
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
  }
  ~Panel() {
    presenter.reset();
    (void)com::CallMethod(control.Get(), "CloseConnection", {}, nullptr);
  }
  void Click(const char* text) {
    QPushButton* button = ButtonOf(window, text);
    ASSERT_NE(button, nullptr) << text;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  com::ComPtr<com::ControlSite> site;
  com::ComPtr<com::IDispatch> control;
  std::unique_ptr<PanelPresenter> presenter;
  QWidget* window = nullptr;
};

void Shot(QWidget* window, const std::string& name) {
  std::filesystem::create_directories(VEX_PANEL_SHOTS);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_TRUE(
      window->grab().save(QString::fromStdString(std::string(VEX_PANEL_SHOTS) + "/" + name)));
}

TEST(PanelOnQt, DigitizeSlowReadsCancelErrorsAndScreenshots) {
  if (!VirtualDisplay::Missing().empty()) GTEST_FAIL() << VirtualDisplay::Missing();
  ui::QtToolkit toolkit;
  Vex9100SetToolkit(&toolkit);
  sim::test::Vexsim sim({"--tcp", "127.0.0.1:0", "--model", "VDS3004A"});
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET";
  {
    Panel panel(toolkit, address, 1, "Bench");
    panel.presenter->Connect();
    panel.Click("AutoScale");
    panel.Click("Digitize");
    const auto* plot = panel.presenter->Form().Find<ui::Plot>("plotWaveforms");
    ASSERT_EQ(plot->Series().size(), 4u);
    com::MemberCallResult all;
    com::MemberCallIssue issue;
    ASSERT_EQ(com::CallMemberPath(panel.control.Get(), "GetAllWaveformData",
                                  com::MemberAction::kCall, {"0"}, nullptr, &all, &issue),
              com::S_OK);
    const WaveformSet table = AnalogOnly(FromTable(all.outs.at(0).value));
    for (std::size_t c = 0; c < 4; ++c) {
      EXPECT_EQ(plot->Series()[c].x, table.time);
      EXPECT_EQ(plot->Series()[c].y, table.columns[c].values);
    }
    const auto* measurements = panel.presenter->Form().Find<ui::ListView>("lstMeasurements");
    ASSERT_EQ(measurements->RowCount(), 12);
    EXPECT_FALSE(measurements->Row(0).sub_items.at(3).empty());
    Shot(panel.window, "panel_en.png");

    // A setup taken from the instrument and sent back through the buttons.
    Modals modals;
    SetRange(panel.control.Get(), "2e-3");
    QTreeWidget* setups = nullptr;
    for (QTreeWidget* list : panel.window->findChildren<QTreeWidget*>())
      if (list->topLevelItemCount() == 1 && list->topLevelItem(0)->text(0) == "Bench")
        setups = list;
    ASSERT_NE(setups, nullptr);
    setups->setCurrentItem(setups->topLevelItem(0));
    panel.Click("Get");
    SetRange(panel.control.Get(), "5e-6");
    std::vector<std::string> asked;
    modals.Ok(&asked);
    panel.Click("Send");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_NE(asked[0].find("Sending a setup"), std::string::npos) << asked[0];
    EXPECT_DOUBLE_EQ(Range(panel.control.Get()), 2e-3);

    // The data as CSV and the screen as PNG, through the file dialogs, and
    // read back.
    const std::string folder = std::string(VEX_TEST_TMP) + "/panel-qt-files";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    modals.Choose(folder + "/data.csv");
    panel.Click("Save as CSV\u2026");
    EXPECT_TRUE(modals.Idle());
    std::ostringstream expected;
    WriteWaveformCsv(expected, panel.presenter->Data(), false);
    std::ifstream csv(folder + "/data.csv");
    std::ostringstream written;
    written << csv.rdbuf();
    EXPECT_EQ(written.str(), expected.str());
    modals.Choose(folder + "/screen.png");
    panel.Click("Screen\u2026");
    EXPECT_TRUE(modals.Idle());
    const QImage screen(QString::fromStdString(folder + "/screen.png"));
    EXPECT_EQ(screen.width(), 640);
    EXPECT_EQ(screen.height(), 480);

    // Every reply held for 300 ms: a reading lasts seconds, the 50 ms timer
    // keeps firing, and Cancel (clicked on its third tick) stops it.
    ASSERT_EQ(com::CallMethod(panel.control.Get(), "Output",
                              {Variant(":SIM:FAULT:DEL 300;:SIM:FAULT SLOW")}, nullptr),
              com::S_OK);
    const std::vector<double> before = panel.presenter->Data().columns[0].values;
    int ticks = 0;
    QTimer ui_timer;
    ui_timer.setInterval(50);
    QObject::connect(&ui_timer, &QTimer::timeout, [&] {
      if (++ticks == 3) QTest::mouseClick(ButtonOf(panel.window, "Cancel"), Qt::LeftButton);
    });
    ui_timer.start();
    panel.Click("Refresh");
    ui_timer.stop();
    RecordProperty("ui_timer_ticks", ticks);
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(panel.presenter->Data().columns[0].values, before);
    EXPECT_FALSE(panel.presenter->Busy());
    ASSERT_EQ(com::CallMethod(panel.control.Get(), "Output", {Variant(":SIM:FAULT NONE")}, nullptr),
              com::S_OK);

    // The instrument stops answering: an error box, then it answers again.
    com::MemberCallResult ignored;
    ASSERT_EQ(com::CallMemberPath(panel.control.Get(), "Utilities.Timeout", com::MemberAction::kSet,
                                  {"1000"}, nullptr, &ignored, &issue),
              com::S_OK);
    ASSERT_EQ(com::CallMethod(panel.control.Get(), "Output", {Variant(":SIM:FAULT NOAN")}, nullptr),
              com::S_OK);
    std::vector<std::string> boxes;
    QTimer closer;
    closer.setInterval(50);
    QObject::connect(&closer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      boxes.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
      box->button(QMessageBox::Ok)->click();
    });
    closer.start();
    panel.Click("Digitize");
    ASSERT_EQ(boxes.size(), 1u);
    (void)com::CallMethod(panel.control.Get(), "Output", {Variant(":SIM:FAULT NONE")}, nullptr);
    com::SetErrorInfo(0, nullptr);
    panel.Click("Digitize");
    closer.stop();
    EXPECT_EQ(boxes.size(), 1u) << boxes.back();
    EXPECT_EQ(panel.presenter->Data().columns.size(), 4u);
  }
  {
    Panel panel(toolkit, address, 49);
    panel.presenter->Connect();
    panel.Click("Digitize");
    EXPECT_EQ(panel.presenter->Data().columns.size(), 4u);
    Shot(panel.window, "panel_de.png");
  }
  Vex9100SetToolkit(nullptr);
}

}  // namespace
}  // namespace vex::scope
