#include "vex/ui/widgets.h"

#include <algorithm>
#include <exception>

#include "vex/ui/form.h"

namespace vex::ui {
namespace {

// Runs a handler, turning a throw into a report.
void Guarded(const std::function<void()>& handler,
             const std::function<void(std::string_view)>& report) {
  if (!handler) return;
  try {
    handler();
  } catch (const std::exception& e) {
    report(e.what());
  } catch (...) {
    report("unknown exception");
  }
}

}  // namespace

void Widget::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Sync();
}

void Widget::SetVisible(bool visible) {
  visible_ = visible;
  Sync();
}

void Widget::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Sync();
}

void Widget::SetUsableWhileWaiting(bool usable) {
  usable_while_waiting_ = usable;
  Sync();
}

void Widget::SetGeometry(const Rect& rect) {
  geometry_ = rect;
  Sync();
}

void Widget::Fire(const std::function<void()>& handler) {
  Guarded(handler, [this](std::string_view what) {
    if (form_) form_->ReportError(what);
  });
}

void Picture::SetIcon(std::string icon) {
  icon_ = std::move(icon);
  Sync();
}

void Button::UserClick() {
  if (Usable()) Fire(on_click_);
}

void CheckBox::SetChecked(bool checked) {
  checked_ = checked;
  Sync();
}

void CheckBox::UserClick() {
  if (!Usable()) return;
  SetChecked(!checked_);
  Fire(on_click_);
}

void TextBox::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  Sync();
}

void TextBox::UserType(std::string text) {
  if (!Usable() || read_only_) return;
  SetCaption(std::move(text));
  Fire(on_change_);
}

void TextBox::UserKeyDown(int key, int shift) {
  if (!Usable() || !on_key_down_) return;
  Fire([&] { on_key_down_(key, shift); });
}

void Combo::AddItem(std::string text, std::int32_t data) {
  items_.push_back({std::move(text), data});
  Sync();
}

void Combo::Clear() {
  items_.clear();
  selected_ = -1;
  Sync();
}

void Combo::SetSelectedIndex(int index) {
  selected_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
  Sync();
}

bool Combo::SelectText(std::string_view text) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].text == text) {
      SetSelectedIndex(static_cast<int>(i));
      return true;
    }
  }
  SetSelectedIndex(-1);
  return false;
}

std::string Combo::Text() const {
  return selected_ < 0 ? std::string() : items_[selected_].text;
}

void Combo::UserSelect(int index) {
  if (!Usable() || index < 0 || index >= static_cast<int>(items_.size())) return;
  SetSelectedIndex(index);
  Fire(on_select_);
}

void ProgressBar::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  value_ = std::clamp(value_, minimum_, maximum_);
  Sync();
}

void ProgressBar::SetValue(int value) {
  value_ = std::clamp(value, minimum_, maximum_);
  Sync();
}

void ListView::SetColumns(std::vector<ListColumn> columns) {
  columns_ = std::move(columns);
  Sync();
}

void ListView::SetMultiSelect(bool multi) {
  multi_select_ = multi;
  if (!multi) {
    const int first = SelectedRow();
    std::fill(selected_.begin(), selected_.end(), false);
    if (first >= 0) selected_[first] = true;
  }
  Sync();
}

void ListView::SetCheckBoxes(bool check_boxes) {
  check_boxes_ = check_boxes;
  Sync();
}

int ListView::AddRow(ListRow row) {
  rows_.push_back(std::move(row));
  selected_.push_back(false);
  Sync();
  return RowCount() - 1;
}

void ListView::RemoveRow(int index) {
  if (!InRange(index)) return;
  rows_.erase(rows_.begin() + index);
  selected_.erase(selected_.begin() + index);
  if (visible_row_ >= RowCount()) visible_row_ = RowCount() - 1;
  Sync();
}

void ListView::Clear() {
  rows_.clear();
  selected_.clear();
  visible_row_ = -1;
  Sync();
}

const ListRow& ListView::Row(int index) const {
  static const ListRow kEmpty;
  return InRange(index) ? rows_[index] : kEmpty;
}

