#include "qt_widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTreeWidget>
#include <QWindow>

#include "qt_plot.h"
#include "vex/ui/placement.h"
#include "vex/ui/toolkit.h"

namespace vex::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The standard icons pictures and list rows show by name.
QIcon IconNamed(const std::string& name) {
  QStyle* style = QApplication::style();
  if (name == "information") return style->standardIcon(QStyle::SP_MessageBoxInformation);
  if (name == "exclamation") return style->standardIcon(QStyle::SP_MessageBoxWarning);
  if (name == "critical") return style->standardIcon(QStyle::SP_MessageBoxCritical);
  if (name == "question") return style->standardIcon(QStyle::SP_MessageBoxQuestion);
  if (name.empty()) return {};
  return style->standardIcon(QStyle::SP_DialogApplyButton);
}

// The state every control shares, onto its widget.
void SyncCommon(QWidget* widget, const Widget& state) {
  const Rect& r = state.Geometry();
  if (r.width > 0 && r.height > 0) widget->setGeometry(r.left, r.top, r.width, r.height);
  widget->setVisible(state.Visible());
  widget->setEnabled(state.Enabled());
  widget->setProperty(kUsableWhileWaitingProperty, state.UsableWhileWaiting());
}

// A control of kind T whose widget is a Q. The widget belongs to the
// form's window; the control deletes it first, so no signal reaches a
// control that is gone.
template <class T, class Q>
class Mirrored : public T {
 public:
  Mirrored(Form* form, std::string name, QWidget* parent)
      : T(form, std::move(name)), widget_(new Q(parent)) {}
  ~Mirrored() override { delete widget_.data(); }

 protected:
  Q* W() const { return widget_.data(); }
  void Sync() override {
    if (!widget_) return;
    const QSignalBlocker block(widget_.data());
    SyncCommon(widget_.data(), *this);
    SyncOwn();
  }
  virtual void SyncOwn() {}

 private:
  QPointer<Q> widget_;
};

class QtLabel : public Mirrored<Label, QLabel> {
 public:
  QtLabel(Form* form, std::string name, QWidget* parent) : Mirrored(form, std::move(name), parent) {
    W()->setWordWrap(true);
    W()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  void SyncOwn() override { W()->setText(Q(Caption())); }
};

class QtFrame : public Mirrored<Frame, QGroupBox> {
 public:
  QtFrame(Form* form, std::string name, QWidget* parent) : Mirrored(form, std::move(name), parent) {
    W()->lower();
  }
  void SyncOwn() override { W()->setTitle(Q(Caption())); }
};

class QtPicture : public Mirrored<Picture, QLabel> {
 public:
  using Mirrored::Mirrored;
  void SyncOwn() override {
    const int side = std::max(16, std::min(Geometry().width, Geometry().height));
    W()->setPixmap(IconNamed(Icon()).pixmap(side, side));
  }
};

class QtButton : public Mirrored<Button, QPushButton> {
 public:
  QtButton(Form* form, std::string name, QWidget* parent)
      : Mirrored(form, std::move(name), parent) {
    W()->setAutoDefault(false);
    QObject::connect(W(), &QPushButton::clicked, [this] { UserClick(); });
  }
  void SyncOwn() override { W()->setText(Q(Caption())); }
};

class QtCheckBox : public Mirrored<CheckBox, QCheckBox> {
 public:
  QtCheckBox(Form* form, std::string name, QWidget* parent)
      : Mirrored(form, std::move(name), parent) {
    // The box has toggled itself; UserClick toggles the state to match.
    QObject::connect(W(), &QCheckBox::clicked, [this](bool checked) {
      if (checked != Checked()) UserClick();
    });
  }
  void SyncOwn() override {
    W()->setText(Q(Caption()));
    W()->setChecked(Checked());
  }
};

class QtTextBox : public Mirrored<TextBox, QLineEdit>, public QObject {
 public:
  QtTextBox(Form* form, std::string name, QWidget* parent)
      : Mirrored(form, std::move(name), parent) {
    QObject::connect(W(), &QLineEdit::textEdited,
                     [this](const QString& text) { UserType(text.toStdString()); });
    W()->installEventFilter(this);
  }
  void SyncOwn() override {
    if (W()->text() != Q(Caption())) W()->setText(Q(Caption()));
    W()->setReadOnly(ReadOnly());
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      UserKeyDown(KeyCodeOf(key->key()), ShiftBitsOf(key->modifiers()));
    }
    return false;
  }
};

