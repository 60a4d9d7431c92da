// FrmSetupMenu: the context menu of the Setups page's list, shown at the
// pointer: "Edit Setup" raises Edit (1), "Copy Name" raises Copy (2).
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "vex/ui/toolkit.h"

namespace vex::control {

class FrmSetupMenu {
 public:
  static constexpr int kEdit = 1;
  static constexpr int kCopy = 2;

  explicit FrmSetupMenu(ui::Toolkit& toolkit);

  // Shows the menu with its corner at `at` (the pointer; centred over the
  // owner when the keyboard asked); returns the event raised (kEdit,
  // kCopy) or 0.
  int Show(ui::WindowHandle owner, std::optional<ui::Point> at, bool row_selected,
           const std::string& font_name, double font_size);

  ui::Form& form() { return *form_; }

 private:
  std::unique_ptr<ui::Form> form_;
  ui::Button* edit_ = nullptr;
  ui::Button* copy_ = nullptr;
  int event_ = 0;
};

}  // namespace vex::control
