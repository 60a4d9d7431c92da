#include "vex/ui/qt_toolkit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <exception>

#include "qt_widgets.h"
#include "vex/ui/placement.h"

namespace vex::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Runs a slot's work; a throw is written to standard error instead of
// reaching the event loop.
template <class F>
void Guarded(const char* where, F&& work) {
  try {
    work();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s failed: %s\n", where, e.what());
  } catch (...) {
    std::fprintf(stderr, "%s failed\n", where);
  }
}

// A message box that places itself when shown: centred over its owner, or
// on the screen, and kept on the screen.
class PlacedMessageBox : public QMessageBox {
 public:
  PlacedMessageBox(QWidget* owner, Size screen)
      : QMessageBox(owner), owner_(owner), screen_(screen) {}

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    const Size box{frameGeometry().width(), frameGeometry().height()};
    const Point at = owner_ ? CenterOver(OuterRect(owner_->window()), box, screen_)
                            : CenterOnScreen(box, screen_);
    move(at.x, at.y);
    if (foreground_) {
      raise();
      activateWindow();
    }
  }

 public:
  bool foreground_ = false;

 private:
  QWidget* owner_;
  Size screen_;
};

struct ButtonAnswer {
  QMessageBox::StandardButton button;
  int answer;
};

std::vector<ButtonAnswer> ButtonsOf(std::uint32_t flags) {
  using B = QMessageBox;
  switch (flags & mb::kButtonMask) {
    case mb::kOkCancel:
      return {{B::Ok, answer::kOk}, {B::Cancel, answer::kCancel}};
    case mb::kAbortRetryIgnore:
      return {{B::Abort, answer::kAbort}, {B::Retry, answer::kRetry}, {B::Ignore, answer::kIgnore}};
    case mb::kYesNoCancel:
      return {{B::Yes, answer::kYes}, {B::No, answer::kNo}, {B::Cancel, answer::kCancel}};
    case mb::kYesNo:
      return {{B::Yes, answer::kYes}, {B::No, answer::kNo}};
    case mb::kRetryCancel:
      return {{B::Retry, answer::kRetry}, {B::Cancel, answer::kCancel}};
    default:
      return {{B::Ok, answer::kOk}};
  }
}

QMessageBox::Icon IconOf(std::uint32_t flags) {
  switch (flags & mb::kIconMask) {
    case mb::kCritical:
      return QMessageBox::Critical;
    case mb::kQuestion:
      return QMessageBox::Question;
    case mb::kExclamation:
      return QMessageBox::Warning;
    case mb::kInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The frame window: a tab per page over a stack of the page forms, and OK,
// Cancel and Apply under them.
class QtFrameHost : public PageHost {
 public:
  QtFrameHost(QWidget* owner, const std::string& caption, const std::vector<PropertyPage*>& pages)
      : dialog_(owner), forms_(pages.size()) {
    dialog_.setWindowTitle(Q(caption));
    auto* layout = new QVBoxLayout(&dialog_);
    tabs_ = new QTabBar;
    for (PropertyPage* page : pages) tabs_->addTab(Q(page->Caption()));
    stack_ = new QStackedWidget;
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                    QDialogButtonBox::Apply);
    layout->addWidget(tabs_);
    layout->addWidget(stack_, 1);
    layout->addWidget(buttons_);
  }
  ~QtFrameHost() override { forms_.clear(); }

  void Connect(PropertyFrame* frame) {
    QObject::connect(tabs_, &QTabBar::currentChanged, [frame](int index) {
      Guarded("page selection", [&] { frame->SelectPage(index); });
    });
    QObject::connect(buttons_->button(QDialogButtonBox::Ok), &QPushButton::clicked,
                     [frame] { Guarded("OK", [&] { (void)frame->Ok(); }); });
    QObject::connect(buttons_->button(QDialogButtonBox::Apply), &QPushButton::clicked,
                     [frame] { Guarded("Apply", [&] { (void)frame->Apply(); }); });
    QObject::connect(buttons_->button(QDialogButtonBox::Cancel), &QPushButton::clicked,
                     [frame] { Guarded("Cancel", [&] { frame->Cancel(); }); });
    QObject::connect(&dialog_, &QDialog::rejected,
                     [frame] { Guarded("Cancel", [&] { frame->Cancel(); }); });
  }

  Form& PageFormAt(int index) override {
    auto& form = forms_.at(index);
    if (!form) {
      form = std::make_unique<QtForm>("page" + std::to_string(index), stack_);
      stack_->addWidget(form->Dialog());
    }
    return *form;
  }
  void ShowPage(int index) override {
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(index);
    QtForm* form = forms_.at(index).get();
    stack_->setCurrentWidget(form->Dialog());
    stack_->setMinimumSize(stack_->minimumSize().expandedTo(form->Dialog()->size()));
  }
  void SetApplyEnabled(bool enabled) override {
    buttons_->button(QDialogButtonBox::Apply)->setEnabled(enabled);
  }
  void CloseFrame(int result) override {
    closing_ = true;
    dialog_.done(result);
  }

  QDialog& Dialog() { return dialog_; }
  bool Closing() const { return closing_; }

 private:
  QDialog dialog_;
  QTabBar* tabs_;
  QStackedWidget* stack_;
  QDialogButtonBox* buttons_;
  std::vector<std::unique_ptr<QtForm>> forms_;
  bool closing_ = false;
};

}  // namespace