class QtCombo : public Mirrored<Combo, QComboBox> {
 public:
  QtCombo(Form* form, std::string name, QWidget* parent) : Mirrored(form, std::move(name), parent) {
    QObject::connect(W(), &QComboBox::activated, [this](int index) { UserSelect(index); });
  }
  void SyncOwn() override {
    if (shown_ != Items()) {
      W()->clear();
      for (const auto& item : Items()) W()->addItem(Q(item.text));
      shown_ = Items();
    }
    W()->setCurrentIndex(SelectedIndex());
  }

 private:
  std::vector<ComboItem> shown_;
};

class QtProgressBar : public Mirrored<ProgressBar, QProgressBar> {
 public:
  QtProgressBar(Form* form, std::string name, QWidget* parent)
      : Mirrored(form, std::move(name), parent) {
    W()->setTextVisible(false);
  }
  void SyncOwn() override {
    W()->setRange(Minimum(), Maximum());
    W()->setValue(Value());
  }
};

// Report style on a tree widget without a root: one item per row.
class QtListView : public Mirrored<ListView, QTreeWidget> {
 public:
  QtListView(Form* form, std::string name, QWidget* parent)
      : Mirrored(form, std::move(name), parent) {
    W()->setRootIsDecorated(false);
    W()->setUniformRowHeights(true);
    // A list without columns is a plain list: no header (Qt would label its
    // one column "1"). SyncOwn shows the header once columns are set.
    W()->setHeaderHidden(true);
    W()->setAllColumnsShowFocus(true);
    W()->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(W(), &QWidget::customContextMenuRequested, [this](const QPoint& at) {
      const QPoint global = W()->viewport()->mapToGlobal(at);
      UserContextMenu(Point{global.x(), global.y()});
    });
    auto* copy = new QShortcut(QKeySequence::Copy, W(), nullptr, nullptr, Qt::WidgetShortcut);
    QObject::connect(copy, &QShortcut::activated, [this] { UserKeyDown('C', shift::kCtrl); });
    QObject::connect(W(), &QTreeWidget::itemSelectionChanged, [this] {
      std::vector<int> rows;
      for (int i = 0; i < W()->topLevelItemCount(); ++i)
        if (W()->topLevelItem(i)->isSelected()) rows.push_back(i);
      if (rows != SelectedRows()) UserSelectRows(rows);
    });
    QObject::connect(W(), &QTreeWidget::itemChanged, [this](QTreeWidgetItem* item, int column) {
      const int index = W()->indexOfTopLevelItem(item);
      if (column != 0 || index < 0 || !CheckBoxes()) return;
      if ((item->checkState(0) == Qt::Checked) != Row(index).checked) UserToggleCheck(index);
    });
  }

