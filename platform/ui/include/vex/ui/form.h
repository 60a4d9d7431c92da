// A form: a window of controls placed at pixel positions, shown modally
// over an owner or embedded as a property page. The form owns its controls;
// the pointers the Add calls return stay valid as long as the form.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vex/ui/types.h"
#include "vex/ui/widgets.h"

namespace vex::ui {

enum class WidgetKind {
  kLabel,
  kFrame,
  kPicture,
  kButton,
  kCheckBox,
  kTextBox,
  kCombo,
  kProgressBar,
  kListView,
  kPlot
};

class Form {
 public:
  explicit Form(std::string name) : name_(std::move(name)) {}
  virtual ~Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }

  Label* AddLabel(std::string name, std::string caption, const Rect& rect);
  Frame* AddFrame(std::string name, std::string caption, const Rect& rect);
  Picture* AddPicture(std::string name, std::string icon, const Rect& rect);
  Button* AddButton(std::string name, std::string caption, const Rect& rect);
  CheckBox* AddCheckBox(std::string name, std::string caption, const Rect& rect);
  TextBox* AddTextBox(std::string name, std::string text, const Rect& rect);
  Combo* AddCombo(std::string name, const Rect& rect);
  ProgressBar* AddProgressBar(std::string name, const Rect& rect);
  ListView* AddListView(std::string name, const Rect& rect);
  Plot* AddPlot(std::string name, const Rect& rect);

  // The control of that name, nullptr when there is none or it is of
  // another kind.
  template <class T>
  T* Find(std::string_view name) const {
    for (const auto& widget : widgets_)
      if (widget->Name() == name) return dynamic_cast<T*>(widget.get());
    return nullptr;
  }
  const std::vector<std::unique_ptr<Widget>>& Widgets() const { return widgets_; }

  void SetTitle(std::string title);
  const std::string& Title() const { return title_; }
  void SetSize(Size size);
  Size ClientSize() const { return size_; }
  // A form with a minimum size can be resized by the user, from that size
  // up; without one its size is fixed.
  void SetMinimumSize(std::optional<Size> size);
  const std::optional<Size>& MinimumSize() const { return minimum_size_; }
  // Runs after the user resized the form, with its new client size.
  void OnResize(std::function<void(Size)> handler) { on_resize_ = std::move(handler); }
  // The user resizes the form, to no less than its minimum size; a form of
  // fixed size keeps it.
  void UserResize(Size size);
  // Every control of the form takes this font; a name the system lacks
  // falls back through the toolkit's substitution. An empty name keeps the
  // toolkit's default.
  void SetFont(std::string name, double points);
  const std::string& FontName() const { return font_name_; }
  double FontPoints() const { return font_points_; }

  // The buttons Enter and Escape press.
  void SetDefaultButton(Button* button) { default_button_ = button; }
  void SetCancelButton(Button* button) { cancel_button_ = button; }
  // The user presses a key that no control takes: Enter clicks the default
  // button, Escape the cancel button.
  void UserKeyDown(int key, int shift);

  // Where failures of the presenter's handlers go (a handler that throws);
  // without one they are written to standard error.
  void OnError(std::function<void(std::string_view what)> handler) {
    on_error_ = std::move(handler);
  }
  void ReportError(std::string_view what);

  // Where the next ShowModal puts the window's top-left corner, in screen
  // pixels (kept on the screen), instead of centring it: a context menu at
  // the pointer. nullopt centres again.
  void PlaceAt(std::optional<Point> top_left) { place_at_ = top_left; }
  const std::optional<Point>& Placement() const { return place_at_; }

  // Shows the form modally over `owner` (0: centred on the screen) until
  // Close; returns the result Close was given.
  virtual int ShowModal(WindowHandle owner) = 0;
  virtual void Close(int result) = 0;
  virtual WindowHandle Handle() const = 0;

 protected:
  // Makes a control of the toolkit's own kind; Add* set it up.
  virtual std::unique_ptr<Widget> MakeWidget(WidgetKind kind, std::string name) = 0;
  // Called after the title, size or font change.
  virtual void SyncForm() {}
  // Destroys the controls now (a toolkit does this before its window).
  void DestroyWidgets() { widgets_.clear(); }

 private:
  template <class T>
  T* Add(WidgetKind kind, std::string name, const Rect& rect);

  std::string name_;
  std::string title_;
  Size size_{400, 300};
  std::optional<Size> minimum_size_;
  std::function<void(Size)> on_resize_;
  std::string font_name_;
  double font_points_ = 0;
  std::vector<std::unique_ptr<Widget>> widgets_;
  Button* default_button_ = nullptr;
  Button* cancel_button_ = nullptr;
  std::optional<Point> place_at_;
  std::function<void(std::string_view)> on_error_;
};

}  // namespace vex::ui
