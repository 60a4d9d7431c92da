// VexR7100PPSetIO: the "Set I/O" property page. The user picks the port
// and address of the instrument directly: a GPIB interface and address, or
// a COM port with its baud rate and handshake, and may test the choice. The
// address field also takes the hidden key switches of the support messages
// (Ctrl+A, E, L, M, D) and of two hidden options (Ctrl+S, Ctrl+H).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cquery_instrument.h"
#include "scope_page.h"

namespace vex::control {

class VexR7100PPSetIO final : public ScopePage {
 public:
  static constexpr std::uint32_t kIdleIntervalMs = 200;

  VexR7100PPSetIO(ui::Toolkit& toolkit, IPPVexR7100Scope& scope);

  std::string Caption() const override;
  void Build(ui::Form& form) override;
  void Activate() override;
  HRESULT ApplyChanges() override;
  void Deactivate() override;

 private:
  HRESULT FirstSelection();
  void FillHandshake();
  HRESULT UpdateSetup();
  HRESULT Test();
  void KeyDown(int key, int shift);
  // Runs an edit of the configuration; on success the page is changed and
  // the display refreshed.
  HRESULT Edit(HRESULT hr);

  CIOconfiguration* configuration_ = nullptr;
  std::int32_t wait_ms_ = 0;
  std::string tested_address_;
  std::string tested_reply_;
  std::unique_ptr<CQueryInstrument> query_;
  bool filling_ = false;

  ui::ListView* list_io_port_ = nullptr;
  ui::TextBox* text_address_ = nullptr;
  ui::Frame* frame_setup_ = nullptr;
  ui::Label* label_gpib_address_ = nullptr;
  ui::Combo* combo_gpib_address_ = nullptr;
  ui::Label* label_baud_ = nullptr;
  ui::Combo* combo_baud_ = nullptr;
  ui::Label* label_parity_ = nullptr;
  ui::Combo* combo_parity_ = nullptr;
  ui::Label* label_handshake_ = nullptr;
  ui::Combo* combo_handshake_ = nullptr;
  ui::Button* command_test_ = nullptr;
  ui::CheckBox* check_dtr_only_ = nullptr;
  ui::CheckBox* check_initial_search_ = nullptr;
  std::unique_ptr<ui::Timer> timer_idle_;
};

}  // namespace vex::control