  void SyncOwn() override {
    QTreeWidget* tree = W();
    const int column_count = std::max<int>(1, static_cast<int>(Columns().size()));
    if (shown_columns_ != Columns()) {
      tree->setColumnCount(column_count);
      tree->setHeaderHidden(Columns().empty());
      QStringList captions;
      for (std::size_t c = 0; c < Columns().size(); ++c) {
        captions << Q(Columns()[c].caption);
        tree->setColumnWidth(static_cast<int>(c), Columns()[c].width);
      }
      if (!Columns().empty()) tree->setHeaderLabels(captions);
      shown_columns_ = Columns();
    }
    tree->setSelectionMode(MultiSelect() ? QAbstractItemView::ExtendedSelection
                                         : QAbstractItemView::SingleSelection);
    while (tree->topLevelItemCount() > RowCount())
      delete tree->takeTopLevelItem(tree->topLevelItemCount() - 1);
    while (tree->topLevelItemCount() < RowCount()) tree->addTopLevelItem(new QTreeWidgetItem);
    for (int i = 0; i < RowCount(); ++i) {
      const ListRow& row = Row(i);
      QTreeWidgetItem* item = tree->topLevelItem(i);
      for (int c = 0; c < column_count; ++c) {
        const std::string& text =
            c == 0
                ? row.text
                : (c - 1 < static_cast<int>(row.sub_items.size()) ? row.sub_items[c - 1] : kNone);
        if (item->text(c) != Q(text)) item->setText(c, Q(text));
        const Align align =
            c < static_cast<int>(Columns().size()) ? Columns()[c].align : Align::kLeft;
        item->setTextAlignment(c, align == Align::kCenter  ? Qt::AlignHCenter
                                  : align == Align::kRight ? Qt::AlignRight
                                                           : Qt::AlignLeft);
      }
      item->setIcon(0, IconNamed(row.icon));
      if (CheckBoxes()) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
      } else {
        item->setData(0, Qt::CheckStateRole, QVariant());
      }
      item->setSelected(IsSelected(i));
    }
    if (VisibleRow() >= 0 && VisibleRow() < RowCount())
      tree->scrollToItem(tree->topLevelItem(VisibleRow()));
  }

 private:
  inline static const std::string kNone;
  std::vector<ListColumn> shown_columns_;
};

// The form's window: Enter and Escape go to the form, and closing the
// window is Escape.
class FormDialog : public QDialog {
 public:
  FormDialog(Form* form, QWidget* parent) : QDialog(parent), form_(form) {}
  void keyPressEvent(QKeyEvent* event) override {
    const int key = KeyCodeOf(event->key());
    if (key == key::kReturn || key == key::kEscape) {
      form_->UserKeyDown(key, ShiftBitsOf(event->modifiers()));
      return;
    }
    QDialog::keyPressEvent(event);
  }
  // A resizable form follows the window's size; a fixed one never changes.
  void resizeEvent(QResizeEvent* event) override {
    QDialog::resizeEvent(event);
    form_->UserResize({event->size().width(), event->size().height()});
  }
  // The window's close box: the cancel button when there is one, and the
  // window closes anyway.
  void reject() override {
    form_->UserKeyDown(key::kEscape, 0);
    if (isVisible()) QDialog::done(answer::kCancel);
  }

 private:
  Form* form_;
};

}  // namespace

QWidget* WidgetFromHandle(WindowHandle handle) {
  if (handle == 0) return nullptr;
  for (QWidget* widget : QApplication::allWidgets())
    if (HandleOf(widget) == handle) return widget;
  return nullptr;
}

WindowHandle HandleOf(const QWidget* widget) {
  return reinterpret_cast<WindowHandle>(widget);
}

Rect ToRect(const QRect& rect) {
  return {rect.left(), rect.top(), rect.width(), rect.height()};
}

Rect OuterRect(const QWidget* widget) {
  if (widget->isWindow()) return ToRect(widget->frameGeometry());
  const QPoint at = widget->mapToGlobal(QPoint(0, 0));
  return {at.x(), at.y(), widget->width(), widget->height()};
}

int KeyCodeOf(int qt_key) {
  if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) || (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9))
    return qt_key;
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return key::kF1 + (qt_key - Qt::Key_F1);
  switch (qt_key) {
    case Qt::Key_Backspace:
      return key::kBack;
    case Qt::Key_Tab:
      return key::kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return key::kReturn;
    case Qt::Key_Escape:
      return key::kEscape;
    case Qt::Key_Space:
      return key::kSpace;
    case Qt::Key_Left:
      return key::kLeft;
    case Qt::Key_Up:
      return key::kUp;
    case Qt::Key_Right:
      return key::kRight;
    case Qt::Key_Down:
      return key::kDown;
    case Qt::Key_Delete:
      return key::kDelete;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    default:
      return 0;
  }
}

