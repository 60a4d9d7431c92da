#include "vexr7100_pp_srch_cri.h"

#include "cdebug.h"
#include "msg_box_auto_center.h"

namespace vex::control {

namespace {

constexpr const char* kModule = "VexR7100PPSrchCri";
constexpr const char* kCrLf = "\r\n";
constexpr std::int32_t kBaudRates[] = {1200, 2400, 9600, 19200, 38400, 57600};
// Information icon, OK, foreground.
constexpr std::uint32_t kInfoBoxStyle = 65600;

}  // namespace

VexR7100PPSrchCri::VexR7100PPSrchCri(ui::Toolkit& toolkit, IPPVexR7100Scope& scope)
    : ScopePage(toolkit, scope, 330, page_bit::kSearchCriteria) {}

std::string VexR7100PPSrchCri::Caption() const {
  return PageText(300);
}

void VexR7100PPSrchCri::Build(ui::Form& form) {
  form.SetSize({kPageWidth, kPageHeight});
  form.AddLabel("LabelExcluded", PageText(301), {8, 8, 110, 18});
  list_excluded_ = form.AddListView("ListExcluded", {8, 28, 110, 150});
  form.AddLabel("LabelInclude", PageText(302), {236, 8, 110, 18});
  list_include_ = form.AddListView("ListInclude", {236, 28, 110, 150});
  list_excluded_->SetMultiSelect(true);
  list_include_->SetMultiSelect(true);
  command_add_ = form.AddButton("CommandAdd", PageText(303), {124, 60, 106, 26});
  command_remove_ = form.AddButton("CommandRemove", PageText(304), {124, 96, 106, 26});
  frame_setup_ = form.AddFrame("FrameSetup", "", {8, 186, 464, 124});
  list_address_exclude_ = form.AddListView("ListAddressExclude", {16, 206, 320, 96});
  list_address_exclude_->SetCheckBoxes(true);
  for (int a = kFirstGpibInclude; a <= kLastGpibInclude; ++a) {
    ui::ListRow row;
    row.text = std::to_string(a);
    row.data = a;
    list_address_exclude_->AddRow(std::move(row));
  }
  command_select_all_ = form.AddButton("CommandSelectAll", PageText(308), {344, 214, 120, 26});
  command_remove_all_ = form.AddButton("CommandRemoveAll", PageText(309), {344, 250, 120, 26});
  label_baud_ = form.AddLabel("LabelBaudRate", PageText(305), {16, 212, 100, 18});
  combo_baud_ = form.AddCombo("ComboBaudRate", {120, 208, 120, 24});
  for (std::int32_t rate : kBaudRates) combo_baud_->AddItem(std::to_string(rate), rate);
  label_parity_ = form.AddLabel("LabelParity", PageText(306), {16, 244, 100, 18});
  combo_parity_ = form.AddCombo("ComboParity", {120, 240, 120, 24});
  combo_parity_->AddItem("None, 8", 1);
  label_handshake_ = form.AddLabel("LabelHandshake", PageText(307), {16, 276, 100, 18});
  combo_handshake_ = form.AddCombo("ComboHandshake", {120, 272, 120, 24});
  command_find_port_ = form.AddButton("CommandFindPort", PageText(310), {350, 28, 128, 26});
  progress_ = form.AddProgressBar("ProgressBarFind", {350, 60, 128, 14});
  progress_->SetVisible(false);

  list_excluded_->OnSelectionChange(
      [this] { (void)Guard([this] { return OnListClick(list_excluded_, list_include_); }); });
  list_include_->OnSelectionChange(
      [this] { (void)Guard([this] { return OnListClick(list_include_, list_excluded_); }); });
  command_add_->OnClick([this] { (void)Guard([this] { return MovePorts(true); }); });
  command_remove_->OnClick([this] { (void)Guard([this] { return MovePorts(false); }); });
  command_select_all_->OnClick([this] { (void)Guard([this] { return SetAllAddresses(true); }); });
  command_remove_all_->OnClick([this] { (void)Guard([this] { return SetAllAddresses(false); }); });
  command_find_port_->OnClick([this] { (void)Guard([this] { return FindPorts(); }); });
  list_address_exclude_->OnRowCheck([this](int index) {
    (void)Guard([this, index]() -> HRESULT {
      std::int32_t n = 0;
      if (filling_ || com::FAILED(configuration_->GPIBPortIndex(shown_port_, &n))) return com::S_OK;
      const HRESULT hr =
          configuration_->SetGPIBPortIncludes(n, index, list_address_exclude_->Row(index).checked);
      if (com::SUCCEEDED(hr)) SetChanged(true);
      return hr;
    });
  });
  for (ui::Combo* combo : {combo_baud_, combo_parity_, combo_handshake_})
    combo->OnSelect([this, combo] { (void)Guard([this, combo] { return EditSerial(combo); }); });

  timer_idle_ = toolkit_.CreateTimer();
  timer_idle_->OnTimer([this] {
    if (!configuration_) return;
    (void)Guard([this] {
      return PollNotification([this] {
        FillHandshake();
        FillPortLists();
        SelectActivePort();
        return com::S_OK;
      });
    });
  });
}

void VexR7100PPSrchCri::Activate() {
  (void)Guard([this]() -> HRESULT {
    scope_.SetPageExists(bit_, true);
    ApplyControlFont();
    if (!configuration_) {
      const HRESULT hr = FirstSelection();
      if (com::FAILED(hr)) return hr;
    }
    FillHandshake();
    FillPortLists();
    SelectActivePort();
    CenterWhenAsked();
    return com::S_OK;
  });
}

HRESULT VexR7100PPSrchCri::FirstSelection() {
  // Shared with the other I/O pages: filled from the control only when no
  // other I/O page holds it yet.
  if (const HRESULT taken = TakeSharedConfiguration(&configuration_); com::FAILED(taken)) {
    return taken;
  }
  timer_idle_->Start(kIdleIntervalMs);
  return com::S_OK;
}

void VexR7100PPSrchCri::Deactivate() {
  if (timer_idle_) timer_idle_->Stop();
  scope_.SetPageExists(bit_, false);
}

void VexR7100PPSrchCri::FillHandshake() {
  filling_ = true;
  combo_handshake_->Clear();
  if (!configuration_->DTROnly()) combo_handshake_->AddItem("XOn/XOff", kHandshakeXonXoff);
  combo_handshake_->AddItem("DTR/DSR", kHandshakeDtrDsr);
  filling_ = false;
}

void VexR7100PPSrchCri::FillPortLists() {
  filling_ = true;
  list_excluded_->Clear();
  list_include_->Clear();
  const auto& criteria = configuration_->criteria();
  auto add = [this](bool included, std::string text) {
    ui::ListRow row;
    row.text = std::move(text);
    (included ? list_include_ : list_excluded_)->AddRow(std::move(row));
  };
  for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port; ++p)
    if (criteria.rs232_installed[p])
      add(criteria.rs232_included[p], kRs232Prefix + std::to_string(p));
  for (std::int32_t n = kFirstGpibPort; n <= kLastGpibPort; ++n)
    if (criteria.gpib_installed[n]) add(criteria.gpib_included[n], kGpibPrefix + std::to_string(n));
  filling_ = false;
}

