// VexR7100PPSrchCri: the "Search Criteria" property page. It decides which
// installed ports take part in a search, which GPIB addresses are probed on
// each interface and with which RS-232 parameters each COM port is opened,
// and re-runs port discovery (Find Ports). It edits the page-side
// configuration the I/O pages share and copies it into the control when
// applied.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scope_page.h"

namespace vex::control {

class VexR7100PPSrchCri final : public ScopePage {
 public:
  static constexpr std::uint32_t kIdleIntervalMs = 200;

  VexR7100PPSrchCri(ui::Toolkit& toolkit, IPPVexR7100Scope& scope);

  std::string Caption() const override;
  void Build(ui::Form& form) override;
  void Activate() override;
  HRESULT ApplyChanges() override;
  void Deactivate() override;

  // The port whose settings the frame shows ("COM2", "GPIB0"); empty when none.
  const std::string& ShownPort() const { return shown_port_; }

 private:
  HRESULT FirstSelection();
  void FillHandshake();
  void FillPortLists();
  void SelectActivePort();
  HRESULT ShowPort(const std::string& port);
  // A baud rate, parity or handshake chosen for the shown COM port.
  HRESULT EditSerial(ui::Combo* combo);
  HRESULT MovePorts(bool include);
  HRESULT SetAllAddresses(bool included);
  HRESULT FindPorts();
  HRESULT OnListClick(ui::ListView* clicked, ui::ListView* other);

  CIOconfiguration* configuration_ = nullptr;
  std::string shown_port_;
  bool filling_ = false;

  ui::ListView* list_excluded_ = nullptr;
  ui::ListView* list_include_ = nullptr;
  ui::Button* command_add_ = nullptr;
  ui::Button* command_remove_ = nullptr;
  ui::Frame* frame_setup_ = nullptr;
  ui::ListView* list_address_exclude_ = nullptr;
  ui::Button* command_select_all_ = nullptr;
  ui::Button* command_remove_all_ = nullptr;
  ui::Label* label_baud_ = nullptr;
  ui::Combo* combo_baud_ = nullptr;
  ui::Label* label_parity_ = nullptr;
  ui::Combo* combo_parity_ = nullptr;
  ui::Label* label_handshake_ = nullptr;
  ui::Combo* combo_handshake_ = nullptr;
  ui::Button* command_find_port_ = nullptr;
  ui::ProgressBar* progress_ = nullptr;
  std::unique_ptr<ui::Timer> timer_idle_;
};

}  // namespace vex::control
