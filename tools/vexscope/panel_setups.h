// The setups section of the desktop panel: the scope control's setups in a
// list (name, comments; the setup now in the instrument marked with the
// "CurrentScopeSetup" icon) with Get, Send, Open and Save As, which ask,
// warn and fail with the same texts as the control's Setups page. The
// collection is the control's own, reached through its Setups property;
// setups are added and edited on the Setups page (Properties...).
#pragma once

#include <functional>
#include <string>

#include "panel_texts.h"
#include "vex/com/com_ptr.h"
#include "vex/control/setups.h"
#include "vex/ui/toolkit.h"

namespace vex::scope {

class PanelSetups {
 public:
  // Runs an action: `title` for its error box, `body` the work, which
  // throws PanelFailure (the panel's busy flag and error box around it).
  using Runner = std::function<void(const std::string& title, const std::function<void()>& body)>;

  // Places the list and its four buttons on `form` inside `area`.
  PanelSetups(ui::Toolkit& toolkit, ui::Form& form, com::IDispatch* control,
              const PanelTexts& texts, const ui::Rect& area, Runner run);

  // Fills the list from the control's setups again (after the property
  // pages, which may have changed them). Throws PanelFailure.
  void Reload();

  void Get();
  void Send();
  void Open();
  void SaveAs();

  ui::ListView* List() const { return list_; }
  // The buttons, in the order Get, Send, Open, Save As.
  std::vector<ui::Button*> Buttons() const { return {get_, send_, open_, save_as_}; }

 private:
  // The selected setup and its name; null when no row is selected.
  com::ComPtr<control::ISetupVexR7100Scope> Selected(std::string* name);
  int RowOf(const std::string& name) const;
  void MarkCurrent(const std::string& name);
  std::string FileFilter() const;
  // The control's serial handshake warning before the instrument is
  // reached, as on the Setups page; false when the user cancelled.
  bool ConfirmIOConfiguration();
  void RememberFolder(const std::string& path);
  int Ask(const std::string& text, std::uint32_t flags, const std::string& title);

  ui::Toolkit& toolkit_;
  ui::Form& form_;
  com::IDispatch* control_;
  const PanelTexts& texts_;
  Runner run_;
  com::ComPtr<control::ISetupsVexR7100Scope> setups_;
  ui::ListView* list_ = nullptr;
  ui::Button* get_ = nullptr;
  ui::Button* send_ = nullptr;
  ui::Button* open_ = nullptr;
  ui::Button* save_as_ = nullptr;
};

}  // namespace vex::scope
