// The four property pages on the Qt toolkit under a virtual display this
// program starts, driven through their Qt widgets against the simulated
// GPIB bus: search (while a 50 ms UI timer keeps ticking), the results
// form, select and apply; a setup taken from the simulated instrument
// through the real server, sent back, saved and opened. Each page is saved
// as a PNG in the build tree in English, German and Japanese.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <thread>

#include "cvexr7100_ez.h"
#include "fake_scope.h"
#include "io_test_support.h"
#include "outside_program.h"
#include "vex/ui/qt_toolkit.h"
#include "vexr7100_localization.h"
#include "vexr7100_pp_set_io.h"
#include "vexr7100_pp_setup.h"
#include "vexr7100_pp_srch_cri.h"
#include "vexr7100_pp_srch_io.h"
#include "virtual_display.h"

// Qt last: its keyword macros must not reach the project's headers.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

namespace vex::control {
namespace {

const auto* const kLibraries = ::testing::AddGlobalTestEnvironment(new test::IoLibraries);

using vex::test::VirtualDisplay;
const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new VirtualDisplay("pages_qt_test"));

// Runs the event loop until `done` holds (or 30 s pass).
bool WaitUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done() && std::chrono::steady_clock::now() < end) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

void Settle() {
  for (int i = 0; i < 10; ++i) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

QPushButton* ButtonOf(QWidget* window, const std::string& text) {
  for (QPushButton* b : window->findChildren<QPushButton*>())
    if (b->text().remove('&') == QString::fromStdString(text) && b->isVisible()) return b;
  return nullptr;
}

// Acts on the modal windows that open over the frame, in order: each
// action gets the window and says whether it handled it.
class ModalWatcher {
 public:
  explicit ModalWatcher(QWidget** frame) : frame_(frame) {
    timer_.setInterval(100);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == *frame_ || actions_.empty() || busy_) return;
      busy_ = true;
      if (actions_.front()(modal)) actions_.pop_front();
      busy_ = false;
    });
    timer_.start();
  }
  void Then(std::function<bool(QWidget*)> action) { actions_.push_back(std::move(action)); }
  bool Idle() const { return actions_.empty(); }

 private:
  QWidget** frame_;
  QTimer timer_;
  std::deque<std::function<bool(QWidget*)>> actions_;
  bool busy_ = false;
};

// Presses OK on a message box; false for any other window.
bool PressOk(QWidget* window) {
  auto* message = qobject_cast<QMessageBox*>(window);
  if (!message) return false;
  message->button(QMessageBox::Ok)->click();
  return true;
}

std::string Shot(const std::string& name) {
  std::filesystem::create_directories(VEX_PAGES_SHOTS);
  return std::string(VEX_PAGES_SHOTS) + "/" + name;
}

double Range(com::IDispatch* top) {
  com::Variant timebase;
  EXPECT_EQ(com::GetProperty(top, "Timebase", &timebase), com::S_OK);
  com::Variant range;
  EXPECT_EQ(com::GetProperty(timebase.Dispatch(), "HorizontalRange", &range), com::S_OK);
  double value = 0;
  EXPECT_EQ(range.ToR8(&value), com::S_OK);
  return value;
}

void SetRange(com::IDispatch* top, double value) {
  com::Variant timebase;
  ASSERT_EQ(com::GetProperty(top, "Timebase", &timebase), com::S_OK);
  ASSERT_EQ(com::PutProperty(timebase.Dispatch(), "HorizontalRange", com::Variant(value)),
            com::S_OK);
}

struct Language {
  const char* tag;
  std::int32_t offset;
};