QtToolkit::QtToolkit() = default;

QtToolkit::~QtToolkit() {
  while (busy_depth_ > 0) SetBusyCursor(false);
}

std::unique_ptr<Form> QtToolkit::CreateForm(std::string name) {
  return std::make_unique<QtForm>(std::move(name), nullptr);
}

std::unique_ptr<Timer> QtToolkit::CreateTimer() {
  return std::make_unique<QtTimer>();
}

int QtToolkit::ShowMessageBox(WindowHandle owner, const MessageBoxRequest& request) {
  QWidget* owner_widget = WidgetFromHandle(owner);
  PlacedMessageBox box(owner_widget, Metrics().pixels);
  box.setWindowTitle(Q(request.title));
  box.setText(Q(request.text));
  box.setIcon(IconOf(request.flags));
  const auto buttons = ButtonsOf(request.flags);
  for (const auto& b : buttons) box.addButton(b.button);
  box.setDefaultButton(buttons.front().button);
  // Escape answers Cancel where there is one, else the only button.
  box.setEscapeButton(
      box.button(buttons.size() == 1 ? buttons.front().button : QMessageBox::Cancel));
  if (!request.help_file.empty()) box.addButton(QMessageBox::Help);
  if (request.flags & mb::kForeground) {
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.foreground_ = true;
  }
  for (;;) {
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    if (pressed == QMessageBox::Help) {
      // Help opens the help file and leaves the question open.
      QDesktopServices::openUrl(QUrl::fromLocalFile(Q(request.help_file)));
      continue;
    }
    for (const auto& b : buttons)
      if (b.button == pressed) return b.answer;
    return buttons.size() == 1 ? buttons.front().answer : answer::kCancel;
  }
}

