#include "vex/ui/property_frame.h"

namespace vex::ui {

void PropertyPage::SetChanged(bool changed) {
  changed_ = changed;
  if (on_changed_) on_changed_();
}

PropertyFrame::PropertyFrame(PageHost* host, std::vector<PropertyPage*> pages, int start_index)
    : host_(host), pages_(std::move(pages)), built_(pages_.size(), false) {
  start_ = start_index >= 0 && start_index < PageCount() ? start_index : 0;
  for (PropertyPage* page : pages_)
    page->on_changed_ = [this] { host_->SetApplyEnabled(ApplyEnabled()); };
}

PropertyFrame::~PropertyFrame() {
  for (PropertyPage* page : pages_) {
    page->on_changed_ = nullptr;
    page->form_ = nullptr;
  }
}

void PropertyFrame::Start() {
  host_->SetApplyEnabled(ApplyEnabled());
  if (!pages_.empty()) SelectPage(start_);
}

bool PropertyFrame::ApplyEnabled() const {
  for (const PropertyPage* page : pages_)
    if (page->Changed()) return true;
  return false;
}

void PropertyFrame::SelectPage(int index) {
  if (index < 0 || index >= PageCount() || finished_) return;
  PropertyPage* page = pages_[index];
  if (!built_[index]) {
    Form& form = host_->PageFormAt(index);
    page->form_ = &form;
    built_[index] = true;
    page->Build(form);
  }
  current_ = index;
  host_->ShowPage(index);
  page->Activate();
}

com::HRESULT PropertyFrame::Apply() {
  for (PropertyPage* page : pages_)
    if (page->form_) page->BeforeApplyPass();
  for (int i = 0; i < PageCount(); ++i) {
    PropertyPage* page = pages_[i];
    if (!page->Changed()) continue;
    const com::HRESULT hr = page->ApplyChanges();
    if (com::FAILED(hr)) {
      SelectPage(i);
      host_->SetApplyEnabled(ApplyEnabled());
      return hr;
    }
    page->changed_ = false;
  }
  host_->SetApplyEnabled(ApplyEnabled());
  return com::S_OK;
}

com::HRESULT PropertyFrame::Ok() {
  const com::HRESULT hr = Apply();
  if (com::SUCCEEDED(hr)) Finish(answer::kOk);
  return hr;
}

void PropertyFrame::Cancel() {
  Finish(answer::kCancel);
}

void PropertyFrame::Finish(int result) {
  if (finished_) return;
  finished_ = true;
  for (int i = 0; i < PageCount(); ++i)
    if (built_[i]) pages_[i]->Deactivate();
  host_->CloseFrame(result);
}

}  // namespace vex::ui
