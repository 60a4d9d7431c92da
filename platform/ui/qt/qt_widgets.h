// The Qt side of forms and controls: each control mirrors its state onto a
// QWidget and turns the widget's signals into the control's User* calls.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include "vex/ui/form.h"

namespace vex::ui {

// The dynamic property of widgets that take the user's input while the UI
// thread waits for an instrument (Widget::SetUsableWhileWaiting).
inline constexpr const char* kUsableWhileWaitingProperty = "vexUsableWhileWaiting";

// The widget behind a handle, nullptr when the handle names no live widget.
QWidget* WidgetFromHandle(WindowHandle handle);
WindowHandle HandleOf(const QWidget* widget);
Rect ToRect(const QRect& rect);
// A window's outer rectangle on the screen (a child's on-screen area).
Rect OuterRect(const QWidget* widget);
// Key codes and modifier bits of types.h for a Qt key event's values.
int KeyCodeOf(int qt_key);
int ShiftBitsOf(Qt::KeyboardModifiers modifiers);

class QtForm : public Form {
 public:
  // A top-level form (parent nullptr) or one embedded in `parent`.
  QtForm(std::string name, QWidget* parent);
  ~QtForm() override;

  int ShowModal(WindowHandle owner) override;
  void Close(int result) override;
  WindowHandle Handle() const override { return HandleOf(dialog_); }
  QDialog* Dialog() const { return dialog_; }

 protected:
  std::unique_ptr<Widget> MakeWidget(WidgetKind kind, std::string name) override;
  void SyncForm() override;

 private:
  QPointer<QDialog> dialog_;
};

class QtTimer : public Timer {
 public:
  QtTimer();

 protected:
  void Sync() override;

 private:
  QTimer timer_;
};

}  // namespace vex::ui
