// The Qt toolkit on a virtual X display this program starts: message boxes
// centred over their owner, the property frame, a form in Japanese, and
// the Qt signals reaching the presenters' handlers. Each look is saved as
// a PNG in the build tree for reviewers.
#include "vex/ui/qt_toolkit.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "outside_program.h"
#include "test_page.h"
#include "vex/ui/placement.h"
#include "virtual_display.h"

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

using vex::test::VirtualDisplay;
const auto* const kDisplay = ::testing::AddGlobalTestEnvironment(new VirtualDisplay("ui_qt_test"));

// Runs `action` once the event loop of whatever modal window is next
// shown has drawn it.
void WhenShown(std::function<void()> action) {
  QTimer::singleShot(400, [action = std::move(action)] { action(); });
}

std::string Shot(const std::string& name) {
  std::filesystem::create_directories(VEX_UI_SHOTS);
  return std::string(VEX_UI_SHOTS) + "/" + name;
}

// The whole screen, so an owner and the box over it are both in the shot.
void SaveScreen(const std::string& name) {
  const QPixmap screen = QApplication::primaryScreen()->grabWindow(0);
  EXPECT_TRUE(screen.save(QString::fromStdString(Shot(name)), "PNG"));
}

class QtToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!VirtualDisplay::Missing().empty()) GTEST_FAIL() << VirtualDisplay::Missing();
  }
  QtToolkit toolkit;
};

TEST_F(QtToolkitTest, AMessageBoxIsCentredOverItsOwnerAndKeptOnTheScreen) {
  QWidget owner;
  owner.setWindowTitle("Owner");
  owner.setGeometry(200, 150, 640, 420);
  owner.show();
  QApplication::processEvents();

  Point at;
  Size box;
  WhenShown([&] {
    auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(shown, nullptr);
    at = {shown->frameGeometry().left(), shown->frameGeometry().top()};
    box = {shown->frameGeometry().width(), shown->frameGeometry().height()};
    SaveScreen("message_box_centred.png");
    shown->button(QMessageBox::Cancel)->click();
  });
  const int answer = toolkit.ShowMessageBox(
      reinterpret_cast<WindowHandle>(&owner),
      Box("Search Instruments", "Could not open I/O port.", mb::kOkCancel | mb::kExclamation));
  EXPECT_EQ(answer, answer::kCancel);
  const Size screen = toolkit.Metrics().pixels;
  const Rect owner_rect{owner.frameGeometry().left(), owner.frameGeometry().top(),
                        owner.frameGeometry().width(), owner.frameGeometry().height()};
  EXPECT_EQ(at, CenterOver(owner_rect, box, screen));

  // An owner at the right edge: the box ends at the screen's right edge.
  owner.move(screen.width - 100, 150);
  QApplication::processEvents();
  WhenShown([&] {
    auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->frameGeometry().right() + 1, screen.width);
    shown->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(toolkit.ShowMessageBox(reinterpret_cast<WindowHandle>(&owner),
                                   Box("Title", "At the edge", mb::kOkOnly)),
            answer::kOk);
}

TEST_F(QtToolkitTest, ThePropertyFrameShowsItsPagesAndOkAppliesTheChangedOnes) {
  std::vector<std::string> applied;
  test::TestPage first("General", &applied);
  test::TestPage second("Advanced", &applied);
  WhenShown([&] {
    QWidget* frame = QApplication::activeModalWidget();
    ASSERT_NE(frame, nullptr);
    // The user ticks the box on the page, through Qt.
    auto boxes =
        first.PageForm() ? frame->findChildren<QAbstractButton*>() : QList<QAbstractButton*>{};
    for (QAbstractButton* b : boxes)
      if (b->text() == "Enable the option") b->click();
    EXPECT_TRUE(first.Changed());
    QApplication::processEvents();
    const QPixmap shot = frame->grab();
    EXPECT_TRUE(shot.save(QString::fromStdString(Shot("property_frame.png")), "PNG"));
    for (QPushButton* b : frame->findChildren<QPushButton*>())
      if (b->text().remove('&') == "OK") b->click();
  });
  EXPECT_EQ(toolkit.ShowPropertyFrame(0, "VDS3000 Properties", {&first, &second}, -1), answer::kOk);
  EXPECT_EQ(applied, std::vector<std::string>{"General"});
}

TEST_F(QtToolkitTest, AFormInJapaneseFallsBackToAFontThatHasTheGlyphs) {
  EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
      << "no Japanese font: install the Debian package fonts-wqy-microhei";
  auto form = toolkit.CreateForm("FrmSearchResults");
  form->SetTitle("計測器の検索結果");
  form->SetSize({440, 300});
  form->SetFont("MS UI Gothic", 10);  // not on this system: substituted
  form->AddLabel("LabelSearchComplete", "検索が完了しました。", {12, 12, 400, 24});
  auto* list = form->AddListView("ListViewInstruments", {12, 44, 416, 120});
  list->SetColumns(
      {{"モデル", 120}, {"X", 30, Align::kCenter}, {"アドレス", 120}, {"メーカー", 120}});
  list->AddRow(RowOf("VDS3104", {"X", "GPIB0::7", "Vexan"}, "ConnectedInstrument"));
  list->AddRow(RowOf("VDS3054", {"", "COM1", "Vexan"}));
  list->Select(0);
  form->AddCheckBox("CheckCOM1", "今後の検索から除外する", {12, 176, 300, 24});
  auto* progress = form->AddProgressBar("ProgressBarFind", {12, 208, 416, 16});
  progress->SetValue(60);
  auto* ok = form->AddButton("CommandContinue", "OK", {340, 256, 88, 28});
  ok->OnClick([&] { form->Close(answer::kOk); });
  WhenShown([&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->font().family(),
              QString("MS UI Gothic"));  // asked for; fontconfig substitutes
    EXPECT_EQ(dialog->findChildren<QLabel*>().front()->font().pointSizeF(), 10.0);
    const QPixmap shot = dialog->grab();
    EXPECT_TRUE(shot.save(QString::fromStdString(Shot("form_japanese.png")), "PNG"));
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
      if (b->text() == "OK") b->click();
  });
  EXPECT_EQ(form->ShowModal(0), answer::kOk);
}

