// Property pages and the modal frame that shows them (OK, Cancel, Apply).
//
// A page is a presenter: it builds its controls into the form the frame
// gives it, marks itself changed as the user edits, and applies its changes
// when asked. PropertyFrame is the frame's logic, free of any toolkit: the
// toolkit's frame window (a PageHost) shows what it says and forwards the
// user's tab and button presses.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "vex/com/hresult.h"
#include "vex/ui/form.h"

namespace vex::ui {

class PropertyPage {
 public:
  virtual ~PropertyPage() = default;

  virtual std::string Caption() const = 0;
  // Creates the page's controls, once, before the page is first shown.
  virtual void Build(Form& form) = 0;
  // The page is being shown (each time it becomes the current page).
  virtual void Activate() {}
  // Called on every page before an apply pass applies any of them, so a
  // page can judge what it sees against the state before the pass.
  virtual void BeforeApplyPass() {}
  // Applies the page's changes; the frame clears the changed mark on success.
  [[nodiscard]] virtual com::HRESULT ApplyChanges() = 0;
  // The frame is closing.
  virtual void Deactivate() {}

  // The page's changed mark; setting it tells the frame (Apply follows it).
  void SetChanged(bool changed);
  bool Changed() const { return changed_; }
  // The form the frame gave the page; nullptr before it was built.
  Form* PageForm() const { return form_; }

 private:
  friend class PropertyFrame;
  bool changed_ = false;
  Form* form_ = nullptr;
  std::function<void()> on_changed_;
};

// What the toolkit's frame window does for the frame's logic.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // The form to build page `index` into (created on the first call).
  virtual Form& PageFormAt(int index) = 0;
  virtual void ShowPage(int index) = 0;
  virtual void SetApplyEnabled(bool enabled) = 0;
  virtual void CloseFrame(int result) = 0;
};

class PropertyFrame {
 public:
  // `start_index` -1 (or out of range) starts at the first page.
  PropertyFrame(PageHost* host, std::vector<PropertyPage*> pages, int start_index);
  ~PropertyFrame();
  PropertyFrame(const PropertyFrame&) = delete;
  PropertyFrame& operator=(const PropertyFrame&) = delete;

  // Shows the start page.
  void Start();
  int Current() const { return current_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  // The page at `index`; nullptr out of range.
  PropertyPage* Page(int index) const {
    return index >= 0 && index < PageCount() ? pages_[index] : nullptr;
  }
  bool ApplyEnabled() const;

  // The user's presses.
  void SelectPage(int index);
  // Applies the changed pages in order; the first failure stops, selects
  // that page and is returned.
  com::HRESULT Apply();
  // Apply, then close with OK when every page applied.
  com::HRESULT Ok();
  void Cancel();

 private:
  void Finish(int result);

  PageHost* host_;
  std::vector<PropertyPage*> pages_;
  std::vector<bool> built_;
  int current_ = -1;
  int start_;
  bool finished_ = false;
};

}  // namespace vex::ui