void VexR7100PPSrchCri::SelectActivePort() {
  const std::string& port = configuration_->ActiveIOPort();
  for (ui::ListView* list : {list_include_, list_excluded_}) {
    for (int i = 0; i < list->RowCount(); ++i) {
      if (list->Row(i).text != port) continue;
      filling_ = true;
      list_include_->ClearSelection();
      list_excluded_->ClearSelection();
      list->Select(i);
      list->EnsureVisible(i);
      filling_ = false;
      (void)ShowPort(port);
      return;
    }
  }
  (void)ShowPort("");
}

HRESULT VexR7100PPSrchCri::OnListClick(ui::ListView* clicked, ui::ListView* other) {
  if (filling_) return com::S_OK;
  filling_ = true;
  other->ClearSelection();
  filling_ = false;
  const int row = clicked->SelectedRow();
  return ShowPort(row >= 0 ? clicked->Row(row).text : std::string());
}

HRESULT VexR7100PPSrchCri::ShowPort(const std::string& port) {
  shown_port_ = port;
  const bool gpib = CIOconfiguration::IsValidGPIBPortString(port);
  const bool serial = CIOconfiguration::IsValidRS232PortString(port);
  frame_setup_->SetVisible(gpib || serial);
  list_address_exclude_->SetVisible(gpib);
  command_select_all_->SetVisible(gpib);
  command_remove_all_->SetVisible(gpib);
  for (ui::Widget* w :
       std::initializer_list<ui::Widget*>{label_baud_, combo_baud_, label_parity_, combo_parity_,
                                          label_handshake_, combo_handshake_})
    w->SetVisible(serial);
  filling_ = true;
  HRESULT hr = com::S_OK;
  if (gpib) {
    std::int32_t n = 0;
    hr = configuration_->GPIBPortIndex(port, &n);
    if (com::SUCCEEDED(hr)) {
      frame_setup_->SetCaption(PageText(324 + n));
      for (int a = kFirstGpibInclude; a <= kLastGpibInclude && com::SUCCEEDED(hr); ++a) {
        bool included = false;
        hr = configuration_->GPIBPortIncludes(n, a, &included);
        list_address_exclude_->SetRowChecked(a, included);
      }
    }
  } else if (serial) {
    std::int32_t p = 0;
    hr = configuration_->RS232PortIndex(port, &p);
    std::int32_t baud = 0;
    std::int32_t parity = 0;
    std::int32_t handshake = 0;
    if (com::SUCCEEDED(hr)) hr = configuration_->BaudRate(p, &baud);
    if (com::SUCCEEDED(hr)) hr = configuration_->Parity(p, &parity);
    if (com::SUCCEEDED(hr)) hr = configuration_->Handshake(p, &handshake);
    if (com::SUCCEEDED(hr)) {
      frame_setup_->SetCaption(PageText(319 + p));
      combo_baud_->SelectText(std::to_string(baud));
      combo_parity_->SetSelectedIndex(parity == 1 ? 0 : -1);
      if (configuration_->DTROnly()) {
        combo_handshake_->SetSelectedIndex(0);
      } else if (handshake == kHandshakeXonXoff || handshake == kHandshakeDtrDsr) {
        combo_handshake_->SetSelectedIndex(handshake == kHandshakeXonXoff ? 0 : 1);
      } else {
        CDebug::ForThisThread().Assert(false, "Case Else", kModule, "UpdateSetupOrIncludes",
                                       "UpdateSetupOrIncludes");
        combo_handshake_->SetSelectedIndex(-1);
      }
    }
  }
  filling_ = false;
  return hr;
}