TEST_F(QtToolkitTest, QtSignalsReachTheHandlersAndAThrowStaysInsideTheSlot) {
  auto form = toolkit.CreateForm("FrmKeys");
  std::vector<std::string> errors;
  form->OnError([&](std::string_view what) { errors.emplace_back(what); });
  auto* text = form->AddTextBox("TextAddress", "GPIB0::7::INSTR", {8, 8, 200, 24});
  text->SetReadOnly(true);
  std::vector<std::pair<int, int>> keys;
  text->OnKeyDown([&](int key, int shift) { keys.emplace_back(key, shift); });
  auto* test = form->AddButton("CommandTest", "Test", {8, 40, 80, 24});
  test->OnClick([] { throw std::runtime_error("query failed"); });
  auto* dialog = form->Find<TextBox>("TextAddress")->OwnerForm();
  ASSERT_EQ(dialog, form.get());

  QWidget* window = reinterpret_cast<QWidget*>(form->Handle());
  auto* edit = window->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_L, Qt::ControlModifier);
  QApplication::sendEvent(edit, &press);
  EXPECT_EQ(keys, (std::vector<std::pair<int, int>>{{'L', shift::kCtrl}}));
  window->findChild<QPushButton*>()->click();
  EXPECT_EQ(errors, std::vector<std::string>{"query failed"});

  // A one-shot timer fires once on the event loop.
  auto timer = toolkit.CreateTimer();
  int fired = 0;
  QEventLoop loop;
  timer->OnTimer([&] {
    ++fired;
    loop.quit();
  });
  timer->Start(20, true);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(timer->Active());
}

}  // namespace
}  // namespace vex::ui
