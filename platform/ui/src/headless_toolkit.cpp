#include "vex/ui/headless_toolkit.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "vex/ui/placement.h"

namespace vex::ui {
namespace {

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

// A form whose controls are the plain state classes; shown modally, it runs
// the next queued script.
class HeadlessToolkit::HeadlessForm : public Form {
 public:
  HeadlessForm(HeadlessToolkit* toolkit, std::string name, WindowHandle parent)
      : Form(std::move(name)), toolkit_(toolkit), handle_(toolkit->AddWindow(Rect{}, parent)) {
    SyncForm();
  }
  ~HeadlessForm() override {
    DestroyWidgets();
    toolkit_->RemoveWindow(handle_);
  }

  int ShowModal(WindowHandle owner) override {
    const Size screen = toolkit_->Metrics().pixels;
    const Size size = ClientSize();
    const auto owner_rect = toolkit_->WindowRect(owner);
    const Point at = Placement()  ? KeepOnScreen(*Placement(), size, screen)
                     : owner_rect ? CenterOver(*owner_rect, size, screen)
                                  : CenterOnScreen(size, screen);
    toolkit_->MoveWindow(handle_, at);
    toolkit_->Record("form " + Name() + " \"" + Title() + "\" shown");
    result_.reset();
    if (!toolkit_->modal_scripts_.empty()) {
      auto script = std::move(toolkit_->modal_scripts_.front());
      toolkit_->modal_scripts_.pop_front();
      script(*this);
    }
    const int result = result_.value_or(answer::kCancel);
    toolkit_->Record("form " + Name() + " closed " + std::to_string(result));
    return result;
  }
  void Close(int result) override { result_ = result; }
  WindowHandle Handle() const override { return handle_; }

 protected:
  std::unique_ptr<Widget> MakeWidget(WidgetKind kind, std::string name) override {
    switch (kind) {
      case WidgetKind::kLabel:
        return std::make_unique<Label>(this, std::move(name));
      case WidgetKind::kFrame:
        return std::make_unique<Frame>(this, std::move(name));
      case WidgetKind::kPicture:
        return std::make_unique<Picture>(this, std::move(name));
      case WidgetKind::kButton:
        return std::make_unique<Button>(this, std::move(name));
      case WidgetKind::kCheckBox:
        return std::make_unique<CheckBox>(this, std::move(name));
      case WidgetKind::kTextBox:
        return std::make_unique<TextBox>(this, std::move(name));
      case WidgetKind::kCombo:
        return std::make_unique<Combo>(this, std::move(name));
      case WidgetKind::kProgressBar:
        return std::make_unique<ProgressBar>(this, std::move(name));
      case WidgetKind::kPlot:
        return std::make_unique<Plot>(this, std::move(name));
      case WidgetKind::kListView:
        break;
    }
    return std::make_unique<ListView>(this, std::move(name));
  }
  void SyncForm() override {
    auto it = toolkit_->windows_.find(handle_);
    if (it == toolkit_->windows_.end()) return;
    it->second.rect.width = ClientSize().width;
    it->second.rect.height = ClientSize().height;
  }

 private:
  HeadlessToolkit* toolkit_;
  WindowHandle handle_;
  std::optional<int> result_;
};

class HeadlessToolkit::HeadlessTimer : public Timer {
 public:
  explicit HeadlessTimer(HeadlessToolkit* toolkit) : toolkit_(toolkit) {
    toolkit_->timers_.push_back(this);
  }
  ~HeadlessTimer() override { std::erase(toolkit_->timers_, this); }
  std::uint32_t waited = 0;

 protected:
  void Sync() override { waited = 0; }

 private:
  HeadlessToolkit* toolkit_;
};

// The property frame's window: a frame handle, a page-area handle inside
// it, and one form per page inside that.
class HeadlessToolkit::FrameHost : public PageHost {
 public:
  FrameHost(HeadlessToolkit* toolkit, WindowHandle owner, std::size_t pages)
      : toolkit_(toolkit), forms_(pages) {
    const Size screen = toolkit->Metrics().pixels;
    const Size size{420, 380};
    const auto owner_rect = toolkit->WindowRect(owner);
    const Point at =
        owner_rect ? CenterOver(*owner_rect, size, screen) : CenterOnScreen(size, screen);
    frame_ = toolkit->AddWindow(Rect{at.x, at.y, size.width, size.height});
    page_area_ =
        toolkit->AddWindow(Rect{at.x + 8, at.y + 30, size.width - 16, size.height - 80}, frame_);
  }
  ~FrameHost() override {
    forms_.clear();
    toolkit_->RemoveWindow(page_area_);
    toolkit_->RemoveWindow(frame_);
  }

  Form& PageFormAt(int index) override {
    auto& form = forms_.at(index);
    if (!form)
      form = std::make_unique<HeadlessForm>(toolkit_, "page" + std::to_string(index), page_area_);
    return *form;
  }
  void ShowPage(int index) override {
    toolkit_->Record("frame page " + std::to_string(index) + " shown");
  }
  void SetApplyEnabled(bool enabled) override { apply_enabled = enabled; }
  void CloseFrame(int result) override { this->result = result; }

  bool apply_enabled = false;
  std::optional<int> result;