TEST(PagesOnQt, SearchSelectApplyAndSetupsInThreeLanguages) {
  if (!VirtualDisplay::Missing().empty()) GTEST_FAIL() << VirtualDisplay::Missing();
  ui::QtToolkit toolkit;
  for (const Language language : {Language{"en", 0}, Language{"de", 4000}, Language{"ja", 5000}}) {
    SCOPED_TRACE(language.tag);
    VexR7100Localization::SetOffset(language.offset);
    // A COM port on which nothing answers makes the search last a time-out
    // and brings up the results form.
    const int silent = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(silent);
    unlockpt(silent);
    // The other COM names are pinned to nothing, so the machine's own serial
    // ports are never probed.
    setenv("VEX_COM_PORTS",
           (std::string("COM1=") + ptsname(silent) +
            ",COM2=/dev/vex-none-2,COM3=/dev/vex-none-3,COM4=/dev/vex-none-4")
               .c_str(),
           1);
    test::FakeScope scope;
    ASSERT_EQ(scope.control->SetActiveAddress("GPIB0::17::INSTR"), com::S_OK);
    ASSERT_EQ(scope.control->SetRS232PortIncluded(1, true), com::S_OK);
    // The Setups page reaches the instrument at GPIB0::1 of the simulated
    // bus through the control's binding to the real server.
    auto binding = com::MakeObject<CVexR7100EZ>();
    binding->SetAmbientUserMode(true);
    ASSERT_EQ(binding->SetAutomationServerAddress("GPIB0::1::INSTR"), com::S_OK);
    ASSERT_EQ(binding->Initialize(), com::S_OK) << com::TakeErrorDetails().description.Str();
    com::IDispatch* server = binding->EZPtr();
    ASSERT_NE(server, nullptr);
    com::IDispatch* wrapper = binding.Get();
    auto setups = com::MakeObject<CSetupsVexR7100Scope>();
    scope.setups = setups.Get();
    scope.wrapper = wrapper;
    ASSERT_EQ(setups->put_CVexR7100EZPtr(wrapper), com::S_OK);
    VexR7100PPSrchIO search(toolkit, scope);
    VexR7100PPSrchCri criteria(toolkit, scope);
    VexR7100PPSetIO set_io(toolkit, scope);
    VexR7100PPSetup setups_page(toolkit, scope);

    QWidget* frame = nullptr;
    ModalWatcher modal(&frame);
    int ticks = 0;
    // The first discovery tests the active address and shows its verdict.
    modal.Then(PressOk);
    // The script starts from the frame's own event loop once nothing else
    // is open over it.
    QTimer starter;
    starter.setInterval(100);
    QObject::connect(&starter, &QTimer::timeout, [&] {
      QWidget* active = QApplication::activeModalWidget();
      if (!active || !active->findChild<QTabBar*>() || !modal.Idle()) return;
      starter.stop();
      frame = active;
      auto* tabs = frame->findChild<QTabBar*>();
      // Search, with the UI timer ticking while the probes run.
      QTimer ui_timer;
      ui_timer.setInterval(50);
      QObject::connect(&ui_timer, &QTimer::timeout, [&] { ++ticks; });
      ui_timer.start();
      modal.Then([&](QWidget* results) {
        for (QAbstractButton* b : results->findChildren<QCheckBox*>())
          if (b->isVisible()) b->click();  // exclude the silent port
        QPushButton* ok = ButtonOf(results, PageText(111));
        if (!ok) return false;
        QPixmap(results->grab())
            .save(QString::fromStdString(
                Shot(std::string("pages_") + language.tag + "_search_results.png")));
        ok->click();
        return true;
      });
      QPushButton* search_button = ButtonOf(frame, PageText(207));
      ASSERT_NE(search_button, nullptr);
      search_button->click();
      EXPECT_TRUE(WaitUntil([&] { return !search.Searching() && modal.Idle(); }));
      ui_timer.stop();
      // Select the row of GPIB0::1 through the list and save each page.
      QTreeWidget* tree = nullptr;
      for (QTreeWidget* t : frame->findChildren<QTreeWidget*>())
        if (t->isVisible() && t->columnCount() == 4) tree = t;
      ASSERT_NE(tree, nullptr);
      ASSERT_EQ(tree->topLevelItemCount(), 2);
      tree->setCurrentItem(tree->topLevelItem(0));
      Settle();
      const char* names[] = {"search", "criteria", "setio", "setups"};
      for (int i = 3; i >= 0; --i) {
        tabs->setCurrentIndex(i);
        Settle();
        if (i == 3 && language.offset == 0) {
          // Setups: add one taken from the instrument, then send it.
          modal.Then([](QWidget* dialog) {
            auto* name = dialog->findChild<QLineEdit*>();
            if (!name) return false;
            name->setFocus();
            name->setText("Bench");
            name->textEdited("Bench");
            QPushButton* ok = ButtonOf(dialog, PageText(111));
            if (!ok) return false;
            ok->click();
            return true;
          });
          SetRange(server, 2e-3);
          ButtonOf(frame, PageText(603))->click();
          EXPECT_TRUE(WaitUntil([&] { return modal.Idle(); }));
          // The setup taken holds the instrument's settings: sending it
          // back undoes a change made since.
          SetRange(server, 5e-6);
          modal.Then(PressOk);
          ButtonOf(frame, PageText(607))->click();
          EXPECT_TRUE(WaitUntil([&] { return modal.Idle(); }));
          EXPECT_DOUBLE_EQ(Range(server), 2e-3);
          // Save it to a file, and open a copy of the file as a new setup.
          const std::string folder = std::string(VEX_TEST_TMP) + "/qt-setups";
          std::filesystem::remove_all(folder);
          std::filesystem::create_directories(folder);
          auto choose = [folder](std::string name) {
            return [folder, name](QWidget* window) {
              auto* dialog = qobject_cast<QFileDialog*>(window);
              auto* edit = dialog ? dialog->findChild<QLineEdit*>() : nullptr;
              if (!edit) return false;
              dialog->setDirectory(QString::fromStdString(folder));
              edit->setText(QString::fromStdString(name));  // the user types the name
              QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
              return true;
            };
          };
          modal.Then(choose("Bench.scp"));
          ButtonOf(frame, PageText(610))->click();
          EXPECT_TRUE(WaitUntil([&] { return modal.Idle(); }));
          ASSERT_TRUE(std::filesystem::exists(folder + "/Bench.scp"));
          std::filesystem::copy_file(folder + "/Bench.scp", folder + "/Copy.scp");
          modal.Then(choose("Copy.scp"));
          ButtonOf(frame, PageText(609))->click();
          EXPECT_TRUE(WaitUntil([&] { return modal.Idle(); }));
          std::int32_t count = 0;
          ASSERT_EQ(setups_page.PageSetups()->get_Count(&count), com::S_OK);
          EXPECT_EQ(count, 2);
          // The copy opened from the file sends the same settings.
          SetRange(server, 5e-6);
          QTreeWidget* list = nullptr;
          for (QTreeWidget* t : frame->findChildren<QTreeWidget*>())
            if (t->isVisible()) list = t;
          ASSERT_NE(list, nullptr);
          ASSERT_EQ(list->topLevelItemCount(), 2);
          list->setCurrentItem(list->topLevelItem(1));
          Settle();
          modal.Then(PressOk);
          ButtonOf(frame, PageText(607))->click();
          EXPECT_TRUE(WaitUntil([&] { return modal.Idle(); }));
          EXPECT_DOUBLE_EQ(Range(server), 2e-3);
          Settle();
        }
        EXPECT_TRUE(QPixmap(frame->grab())
                        .save(QString::fromStdString(
                            Shot(std::string("pages_") + language.tag + "_" + names[i] + ".png"))));
      }
      tabs->setCurrentIndex(0);
      Settle();
      frame->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    starter.start();
    EXPECT_EQ(toolkit.ShowPropertyFrame(0, "VexR7100Scope",
                                        {&search, &criteria, &set_io, &setups_page}, 0),
              ui::answer::kOk);
    EXPECT_EQ(scope.control->ActiveAddress(), "GPIB0::1::INSTR");
    bool included = true;
    ASSERT_EQ(scope.control->RS232PortIncluded(1, &included), com::S_OK);
    EXPECT_FALSE(included);
    // The window went on working while the search ran.
    RecordProperty("ui_timer_ticks", ticks);
    EXPECT_GE(ticks, 5);
    unsetenv("VEX_COM_PORTS");
    close(silent);
  }
  VexR7100Localization::SetOffset(0);
}

}  // namespace
}  // namespace vex::control