HRESULT VexR7100PPSrchCri::EditSerial(ui::Combo* combo) {
  std::int32_t p = 0;
  if (filling_ || combo->SelectedIndex() < 0 ||
      com::FAILED(configuration_->RS232PortIndex(shown_port_, &p)))
    return com::S_OK;
  const std::int32_t value = combo->Items()[combo->SelectedIndex()].data;
  std::int32_t current = 0;
  HRESULT hr = com::S_OK;
  if (combo == combo_baud_) {
    hr = configuration_->BaudRate(p, &current);
    if (com::SUCCEEDED(hr) && current != value) hr = configuration_->SetBaudRate(p, value);
  } else if (combo == combo_parity_) {
    hr = configuration_->Parity(p, &current);
    if (com::SUCCEEDED(hr) && current != value) hr = configuration_->SetParity(p, value);
  } else {
    hr = configuration_->Handshake(p, &current);
    if (com::SUCCEEDED(hr) && current != value) hr = configuration_->SetHandshake(p, value);
  }
  if (com::SUCCEEDED(hr) && current != value) SetChanged(true);
  return hr;
}

HRESULT VexR7100PPSrchCri::MovePorts(bool include) {
  ui::ListView* source = include ? list_excluded_ : list_include_;
  for (int row : source->SelectedRows()) {
    const std::string text = source->Row(row).text;
    std::int32_t index = 0;
    HRESULT hr = com::S_OK;
    if (CIOconfiguration::IsValidGPIBPortString(text)) {
      hr = configuration_->GPIBPortIndex(text, &index);
      if (com::SUCCEEDED(hr)) hr = configuration_->SetGPIBPortIncluded(index, include);
    } else if (CIOconfiguration::IsValidRS232PortString(text)) {
      hr = configuration_->RS232PortIndex(text, &index);
      if (com::SUCCEEDED(hr)) hr = configuration_->SetRS232PortIncluded(index, include);
    } else {
      hr = RaiseInvalidValue(kModule, include ? "CommandAdd_Click" : "CommandRemove_Click",
                             "Case Else");
    }
    if (com::FAILED(hr)) return hr;
    SetChanged(true);
  }
  FillPortLists();
  return com::S_OK;
}

