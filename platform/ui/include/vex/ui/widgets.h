// The controls a form holds, as presenters see them: each keeps its own
// state (caption, visibility, items, selection...) and calls the handler a
// presenter set when the user acts on it.
//
// The state lives here, in plain C++, so the headless toolkit is these very
// classes and a test drives them with the User* calls; a real toolkit
// derives from them, mirrors every state change onto its widget (Sync) and
// turns its widget's signals into the same User* calls. A handler that
// fails by throwing is caught here and reported to the form's error
// handler: no exception reaches the toolkit's event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vex/ui/plot_range.h"
#include "vex/ui/types.h"

namespace vex::ui {

class Form;

class Widget {
 public:
  Widget(Form* form, std::string name) : form_(form), name_(std::move(name)) {}
  virtual ~Widget() = default;
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  const std::string& Name() const { return name_; }
  Form* OwnerForm() const { return form_; }

  // The caption of a label, button, check box or frame; the text of a text
  // box. Other controls keep it without showing it.
  void SetCaption(std::string caption);
  const std::string& Caption() const { return caption_; }
  void SetVisible(bool visible);
  bool Visible() const { return visible_; }
  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  void SetGeometry(const Rect& rect);
  const Rect& Geometry() const { return geometry_; }

  // Whether the user can act on the control now.
  bool Usable() const { return visible_ && enabled_; }

  // Whether the user's input reaches the control while the UI thread waits
  // for an instrument (Toolkit::ProcessPendingEvents): a Cancel button.
  // Other controls get their input once the wait is over.
  void SetUsableWhileWaiting(bool usable);
  bool UsableWhileWaiting() const { return usable_while_waiting_; }

 protected:
  // Called after every change of state; a toolkit mirrors the state here.
  virtual void Sync() {}
  // Calls a presenter's handler, reporting a throw to the form.
  void Fire(const std::function<void()>& handler);

 private:
  Form* form_;
  std::string name_;
  std::string caption_;
  bool visible_ = true;
  bool enabled_ = true;
  bool usable_while_waiting_ = false;
  Rect geometry_;
};

class Label : public Widget {
 public:
  using Widget::Widget;
};

// A group box drawn around other controls; controls are placed on the form,
// so a frame only draws its border and caption.
class Frame : public Widget {
 public:
  using Widget::Widget;
};

// A small picture: an icon by name ("information", "exclamation",
// "critical", "question", or a name the toolkit knows).
class Picture : public Widget {
 public:
  using Widget::Widget;
  void SetIcon(std::string icon);
  const std::string& Icon() const { return icon_; }

 private:
  std::string icon_;
};

class Button : public Widget {
 public:
  using Widget::Widget;
  void OnClick(std::function<void()> handler) { on_click_ = std::move(handler); }
  // The user clicks: nothing happens on a hidden or disabled button.
  void UserClick();

 private:
  std::function<void()> on_click_;
};

class CheckBox : public Widget {
 public:
  using Widget::Widget;
  void SetChecked(bool checked);
  bool Checked() const { return checked_; }
  void OnClick(std::function<void()> handler) { on_click_ = std::move(handler); }
  // The user clicks: the box toggles, then the handler runs.
  void UserClick();

 private:
  bool checked_ = false;
  std::function<void()> on_click_;
};

// A one-line text field; the text is the caption.
class TextBox : public Widget {
 public:
  using Widget::Widget;
  void SetReadOnly(bool read_only);
  bool ReadOnly() const { return read_only_; }
  void OnChange(std::function<void()> handler) { on_change_ = std::move(handler); }
  // Key codes and modifier bits of types.h.
  void OnKeyDown(std::function<void(int key, int shift)> handler) {
    on_key_down_ = std::move(handler);
  }
  // The user replaces the text (ignored when read-only).
  void UserType(std::string text);
  // The user presses a key while the field has the focus.
  void UserKeyDown(int key, int shift);

 private:
  bool read_only_ = false;
  std::function<void()> on_change_;
  std::function<void(int, int)> on_key_down_;
};

struct ComboItem {
  std::string text;
  std::int32_t data = 0;
  bool operator==(const ComboItem&) const = default;
};

// A drop-down list of items, each with a number of its own (item data).
class Combo : public Widget {
 public:
  using Widget::Widget;
  void AddItem(std::string text, std::int32_t data = 0);
  void Clear();
  const std::vector<ComboItem>& Items() const { return items_; }
  // -1 for none; an index out of range selects none.
  void SetSelectedIndex(int index);
  int SelectedIndex() const { return selected_; }
  // Selects the first item with this text; false (and none selected) when
  // there is none.
  bool SelectText(std::string_view text);
  // The selected item's text, empty when none.
  std::string Text() const;
  void OnSelect(std::function<void()> handler) { on_select_ = std::move(handler); }
  // The user picks an item.
  void UserSelect(int index);

 private:
  std::vector<ComboItem> items_;
  int selected_ = -1;
  std::function<void()> on_select_;
};

class ProgressBar : public Widget {
 public:
  using Widget::Widget;
  void SetRange(int minimum, int maximum);
  void SetValue(int value);  // kept within the range
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  int Value() const { return value_; }