void ListView::SetRowText(int index, std::string text) {
  if (!InRange(index)) return;
  rows_[index].text = std::move(text);
  Sync();
}

void ListView::SetSubItem(int index, int column, std::string text) {
  if (!InRange(index) || column < 1) return;
  auto& subs = rows_[index].sub_items;
  if (subs.size() < static_cast<std::size_t>(column)) subs.resize(column);
  subs[column - 1] = std::move(text);
  Sync();
}

void ListView::SetRowIcon(int index, std::string icon) {
  if (!InRange(index)) return;
  rows_[index].icon = std::move(icon);
  Sync();
}

void ListView::SetRowChecked(int index, bool checked) {
  if (!InRange(index)) return;
  rows_[index].checked = checked;
  Sync();
}

void ListView::Select(int index, bool selected) {
  if (!InRange(index)) return;
  if (selected && !multi_select_) std::fill(selected_.begin(), selected_.end(), false);
  selected_[index] = selected;
  Sync();
}

void ListView::ClearSelection() {
  std::fill(selected_.begin(), selected_.end(), false);
  Sync();
}

bool ListView::IsSelected(int index) const {
  return InRange(index) && selected_[index];
}

std::vector<int> ListView::SelectedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < RowCount(); ++i)
    if (selected_[i]) rows.push_back(i);
  return rows;
}

int ListView::SelectedRow() const {
  for (int i = 0; i < RowCount(); ++i)
    if (selected_[i]) return i;
  return -1;
}

void ListView::EnsureVisible(int index) {
  if (!InRange(index)) return;
  visible_row_ = index;
  Sync();
}

void ListView::UserClickRow(int index) {
  if (InRange(index)) UserSelectRows({index});
}

void ListView::UserSelectRows(const std::vector<int>& rows) {
  if (!Usable()) return;
  std::fill(selected_.begin(), selected_.end(), false);
  for (int row : rows) {
    if (!InRange(row)) continue;
    selected_[row] = true;
    if (!multi_select_) break;
  }
  Sync();
  Fire(on_selection_);
}

void ListView::UserContextMenu(std::optional<Point> at) {
  context_point_ = at;
  if (Usable() && on_context_menu_) Fire([&] { on_context_menu_(); });
}

void ListView::UserKeyDown(int key, int shift) {
  if (Usable() && on_key_down_) Fire([&] { on_key_down_(key, shift); });
}

void ListView::UserToggleCheck(int index) {
  if (!Usable() || !check_boxes_ || !InRange(index)) return;
  rows_[index].checked = !rows_[index].checked;
  Sync();
  if (on_check_) Fire([&] { on_check_(index); });
}

void Plot::SetSeries(std::vector<PlotSeries> series) {
  series_ = std::move(series);
  full_ = FitRange(series_);
  view_ = full_;
  Sync();
}

void Plot::SetAxisLabels(std::string x_label, std::string y_label) {
  x_label_ = std::move(x_label);
  y_label_ = std::move(y_label);
  Sync();
}

void Plot::SetView(const PlotRange& view) {
  view_ = view;
  Sync();
}

void Plot::UserWheel(int steps, double x, double y) {
  if (!Usable() || steps == 0) return;
  const PlotRange zoomed = ZoomRange(view_, full_, x, y, steps);
  if (zoomed == view_) return;
  SetView(zoomed);
  Fire(on_view_change_);
}

void Plot::UserDoubleClick() {
  if (!Usable() || view_ == full_) return;
  SetView(full_);
  Fire(on_view_change_);
}

void Timer::Start(std::uint32_t interval_ms, bool one_shot) {
  interval_ms_ = interval_ms;
  one_shot_ = one_shot;
  active_ = true;
  Sync();
}

void Timer::Stop() {
  active_ = false;
  Sync();
}

void Timer::Elapse() {
  if (!active_) return;
  if (one_shot_) Stop();
  Guarded(on_timer_, [this](std::string_view what) {
    if (on_error_) on_error_(what);
  });
}

}  // namespace vex::ui