 private:
  HeadlessToolkit* toolkit_;
  WindowHandle frame_ = 0;
  WindowHandle page_area_ = 0;
  std::vector<std::unique_ptr<HeadlessForm>> forms_;
};

HeadlessToolkit::HeadlessToolkit() = default;
HeadlessToolkit::~HeadlessToolkit() = default;

std::unique_ptr<Form> HeadlessToolkit::CreateForm(std::string name) {
  return std::make_unique<HeadlessForm>(this, std::move(name), 0);
}

std::unique_ptr<Timer> HeadlessToolkit::CreateTimer() {
  return std::make_unique<HeadlessTimer>(this);
}

int HeadlessToolkit::ShowMessageBox(WindowHandle owner, const MessageBoxRequest& request) {
  ShownMessageBox shown{owner, request, {}, 0};
  const Size screen = Metrics().pixels;
  const auto owner_rect = WindowRect(owner);
  shown.position =
      owner_rect ? CenterOver(*owner_rect, box_size_, screen) : CenterOnScreen(box_size_, screen);
  if (!answers_.empty()) {
    shown.answer = answers_.front();
    answers_.pop_front();
  } else {
    shown.answer = FirstButtonOf(request.flags);
  }
  Record("message box \"" + request.title + "\" " + Hex(request.flags) + ": " + request.text);
  message_boxes_.push_back(shown);
  return shown.answer;
}

com::HRESULT HeadlessToolkit::ShowFileDialog(WindowHandle owner, const FileDialogRequest& request,
                                             std::optional<std::string>* path, int* filter_index) {
  if (!path) return com::E_POINTER;
  path->reset();
  file_dialogs_.push_back({owner, request});
  Record(std::string(request.kind == FileDialogKind::kOpen ? "open" : "save") + " dialog \"" +
         request.title + "\" in " + request.initial_folder);
  if (file_choices_.empty()) return com::S_OK;
  auto choice = std::move(file_choices_.front());
  file_choices_.pop_front();
  const int queued_filter = chosen_filters_.front();
  chosen_filters_.pop_front();
  if (auto* status = std::get_if<com::HRESULT>(&choice)) return *status;
  *path = std::get<std::optional<std::string>>(std::move(choice));
  const auto filters = ParseFileFilter(request.filter);
  const int chosen = queued_filter > 0 ? queued_filter : request.filter_index;
  if (filter_index) *filter_index = chosen;
  // A typed name without an extension takes the chosen filter's, else the
  // default one, as the real dialogs do.
  std::string extension = request.default_extension;
  if (chosen >= 1 && chosen <= static_cast<int>(filters.size())) {
    const std::string from_filter = FilterExtension(filters[static_cast<std::size_t>(chosen - 1)]);
    if (!from_filter.empty()) extension = from_filter;
  }
  if (*path && !extension.empty() && std::filesystem::path(**path).extension().empty())
    **path += "." + extension;
  return com::S_OK;
}

void HeadlessToolkit::SetBusyCursor(bool busy) {
  busy_depth_ = std::max(0, busy_depth_ + (busy ? 1 : -1));
  Record(busy ? "busy on" : "busy off");
}

void HeadlessToolkit::SetClipboardText(const std::string& text) {
  clipboard_ = text;
  Record("clipboard " + text);
}

WindowHandle HeadlessToolkit::AddWindow(const Rect& rect, WindowHandle parent) {
  const WindowHandle handle = next_handle_++;
  windows_[handle] = Window{parent, rect};
  return handle;
}

void HeadlessToolkit::RemoveWindow(WindowHandle window) {
  windows_.erase(window);
}

WindowHandle HeadlessToolkit::ParentWindow(WindowHandle window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? 0 : it->second.parent;
}

std::optional<Rect> HeadlessToolkit::WindowRect(WindowHandle window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return std::nullopt;
  return it->second.rect;
}

bool HeadlessToolkit::MoveWindow(WindowHandle window, Point top_left) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return false;
  it->second.rect.left = top_left.x;
  it->second.rect.top = top_left.y;
  return true;
}

int HeadlessToolkit::ShowPropertyFrame(WindowHandle owner, const std::string& caption,
                                       const std::vector<PropertyPage*>& pages, int start_index) {
  FrameHost host(this, owner, pages.size());
  PropertyFrame frame(&host, pages, start_index);
  Record("frame \"" + caption + "\" shown");
  frame.Start();
  if (!frame_scripts_.empty()) {
    auto script = std::move(frame_scripts_.front());
    frame_scripts_.pop_front();
    script(frame);
  }
  if (!host.result) frame.Cancel();
  const int result = host.result.value_or(answer::kCancel);
  Record("frame \"" + caption + "\" closed " + std::to_string(result));
  return result;
}

void HeadlessToolkit::AdvanceTime(std::uint32_t milliseconds) {
  // A snapshot: a handler may create or destroy timers.
  const auto timers = timers_;
  for (HeadlessTimer* timer : timers) {
    if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end() || !timer->Active())
      continue;
    if (timer->Interval() == 0) {
      timer->Elapse();
      continue;
    }
    std::uint64_t waited = std::uint64_t{timer->waited} + milliseconds;
    while (waited >= timer->Interval() && timer->Active()) {
      waited -= timer->Interval();
      timer->Elapse();
      // The handler may have destroyed the timer.
      if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) break;
    }
    if (std::find(timers_.begin(), timers_.end(), timer) != timers_.end())
      timer->waited = static_cast<std::uint32_t>(waited);
  }
}

void HeadlessToolkit::FireTimers() {
  const auto timers = timers_;
  for (HeadlessTimer* timer : timers)
    if (std::find(timers_.begin(), timers_.end(), timer) != timers_.end()) timer->Elapse();
}

}  // namespace vex::ui