int ShiftBitsOf(Qt::KeyboardModifiers modifiers) {
  int bits = 0;
  if (modifiers & Qt::ShiftModifier) bits |= shift::kShift;
  if (modifiers & Qt::ControlModifier) bits |= shift::kCtrl;
  if (modifiers & Qt::AltModifier) bits |= shift::kAlt;
  return bits;
}

QtForm::QtForm(std::string name, QWidget* parent)
    : Form(std::move(name)), dialog_(new FormDialog(this, parent)) {
  if (parent) dialog_->setWindowFlags(Qt::Widget);
  SyncForm();
}

QtForm::~QtForm() {
  DestroyWidgets();
  delete dialog_.data();
}

int QtForm::ShowModal(WindowHandle owner) {
  QWidget* owner_widget = WidgetFromHandle(owner);
  dialog_->winId();  // creates the native window, so it can take a transient parent
  if (owner_widget && owner_widget->window()->windowHandle())
    dialog_->windowHandle()->setTransientParent(owner_widget->window()->windowHandle());
  if (!MinimumSize()) dialog_->adjustSize();
  const QSize screen_size = QApplication::primaryScreen()->size();
  const Size screen{screen_size.width(), screen_size.height()};
  const Size size{dialog_->width(), dialog_->height()};
  const Point at = Placement()    ? KeepOnScreen(*Placement(), size, screen)
                   : owner_widget ? CenterOver(OuterRect(owner_widget->window()), size, screen)
                                  : CenterOnScreen(size, screen);
  dialog_->move(at.x, at.y);
  return dialog_->exec();
}

void QtForm::Close(int result) {
  if (dialog_) dialog_->done(result);
}

std::unique_ptr<Widget> QtForm::MakeWidget(WidgetKind kind, std::string name) {
  QWidget* parent = dialog_.data();
  switch (kind) {
    case WidgetKind::kLabel:
      return std::make_unique<QtLabel>(this, std::move(name), parent);
    case WidgetKind::kFrame:
      return std::make_unique<QtFrame>(this, std::move(name), parent);
    case WidgetKind::kPicture:
      return std::make_unique<QtPicture>(this, std::move(name), parent);
    case WidgetKind::kButton:
      return std::make_unique<QtButton>(this, std::move(name), parent);
    case WidgetKind::kCheckBox:
      return std::make_unique<QtCheckBox>(this, std::move(name), parent);
    case WidgetKind::kTextBox:
      return std::make_unique<QtTextBox>(this, std::move(name), parent);
    case WidgetKind::kCombo:
      return std::make_unique<QtCombo>(this, std::move(name), parent);
    case WidgetKind::kProgressBar:
      return std::make_unique<QtProgressBar>(this, std::move(name), parent);
    case WidgetKind::kPlot:
      return MakeQtPlot(this, std::move(name), parent);
    case WidgetKind::kListView:
      break;
  }
  return std::make_unique<QtListView>(this, std::move(name), parent);
}

void QtForm::SyncForm() {
  if (!dialog_) return;
  dialog_->setWindowTitle(Q(Title()));
  if (const auto& minimum = MinimumSize()) {
    dialog_->setMinimumSize(minimum->width, minimum->height);
    dialog_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (dialog_->width() != ClientSize().width || dialog_->height() != ClientSize().height)
      dialog_->resize(ClientSize().width, ClientSize().height);
  } else {
    dialog_->setFixedSize(ClientSize().width, ClientSize().height);
  }
  if (!FontName().empty()) {
    QFont font(Q(FontName()));
    if (FontPoints() > 0) font.setPointSizeF(FontPoints());
    dialog_->setFont(font);  // every child widget inherits it
  }
}

QtTimer::QtTimer() {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Elapse(); });
}

void QtTimer::Sync() {
  if (!Active()) {
    timer_.stop();
    return;
  }
  timer_.setSingleShot(OneShot());
  timer_.start(static_cast<int>(Interval()));
}

}  // namespace vex::ui
