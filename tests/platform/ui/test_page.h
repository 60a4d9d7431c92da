// A property page for the frame's tests: a check box and a text box; it
// marks itself changed when either is used, and records each apply in a
// shared list (so the order across pages shows).
#pragma once

#include <string>
#include <vector>

#include "vex/ui/property_frame.h"

namespace vex::ui::test {

class TestPage : public PropertyPage {
 public:
  TestPage(std::string caption, std::vector<std::string>* applied)
      : caption_(std::move(caption)), applied_(applied) {}

  std::string Caption() const override { return caption_; }
  void Build(Form& form) override {
    form.SetSize({360, 220});
    form.AddFrame("FrameOptions", "Options", {8, 8, 344, 120});
    check = form.AddCheckBox("CheckOption", "Enable the option", {20, 32, 300, 24});
    text = form.AddTextBox("TextName", "name", {20, 64, 200, 24});
    form.AddLabel("LabelHint", "Changes take effect when applied.", {8, 140, 344, 40});
    check->OnClick([this] { SetChanged(true); });
    text->OnChange([this] { SetChanged(true); });
    ++builds;
  }
  void Activate() override { ++activations; }
  com::HRESULT ApplyChanges() override {
    applied_->push_back(caption_);
    return fail_apply ? com::E_FAIL : com::S_OK;
  }

  CheckBox* check = nullptr;
  TextBox* text = nullptr;
  int builds = 0;
  int activations = 0;
  bool fail_apply = false;

 private:
  std::string caption_;
  std::vector<std::string>* applied_;
};

}  // namespace vex::ui::test
