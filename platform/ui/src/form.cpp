#include "vex/ui/form.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace vex::ui {

template <class T>
T* Form::Add(WidgetKind kind, std::string name, const Rect& rect) {
  widgets_.push_back(MakeWidget(kind, std::move(name)));
  T* widget = static_cast<T*>(widgets_.back().get());
  widget->SetGeometry(rect);
  return widget;
}

Label* Form::AddLabel(std::string name, std::string caption, const Rect& rect) {
  auto* label = Add<Label>(WidgetKind::kLabel, std::move(name), rect);
  label->SetCaption(std::move(caption));
  return label;
}

Frame* Form::AddFrame(std::string name, std::string caption, const Rect& rect) {
  auto* frame = Add<Frame>(WidgetKind::kFrame, std::move(name), rect);
  frame->SetCaption(std::move(caption));
  return frame;
}

Picture* Form::AddPicture(std::string name, std::string icon, const Rect& rect) {
  auto* picture = Add<Picture>(WidgetKind::kPicture, std::move(name), rect);
  picture->SetIcon(std::move(icon));
  return picture;
}

Button* Form::AddButton(std::string name, std::string caption, const Rect& rect) {
  auto* button = Add<Button>(WidgetKind::kButton, std::move(name), rect);
  button->SetCaption(std::move(caption));
  return button;
}

CheckBox* Form::AddCheckBox(std::string name, std::string caption, const Rect& rect) {
  auto* box = Add<CheckBox>(WidgetKind::kCheckBox, std::move(name), rect);
  box->SetCaption(std::move(caption));
  return box;
}

TextBox* Form::AddTextBox(std::string name, std::string text, const Rect& rect) {
  auto* box = Add<TextBox>(WidgetKind::kTextBox, std::move(name), rect);
  box->SetCaption(std::move(text));
  return box;
}

Combo* Form::AddCombo(std::string name, const Rect& rect) {
  return Add<Combo>(WidgetKind::kCombo, std::move(name), rect);
}

ProgressBar* Form::AddProgressBar(std::string name, const Rect& rect) {
  return Add<ProgressBar>(WidgetKind::kProgressBar, std::move(name), rect);
}

ListView* Form::AddListView(std::string name, const Rect& rect) {
  return Add<ListView>(WidgetKind::kListView, std::move(name), rect);
}

Plot* Form::AddPlot(std::string name, const Rect& rect) {
  return Add<Plot>(WidgetKind::kPlot, std::move(name), rect);
}

void Form::SetTitle(std::string title) {
  title_ = std::move(title);
  SyncForm();
}

void Form::SetSize(Size size) {
  size_ = size;
  SyncForm();
}

void Form::SetMinimumSize(std::optional<Size> size) {
  minimum_size_ = size;
  if (size) size_ = {std::max(size_.width, size->width), std::max(size_.height, size->height)};
  SyncForm();
}

void Form::UserResize(Size size) {
  if (!minimum_size_) return;
  size = {std::max(size.width, minimum_size_->width), std::max(size.height, minimum_size_->height)};
  if (size.width == size_.width && size.height == size_.height) return;
  size_ = size;
  if (on_resize_) on_resize_(size_);
}

void Form::SetFont(std::string name, double points) {
  font_name_ = std::move(name);
  font_points_ = points;
  SyncForm();
}

void Form::UserKeyDown(int key, int /*shift*/) {
  if (key == key::kReturn && default_button_) default_button_->UserClick();
  if (key == key::kEscape && cancel_button_) cancel_button_->UserClick();
}

void Form::ReportError(std::string_view what) {
  if (on_error_) {
    on_error_(what);
    return;
  }
  std::fprintf(stderr, "%s: a handler failed: %.*s\n", name_.c_str(), static_cast<int>(what.size()),
               what.data());
}

}  // namespace vex::ui