HRESULT VexR7100PPSrchCri::SetAllAddresses(bool included) {
  std::int32_t n = 0;
  HRESULT hr = configuration_->GPIBPortIndex(shown_port_, &n);
  if (com::FAILED(hr)) return hr;
  for (int a = kFirstGpibInclude; a <= kLastGpibInclude; ++a) {
    hr = configuration_->SetGPIBPortIncludes(n, a, included);
    if (com::FAILED(hr)) return hr;
  }
  SetChanged(true);
  return ShowPort(shown_port_);
}

HRESULT VexR7100PPSrchCri::FindPorts() {
  ui::BusyCursor busy(toolkit_);
  for (ui::Button* b : {command_add_, command_remove_, command_find_port_}) b->SetEnabled(false);
  progress_->SetRange(0, 8);
  progress_->SetValue(0);
  progress_->SetVisible(true);
  HRESULT hr = com::S_OK;
  com::IUnknown* manager = scope_.IOManager();
  for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port && com::SUCCEEDED(hr); ++p) {
    bool found = false;
    bool installed = false;
    hr = configuration_->FindRS232Port(p, manager, &found);
    if (com::SUCCEEDED(hr)) hr = configuration_->RS232PortInstalled(p, &installed);
    if (com::SUCCEEDED(hr) && found != installed) {
      SetChanged(true);
      hr = configuration_->SetRS232PortInstalled(p, found);
    }
    progress_->SetValue(p);
  }
  for (std::int32_t n = kFirstGpibPort; n <= kLastGpibPort && com::SUCCEEDED(hr); ++n) {
    bool found = false;
    bool installed = false;
    hr = configuration_->FindGPIBPort(n, manager, &found);
    if (com::SUCCEEDED(hr)) hr = configuration_->GPIBPortInstalled(n, &installed);
    if (com::SUCCEEDED(hr) && found != installed) {
      SetChanged(true);
      hr = configuration_->SetGPIBPortInstalled(n, found);
    }
    progress_->SetValue(5 + n);
  }
  FillPortLists();
  SelectActivePort();
  progress_->SetVisible(false);
  for (ui::Button* b : {command_add_, command_remove_, command_find_port_}) b->SetEnabled(true);
  return hr;
}

HRESULT VexR7100PPSrchCri::ApplyChanges() {
  return Guard([this]() -> HRESULT {
    if (RefreshPending() || !configuration_) return com::S_OK;
    // Only installed interfaces are checked: the lists show no others, so
    // the user could not fix one that is not installed.
    const auto& criteria = configuration_->criteria();
    for (std::int32_t n = kFirstGpibPort; n <= kLastGpibPort; ++n) {
      if (!criteria.gpib_installed[n] || !criteria.gpib_included[n]) continue;
      bool any = false;
      for (bool included : criteria.gpib_includes[n]) any = any || included;
      if (any) continue;
      const std::string text = PageText(341) + kCrLf + PageText(342) + kCrLf + kCrLf + "    " +
                               kGpibPrefix + std::to_string(n) + kCrLf + kCrLf + PageText(343) +
                               kCrLf + PageText(344);
      MsgBoxCentered(toolkit_, Handle(), text, kInfoBoxStyle, PageText(340));
      return com::E_ABORT;  // the page stays changed; nothing applied
    }
    const HRESULT hr = scope_.IOConfigurationControl()->Copy(*configuration_);
    if (com::FAILED(hr)) return hr;
    return NotifyOtherPages();
  });
}

}  // namespace vex::control