com::HRESULT QtToolkit::ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                                       std::optional<std::string>* path, int* filter_index) {
  if (!path) return com::E_POINTER;
  path->reset();
  QFileDialog dialog(WidgetFromHandle(owner), Q(request.title), Q(request.initial_folder));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  QStringList filters;
  const auto parsed = ParseFileFilter(request.filter);
  for (const auto& filter : parsed) filters << Q(ToolkitFilterLine(filter));
  // A name typed without a suffix takes the chosen filter's extension.
  const auto suffix_of = [&](const QString& line) {
    const auto at = filters.indexOf(line);
    const std::string extension =
        at >= 0 ? FilterExtension(parsed[static_cast<std::size_t>(at)]) : std::string();
    return Q(extension.empty() ? request.default_extension : extension);
  };
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(
        filters.value(std::clamp(request.filter_index, 1, static_cast<int>(filters.size())) - 1));
  }
  if (request.kind == FileDialogKind::kSave) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!(request.flags & ofn::kOverwritePrompt))
      dialog.setOption(QFileDialog::DontConfirmOverwrite);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode((request.flags & ofn::kFileMustExist) ? QFileDialog::ExistingFile
                                                             : QFileDialog::AnyFile);
  }
  if (request.kind == FileDialogKind::kSave) {
    dialog.setDefaultSuffix(suffix_of(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected,
                     [&](const QString& line) { dialog.setDefaultSuffix(suffix_of(line)); });
  } else if (!request.default_extension.empty()) {
    dialog.setDefaultSuffix(Q(request.default_extension));
  }
  if (!request.file_name.empty()) dialog.selectFile(Q(request.file_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return com::S_OK;
  *path = dialog.selectedFiles().front().toStdString();
  if (filter_index)
    *filter_index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  return com::S_OK;
}

void QtToolkit::SetBusyCursor(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++busy_depth_;
  } else if (busy_depth_ > 0) {
    QApplication::restoreOverrideCursor();
    --busy_depth_;
  }
}

void QtToolkit::SetClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(Q(text));
}

std::string QtToolkit::ClipboardText() {
  return QApplication::clipboard()->text().toStdString();
}

ScreenMetrics QtToolkit::Metrics() {
  if (metrics_override_) return *metrics_override_;
  ScreenMetrics metrics;
  if (QScreen* screen = QApplication::primaryScreen()) {
    metrics.pixels = {screen->size().width(), screen->size().height()};
    metrics.logical_dpi = screen->logicalDotsPerInch();
  }
  return metrics;
}

WindowHandle QtToolkit::ParentWindow(WindowHandle window) {
  QWidget* widget = WidgetFromHandle(window);
  return widget ? HandleOf(widget->parentWidget()) : 0;
}

std::optional<Rect> QtToolkit::WindowRect(WindowHandle window) {
  QWidget* widget = WidgetFromHandle(window);
  if (!widget) return std::nullopt;
  return OuterRect(widget);
}

bool QtToolkit::MoveWindow(WindowHandle window, Point top_left) {
  QWidget* widget = WidgetFromHandle(window);
  if (!widget) return false;
  widget->move(top_left.x, top_left.y);
  return true;
}

int QtToolkit::ShowPropertyFrame(WindowHandle owner, const std::string& caption,
                                 const std::vector<PropertyPage*>& pages, int start_index) {
  QtFrameHost host(WidgetFromHandle(owner), caption, pages);
  PropertyFrame frame(&host, pages, start_index);
  host.Connect(&frame);
  frame.Start();
  host.Dialog().adjustSize();
  const Size screen = Metrics().pixels;
  const Size size{host.Dialog().width(), host.Dialog().height()};
  QWidget* owner_widget = WidgetFromHandle(owner);
  const Point at = owner_widget ? CenterOver(OuterRect(owner_widget->window()), size, screen)
                                : CenterOnScreen(size, screen);
  host.Dialog().move(at.x, at.y);
  const int result = host.Dialog().exec();
  if (!host.Closing()) frame.Cancel();
  return result == answer::kOk ? answer::kOk : answer::kCancel;
}

namespace {

// Drops the user's input while the UI thread waits, except for widgets
// marked usable while waiting and their children.
class WaitingInputFilter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
      case QEvent::Close:
        break;
      default:
        return false;
    }
    for (QObject* object = watched; object; object = object->parent())
      if (object->property(kUsableWhileWaitingProperty).toBool()) return false;
    return true;
  }
};

}  // namespace

void QtToolkit::ProcessPendingEvents() {
  QCoreApplication* application = QCoreApplication::instance();
  if (!application || QThread::currentThread() != application->thread()) return;
  WaitingInputFilter filter;
  application->installEventFilter(&filter);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  application->removeEventFilter(&filter);
}

}  // namespace vex::ui
