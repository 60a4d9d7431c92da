// FrmSearchResults: after a search, the COM ports on which nothing answered,
// with a box per port under "Exclude from Future Searches". A ticked box
// excludes its port: Continue clears IncludedCOMPort for ticked ports and
// sets it for unticked ones.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "vex/ui/toolkit.h"

namespace vex::control {

class FrmSearchResults {
 public:
  explicit FrmSearchResults(ui::Toolkit& toolkit);

  // Per COM port 1..4; other ports are refused (false, nothing stored).
  bool InstrumentFoundOnCOMPort(std::int32_t port) const;
  bool SetInstrumentFoundOnCOMPort(std::int32_t port, bool found);
  bool IncludedCOMPort(std::int32_t port) const;
  bool SetIncludedCOMPort(std::int32_t port, bool included);

  // Fills the texts and the boxes of the ports that are included and had
  // no instrument; the control's font when the name is not empty.
  void Update(const std::string& font_name = {}, double font_size = 0);
  void Show(ui::WindowHandle owner);

  ui::Form& form() { return *form_; }

 private:
  static bool Valid(std::int32_t port) { return port >= 1 && port <= 4; }
  void Continue();

  ui::Toolkit& toolkit_;
  std::unique_ptr<ui::Form> form_;
  std::array<bool, 5> found_{true, true, true, true, true};
  std::array<bool, 5> included_{};
  std::array<ui::CheckBox*, 5> check_com_{};
  ui::Label* label_search_complete_ = nullptr;
  ui::Label* label_message_ = nullptr;
  ui::Frame* frame_exclude_ = nullptr;
  ui::Button* command_continue_ = nullptr;
};

}  // namespace vex::control
