#include "vexr7100_pp_set_io.h"

#include "cdebug.h"
#include "is_handshake_ok.h"
#include "msg_box_auto_center.h"

namespace vex::control {

namespace {

constexpr const char* kModule = "VexR7100PPSetIO";
constexpr std::int32_t kBaudRates[] = {1200, 2400, 9600, 19200, 38400, 57600};
constexpr const char* kPorts[] = {"COM1",  "COM2",  "COM3",  "COM4",
                                  "GPIB0", "GPIB1", "GPIB2", "GPIB3"};
constexpr std::uint32_t kInfoBoxStyle = 65600;
constexpr const char* kSupportTitle = "Support Message";

}  // namespace

VexR7100PPSetIO::VexR7100PPSetIO(ui::Toolkit& toolkit, IPPVexR7100Scope& scope)
    : ScopePage(toolkit, scope, 520, page_bit::kSetIO) {}

std::string VexR7100PPSetIO::Caption() const {
  return PageText(500);
}

void VexR7100PPSetIO::Build(ui::Form& form) {
  form.SetSize({kPageWidth, kPageHeight});
  form.AddLabel("LabelIOPort", PageText(501), {8, 8, 120, 18});
  list_io_port_ = form.AddListView("ListIOPort", {8, 28, 120, 160});
  for (const char* port : kPorts) {
    ui::ListRow row;
    row.text = port;
    list_io_port_->AddRow(std::move(row));
  }
  form.AddLabel("LabelAddress", PageText(203), {8, 200, 120, 18});
  text_address_ = form.AddTextBox("TextAddress", "", {8, 220, 464, 24});
  text_address_->SetReadOnly(true);
  frame_setup_ = form.AddFrame("FrameSetup", "", {144, 8, 328, 180});
  label_gpib_address_ = form.AddLabel("LabelGPIBAddress", PageText(502), {156, 36, 110, 18});
  combo_gpib_address_ = form.AddCombo("ComboGPIBAddress", {272, 32, 100, 24});
  for (int a = kFirstGpibInclude; a <= kLastGpibInclude; ++a)
    combo_gpib_address_->AddItem(std::to_string(a), a);
  label_baud_ = form.AddLabel("LabelBaudRate", PageText(305), {156, 36, 110, 18});
  combo_baud_ = form.AddCombo("ComboBaudRate", {272, 32, 100, 24});
  for (std::int32_t rate : kBaudRates) combo_baud_->AddItem(std::to_string(rate), rate);
  label_parity_ = form.AddLabel("LabelParity", PageText(306), {156, 72, 110, 18});
  combo_parity_ = form.AddCombo("ComboParity", {272, 68, 100, 24});
  combo_parity_->AddItem("None, 8", 1);
  combo_parity_->SetSelectedIndex(0);
  label_handshake_ = form.AddLabel("LabelHandshake", PageText(307), {156, 108, 110, 18});
  combo_handshake_ = form.AddCombo("ComboHandshake", {272, 104, 100, 24});
  command_test_ = form.AddButton("CommandTest", PageText(206), {392, 256, 80, 26});
  check_dtr_only_ = form.AddCheckBox("CheckDTROnly", "DTR Only", {8, 256, 160, 22});
  check_initial_search_ =
      form.AddCheckBox("CheckInitialSearch", "Initial Search", {176, 256, 160, 22});
  check_dtr_only_->SetVisible(false);
  check_initial_search_->SetVisible(false);

  list_io_port_->OnSelectionChange([this] {
    (void)Guard([this]() -> HRESULT {
      const int row = list_io_port_->SelectedRow();
      if (filling_ || row < 0) return com::S_OK;
      return Edit(configuration_->SetActiveIOPort(list_io_port_->Row(row).text));
    });
  });
  combo_gpib_address_->OnSelect([this] {
    (void)Guard([this]() -> HRESULT {
      std::int32_t current = 0;
      const int index = combo_gpib_address_->SelectedIndex();
      if (filling_ || index < 0 || com::FAILED(configuration_->ActivePortGPIBAddress(&current)) ||
          current == combo_gpib_address_->Items()[index].data)
        return com::S_OK;
      return Edit(
          configuration_->SetActivePortGPIBAddress(combo_gpib_address_->Items()[index].data));
    });
  });
  combo_baud_->OnSelect([this] {
    (void)Guard([this]() -> HRESULT {
      std::int32_t current = 0;
      const int index = combo_baud_->SelectedIndex();
      if (filling_ || index < 0 || configuration_->ActivePortIsGPIB() ||
          com::FAILED(configuration_->ActivePortBaudRate(&current)) ||
          current == combo_baud_->Items()[index].data)
        return com::S_OK;
      return Edit(configuration_->SetActivePortBaudRate(combo_baud_->Items()[index].data));
    });
  });
  combo_handshake_->OnSelect([this] {
    (void)Guard([this]() -> HRESULT {
      std::int32_t current = 0;
      const int index = combo_handshake_->SelectedIndex();
      if (filling_ || index < 0 || configuration_->ActivePortIsGPIB() ||
          com::FAILED(configuration_->ActivePortHandshake(&current)) ||
          current == combo_handshake_->Items()[index].data)
        return com::S_OK;
      return Edit(configuration_->SetActivePortHandshake(combo_handshake_->Items()[index].data));
    });
  });
  check_dtr_only_->OnClick([this] {
    (void)Guard([this]() -> HRESULT {
      configuration_->SetDTROnly(check_dtr_only_->Checked());
      FillHandshake();
      return Edit(com::S_OK);
    });
  });
  check_initial_search_->OnClick([this] { SetChanged(true); });
  command_test_->OnClick([this] { (void)Guard([this] { return Test(); }); });
  text_address_->OnKeyDown([this](int key, int shift) { KeyDown(key, shift); });

  timer_idle_ = toolkit_.CreateTimer();
  timer_idle_->OnTimer([this] {
    if (!configuration_) return;
    (void)Guard([this] { return PollNotification([this] { return UpdateSetup(); }); });
  });
}

void VexR7100PPSetIO::Activate() {
  (void)Guard([this]() -> HRESULT {
    scope_.SetPageExists(bit_, true);
    if (!configuration_) {
      const HRESULT hr = FirstSelection();
      if (com::FAILED(hr)) return hr;
    }
    ApplyControlFont();
    check_initial_search_->SetChecked(scope_.InitialSearchMode());
    wait_ms_ = scope_.TXDelay();
    FillHandshake();
    check_dtr_only_->SetChecked(configuration_->DTROnly());
    const HRESULT hr = UpdateSetup();
    CenterWhenAsked();
    return hr;
  });
}

HRESULT VexR7100PPSetIO::FirstSelection() {
  if (const HRESULT taken = TakeSharedConfiguration(&configuration_); com::FAILED(taken)) {
    return taken;
  }
  // The active address counts as tested with the reply stored for it.
  tested_address_ = configuration_->ActiveAddress();
  tested_reply_ = configuration_->InstrumentID();
  timer_idle_->Start(kIdleIntervalMs);
  return com::S_OK;
}

void VexR7100PPSetIO::Deactivate() {
  if (timer_idle_) timer_idle_->Stop();
  scope_.SetPageExists(bit_, false);
}

void VexR7100PPSetIO::FillHandshake() {
  filling_ = true;
  combo_handshake_->Clear();
  if (!configuration_->DTROnly()) combo_handshake_->AddItem("XOn/XOff", kHandshakeXonXoff);
  combo_handshake_->AddItem("DTR/DSR", kHandshakeDtrDsr);
  filling_ = false;
}

HRESULT VexR7100PPSetIO::Edit(HRESULT hr) {
  if (com::FAILED(hr)) {
    (void)UpdateSetup();
    return hr;
  }
  SetChanged(true);
  return UpdateSetup();
}

HRESULT VexR7100PPSetIO::UpdateSetup() {
  filling_ = true;
  HRESULT hr = com::S_OK;
  const std::string& port = configuration_->ActiveIOPort();
  for (int i = 0; i < list_io_port_->RowCount(); ++i)
    if (list_io_port_->Row(i).text == port) list_io_port_->Select(i);
  const bool gpib = configuration_->ActivePortIsGPIB();
  for (ui::Widget* w : std::initializer_list<ui::Widget*>{label_gpib_address_, combo_gpib_address_})
    w->SetVisible(gpib);
  for (ui::Widget* w :
       std::initializer_list<ui::Widget*>{label_baud_, combo_baud_, label_parity_, combo_parity_,
                                          label_handshake_, combo_handshake_})
    w->SetVisible(!gpib);
  if (gpib) {
    std::int32_t address = 0;
    hr = configuration_->ActivePortGPIBAddress(&address);
    frame_setup_->SetCaption(PageText(510 + configuration_->IOPortIndex()));
    combo_gpib_address_->SelectText(std::to_string(address));
  } else {
    std::int32_t baud = 0;
    std::int32_t handshake = 0;
    hr = configuration_->ActivePortBaudRate(&baud);
    if (com::SUCCEEDED(hr)) hr = configuration_->ActivePortHandshake(&handshake);
    frame_setup_->SetCaption(PageText(319 + configuration_->IOPortIndex()));
    combo_baud_->SelectText(std::to_string(baud));
    if (configuration_->DTROnly()) {
      combo_handshake_->SetSelectedIndex(0);
    } else if (handshake == kHandshakeXonXoff || handshake == kHandshakeDtrDsr) {
      combo_handshake_->SetSelectedIndex(handshake == kHandshakeXonXoff ? 0 : 1);
    } else {
      CDebug::ForThisThread().Assert(false, "Case Else", kModule, "UpdateSetup", "Case Else");
    }
  }
  text_address_->SetCaption(configuration_->ActiveAddress());
  filling_ = false;
  return hr;
}

HRESULT VexR7100PPSetIO::Test() {
  ui::BusyCursor busy(toolkit_);
  if (!query_) query_ = std::make_unique<CQueryInstrument>();
  HRESULT hr = query_->Initialize(wait_ms_, configuration_, scope_.IOManager());
  if (com::FAILED(hr)) return hr;
  const std::string address = configuration_->ActiveAddress();
  std::string reply;
  std::int16_t code = kQueryNoAnswer;
  hr = query_->Test(toolkit_, Handle(), address, &reply, &code);
  if (com::FAILED(hr)) return hr;
  tested_address_ = address;
  if (reply != tested_reply_) {
    tested_reply_ = reply;
    SetChanged(true);
  }
  return com::S_OK;
}

void VexR7100PPSetIO::KeyDown(int key, int shift) {
  if (shift != ui::shift::kCtrl) return;
  CDebug& debug = CDebug::ForThisThread();
  const char* message = nullptr;
  // The switches turn their output on (the bit is ORed in, so pressing one
  // twice keeps it on); Ctrl+D turns every output off.
  switch (key) {
    case 'A':
      debug.SetDebugMode(debug.DebugMode() | CDebug::kAssert);
      message = "Support Message debug mode assert has been enabled.";
      break;
    case 'E':
      debug.SetDebugMode(debug.DebugMode() | CDebug::kEvents);
      message = "Support Message events have been enabled.";
      break;
    case 'L':
      debug.SetDebugMode(debug.DebugMode() | CDebug::kLogFile);
      message = "Support Message log file has been enabled.";
      break;
    case 'M':
      debug.SetDebugMode(debug.DebugMode() | CDebug::kMessageBox);
      message = "Support Message message boxes have been enabled.";
      break;
    case 'D':
      debug.SetDebugMode(0);
      message = "All Support Message functionality has been disabled.";
      break;
    case 'S':
      check_initial_search_->SetVisible(!check_initial_search_->Visible());
      return;
    case 'H':
      check_dtr_only_->SetVisible(!check_dtr_only_->Visible());
      return;
    default:
      return;
  }
  MsgBoxCentered(toolkit_, Handle(), message, kInfoBoxStyle, kSupportTitle);
}

HRESULT VexR7100PPSetIO::ApplyChanges() {
  return Guard([this]() -> HRESULT {
    scope_.SetCenterPropertyPages(false);
    if (RefreshPending() || !configuration_) return com::S_OK;
    const std::string address = configuration_->ActiveAddress();
    // The reply of the last test belongs to the address tested; for any
    // other address the instrument is unknown.
    const std::string reply = tested_address_ == address ? tested_reply_ : std::string();
    HRESULT hr = scope_.SetAddress(address);
    if (com::FAILED(hr)) return hr;
    scope_.SetAddressInstrumentID(reply);
    configuration_->SetInstrumentID(reply);
    hr = scope_.IOConfigurationControl()->Copy(*configuration_);
    if (com::FAILED(hr)) return hr;
    scope_.SetInitialSearchMode(check_initial_search_->Checked());
    bool dont_show = scope_.DontShowIOHandshakeWarning();
    std::string last = scope_.LastIOHandshakeAddress();
    hr = IsHandshakeOK(toolkit_, Handle(), scope_.FontName(), scope_.FontSize(), &dont_show, &last,
                       address, reply);
    if (com::FAILED(hr)) return hr;
    scope_.SetDontShowIOHandshakeWarning(dont_show);
    scope_.SetLastIOHandshakeAddress(last);
    return NotifyOtherPages();
  });
}

}  // namespace vex::control
