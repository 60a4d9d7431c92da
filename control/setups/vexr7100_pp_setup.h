// VexR7100PPSetup: the "Setups" property page. The user keeps a list of
// named instrument setups, takes one from the instrument, sends one back,
// saves one to a file and loads one from a file. The page works on its own
// copy of the control's setups, taken on its first selection (so that
// switching pages keeps unapplied edits) and copied back on apply.
// Instrument actions use the control's server wrapper, reached by name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scope_page.h"
#include "setups_vexr7100_scope.h"

namespace vex::control {

class VexR7100PPSetup final : public ScopePage {
 public:
  static constexpr std::uint32_t kIdleIntervalMs = 200;
  static constexpr const char* kCurrentIcon = "CurrentScopeSetup";

  VexR7100PPSetup(ui::Toolkit& toolkit, IPPVexR7100Scope& scope);
  ~VexR7100PPSetup() override;

  std::string Caption() const override;
  void Build(ui::Form& form) override;
  void Activate() override;
  HRESULT ApplyChanges() override;
  void Deactivate() override;

  // The list's context menu (a right click on the list, or the menu key).
  void ContextMenu();

  CSetupsVexR7100Scope* PageSetups() const { return setups_.Get(); }

 private:
  HRESULT FillList();
  // The setup of the selected row; null (S_OK) when no row is selected.
  HRESULT Selected(com::ComPtr<ISetupVexR7100Scope>* setup, std::string* name);
  HRESULT Add();
  HRESULT Edit();
  HRESULT CopyName();
  HRESULT Remove();
  HRESULT Get();
  HRESULT Send();
  HRESULT Open();
  HRESULT SaveAs();
  // Opens the connection for an instrument action; `*proceed` false when
  // the user declined the handshake warning.
  HRESULT Connect(bool* proceed);
  HRESULT MarkCurrent(const std::string& name);
  HRESULT RememberFolder(const std::string& path);
  int RowOf(const std::string& name) const;
  std::string FileFilter() const;

  com::ComPtr<CSetupsVexR7100Scope> setups_;
  bool copied_ = false;

  ui::ListView* list_ = nullptr;
  std::unique_ptr<ui::Timer> timer_idle_;
};

}  // namespace vex::control