 private:
  int minimum_ = 0;
  int maximum_ = 100;
  int value_ = 0;
};

enum class Align { kLeft, kCenter, kRight };

struct ListColumn {
  std::string caption;
  int width = 100;  // pixels
  Align align = Align::kLeft;
  bool operator==(const ListColumn&) const = default;
};

struct ListRow {
  std::string text;                    // first column
  std::vector<std::string> sub_items;  // further columns
  std::string icon;                    // small icon by name; empty for none
  bool checked = false;                // with check boxes on
  std::int32_t data = 0;               // the presenter's own number
  bool operator==(const ListRow&) const = default;
};

// A list of rows: report style (columns with a header) when columns are
// set, a plain list otherwise. Single or multiple selection; optional tick
// boxes.
class ListView : public Widget {
 public:
  using Widget::Widget;
  void SetColumns(std::vector<ListColumn> columns);
  const std::vector<ListColumn>& Columns() const { return columns_; }
  void SetMultiSelect(bool multi);
  bool MultiSelect() const { return multi_select_; }
  void SetCheckBoxes(bool check_boxes);
  bool CheckBoxes() const { return check_boxes_; }

  int AddRow(ListRow row);  // returns the new row's index
  void RemoveRow(int index);
  void Clear();
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Rows by index; an index out of range gives an empty row.
  const ListRow& Row(int index) const;
  void SetRowText(int index, std::string text);
  void SetSubItem(int index, int column, std::string text);  // column 1 is the second
  void SetRowIcon(int index, std::string icon);
  void SetRowChecked(int index, bool checked);

  // Selection: Select clears any other selected row unless multiple
  // selection is on.
  void Select(int index, bool selected = true);
  void ClearSelection();
  bool IsSelected(int index) const;
  std::vector<int> SelectedRows() const;
  int SelectedRow() const;  // the first selected, -1 for none
  void EnsureVisible(int index);
  int VisibleRow() const { return visible_row_; }

  void OnSelectionChange(std::function<void()> handler) { on_selection_ = std::move(handler); }
  void OnRowCheck(std::function<void(int index)> handler) { on_check_ = std::move(handler); }
  // The user clicks a row (selecting only it), or ticks its box.
  void UserClickRow(int index);
  // The user's selection becomes exactly these rows.
  void UserSelectRows(const std::vector<int>& rows);
  void UserToggleCheck(int index);
  // The user asks for the list's context menu (a right click), or presses
  // a key while the list has the focus (Ctrl+C as 'C' with shift::kCtrl).
  void OnContextMenu(std::function<void()> handler) { on_context_menu_ = std::move(handler); }
  void OnKeyDown(std::function<void(int key, int shift)> handler) {
    on_key_down_ = std::move(handler);
  }
  // `at`: the pointer on the screen; nullopt when the menu key asked.
  void UserContextMenu(std::optional<Point> at = std::nullopt);
  void UserKeyDown(int key, int shift);
  // Where the pointer was when the context menu was last asked for.
  const std::optional<Point>& ContextMenuPoint() const { return context_point_; }

 private:
  bool InRange(int index) const { return index >= 0 && index < RowCount(); }

  std::optional<Point> context_point_;

  std::vector<ListColumn> columns_;
  std::vector<ListRow> rows_;
  std::vector<bool> selected_;
  bool multi_select_ = false;
  bool check_boxes_ = false;
  int visible_row_ = -1;
  std::function<void()> on_selection_;
  std::function<void(int)> on_check_;
  std::function<void()> on_context_menu_;
  std::function<void(int, int)> on_key_down_;
};

// A plot of series against x and y axes, with axis labels and a visible
// range. The user zooms with the wheel about the pointer and goes back to
// the whole data with a double click; the view reports both as User* calls
// in data units (plot_range.h holds the arithmetic).
class Plot : public Widget {
 public:
  using Widget::Widget;
  // New data: the full range fits it, and the view shows all of it.
  void SetSeries(std::vector<PlotSeries> series);
  const std::vector<PlotSeries>& Series() const { return series_; }
  void SetAxisLabels(std::string x_label, std::string y_label);
  const std::string& XLabel() const { return x_label_; }
  const std::string& YLabel() const { return y_label_; }
  const PlotRange& FullRange() const { return full_; }
  void SetView(const PlotRange& view);
  const PlotRange& View() const { return view_; }
  void OnViewChange(std::function<void()> handler) { on_view_change_ = std::move(handler); }
  // The user turns the wheel `steps` notches (positive: zoom in) with the
  // pointer at (x, y), or double-clicks the plot (the whole data again).
  void UserWheel(int steps, double x, double y);
  void UserDoubleClick();

 private:
  std::vector<PlotSeries> series_;
  std::string x_label_;
  std::string y_label_;
  PlotRange full_;
  PlotRange view_;
  std::function<void()> on_view_change_;
};

// A timer on the UI thread's event loop: repeating (an idle-processing
// timer) or one-shot (stops itself before its handler runs).
class Timer {
 public:
  virtual ~Timer() = default;
  void Start(std::uint32_t interval_ms, bool one_shot = false);
  void Stop();
  bool Active() const { return active_; }
  bool OneShot() const { return one_shot_; }
  std::uint32_t Interval() const { return interval_ms_; }
  void OnTimer(std::function<void()> handler) { on_timer_ = std::move(handler); }
  // The interval has passed: what the event loop (or a test) calls.
  void Elapse();
  void OnError(std::function<void(std::string_view)> handler) { on_error_ = std::move(handler); }

 protected:
  virtual void Sync() {}

 private:
  bool active_ = false;
  bool one_shot_ = false;
  std::uint32_t interval_ms_ = 0;
  std::function<void()> on_timer_;
  std::function<void(std::string_view)> on_error_;
};

}  // namespace vex::ui
