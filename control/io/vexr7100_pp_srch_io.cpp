#include "vexr7100_pp_srch_io.h"

#include <cctype>

#include "cdebug.h"
#include "frm_search_results.h"
#include "is_handshake_ok.h"
#include "msg_box_auto_center.h"
#include "vex/com/error_info.h"
#include "vexr7100_localization.h"

namespace vex::control {

namespace {

constexpr const char* kModule = "VexR7100PPSrchIO";
constexpr const char* kConnectedIcon = "ConnectedInstrument";
constexpr const char* kCrLf = "\r\n";

bool IsGpibRow(std::string_view address) {
  return address.size() >= 4 && std::toupper(static_cast<unsigned char>(address[0])) == 'G';
}

std::string ProbeAddress(const std::string& row_address) {
  return IsGpibRow(row_address) ? row_address + "::INSTR" : row_address;
}

}  // namespace

// The worker's share: its own configuration and search, and what the sink
// hands over to the UI thread.
struct VexR7100PPSrchIO::Job : InstrumentSearch::Sink {
  com::ComPtr<CIOconfiguration> configuration = com::MakeObject<CIOconfiguration>();
  InstrumentSearch search;
  std::thread thread;
  std::mutex mutex;
  std::string text;
  std::int32_t done = 0;
  std::int32_t total = 0;
  std::vector<std::pair<std::string, std::string>> not_listed;
  bool finished = false;
  HRESULT hr = com::S_OK;
  com::ErrorDetails error;

  void Progress(const std::string& t, std::int32_t d, std::int32_t n) override {
    std::lock_guard lock(mutex);
    text = t;
    done = d;
    total = n;
  }
  void PortNotListed(const std::string& title, const std::string& message) override {
    std::lock_guard lock(mutex);
    not_listed.emplace_back(title, message);
  }
};

VexR7100PPSrchIO::VexR7100PPSrchIO(ui::Toolkit& toolkit, IPPVexR7100Scope& scope)
    : ScopePage(toolkit, scope, 240, page_bit::kSearchIO) {}

VexR7100PPSrchIO::~VexR7100PPSrchIO() {
  StopSearch();
}

std::string VexR7100PPSrchIO::Caption() const {
  return PageText(200);
}

void VexR7100PPSrchIO::Build(ui::Form& form) {
  form.SetSize({kPageWidth, kPageHeight});
  list_ = form.AddListView("ListViewInstruments", {8, 8, 464, 200});
  const int width = 464 - 4;
  list_->SetColumns({{PageText(201), width * 30 / 100, ui::Align::kLeft},
                     {PageText(202), width * 8 / 100, ui::Align::kCenter},
                     {PageText(203), width * 27 / 100, ui::Align::kLeft},
                     {PageText(204), width * 35 / 100, ui::Align::kLeft}});
  label_supported_ = form.AddLabel("LabelSupportedInstrument", PageText(205), {8, 212, 300, 18});
  test_ = form.AddButton("Test", PageText(206), {304, 236, 80, 26});
  search_ = form.AddButton("Search", PageText(207), {392, 236, 80, 26});
  cancel_ = form.AddButton("CommandCancel", PageText(112), {392, 236, 80, 26});
  cancel_->SetVisible(false);
  text_working_ = form.AddLabel("TextWorking", "", {8, 236, 288, 18});
  progress_ = form.AddProgressBar("ProgressBarFind", {8, 258, 288, 14});
  text_message_ = form.AddLabel("TextMessage", "", {8, 280, 464, 40});
  ShowWorking(false);
  test_->SetEnabled(false);

  test_->OnClick([this] { (void)Guard([this] { return Test(); }); });
  search_->OnClick([this] { (void)Guard([this] { return StartSearch(); }); });
  cancel_->OnClick([this] {
    if (job_) job_->search.Cancel();
  });
  list_->OnSelectionChange([this] { test_->SetEnabled(list_->SelectedRow() >= 0 && !job_); });

  timer_idle_ = toolkit_.CreateTimer();
  timer_idle_->OnTimer([this] {
    if (job_ || !configuration_) return;
    (void)Guard([this] {
      return PollNotification([this] {
        MarkConnectedRow();
        return com::S_OK;
      });
    });
  });
  timer_discovery_ = toolkit_.CreateTimer();
  timer_discovery_->OnTimer([this] { (void)Guard([this] { return Discover(); }); });
  timer_search_ = toolkit_.CreateTimer();
  timer_search_->OnTimer([this] { (void)Guard([this] { return PollSearch(); }); });
}

void VexR7100PPSrchIO::Activate() {
  (void)Guard([this] {
    if (configuration_) {
      scope_.SetPageExists(bit_, true);
      return com::S_OK;
    }
    return FirstSelection();
  });
}

HRESULT VexR7100PPSrchIO::FirstSelection() {
  ApplyControlFont();
  scope_.SetPageExists(bit_, true);
  if (const HRESULT taken = TakeSharedConfiguration(&configuration_); com::FAILED(taken)) {
    return taken;
  }
  initial_search_mode_ = scope_.InitialSearchMode();
  const HRESULT hr = query_.Initialize(scope_.TXDelay(), configuration_, scope_.IOManager());
  if (com::FAILED(hr)) return hr;
  CenterWhenAsked();
  timer_idle_->Start(kIdleIntervalMs);
  m_lDiscoveryDelay = 0;
  timer_discovery_->Start(kDiscoveryDelayMs, true);
  return com::S_OK;
}

void VexR7100PPSrchIO::Deactivate() {
  StopSearch();
  if (timer_idle_) timer_idle_->Stop();
  if (timer_discovery_) timer_discovery_->Stop();
  scope_.SetPageExists(bit_, false);
}

void VexR7100PPSrchIO::ShowWorking(bool on) {
  text_working_->SetVisible(on);
  progress_->SetVisible(on);
  if (!on) {
    text_working_->SetCaption("");
    progress_->SetValue(0);
  }
}

HRESULT VexR7100PPSrchIO::AddInstrumentToList(std::string_view reply, std::string_view address,
                                              int* index) {
  SearchRow row;
  const bool ok = !reply.empty();
  CDebug::ForThisThread().Assert(ok, "(Len(strInstrumentID) > 0)", kModule, "AddInstrumentToList",
                                 "");
  const HRESULT hr = InstrumentSearch::AddInstrumentToList(reply, address, &row);
  if (com::FAILED(hr)) return hr;
  ui::ListRow list_row;
  list_row.text = row.model;
  list_row.sub_items = {row.supported ? PageText(202) : std::string(), row.address,
                        row.manufacturer};
  *index = list_->AddRow(std::move(list_row));
  rows_.push_back(std::move(row));
  return com::S_OK;
}

int VexR7100PPSrchIO::MarkConnectedRow() {
  int match = -1;
  for (int i = 0; i < list_->RowCount(); ++i) {
    const bool is = match < 0 && InstrumentSearch::RowMatchesAddress(
                                     rows_[i].address, configuration_->ActiveAddress());
    if (is) match = i;
    list_->SetRowIcon(i, is ? kConnectedIcon : "");
  }
  return match;
}

HRESULT VexR7100PPSrchIO::StartSearch() {
  if (job_ || !configuration_) return com::S_OK;
  timer_discovery_->Stop();
  job_ = std::make_unique<Job>();
  (void)job_->configuration->Copy(*configuration_);
  list_->Clear();
  rows_.clear();
  text_message_->SetCaption("");
  text_working_->SetCaption(PageText(configuration_->HasInstalledPorts() ? 209 : 208));
  ShowWorking(true);
  search_->SetVisible(false);
  cancel_->SetVisible(true);
  test_->SetEnabled(false);
  toolkit_.SetBusyCursor(true);
  Job* job = job_.get();
  com::ComPtr<com::IUnknown> manager(scope_.IOManager());
  const std::int32_t wait = scope_.TXDelay();
  const std::int32_t offset = VexR7100Localization::Offset();
  job->thread = std::thread([job, manager, wait, offset] {
    // Texts are made in the page's language on this thread too.
    VexR7100Localization::SetOffset(offset);
    const HRESULT hr = job->search.Run(*job->configuration, manager.Get(), wait, job);
    com::ErrorDetails error;
    if (com::FAILED(hr)) error = com::TakeErrorDetails();
    VexR7100Localization::ReleaseResources();
    std::lock_guard lock(job->mutex);
    job->hr = hr;
    job->error = std::move(error);
    job->finished = true;
  });
  timer_search_->Start(kPollIntervalMs);
  return com::S_OK;
}

HRESULT VexR7100PPSrchIO::PollSearch() {
  if (!job_) return com::S_OK;
  std::vector<std::pair<std::string, std::string>> boxes;
  bool finished = false;
  {
    std::lock_guard lock(job_->mutex);
    text_working_->SetCaption(job_->text);
    progress_->SetRange(0, job_->total > 0 ? job_->total : 1);
    progress_->SetValue(job_->done);
    boxes.swap(job_->not_listed);
    finished = job_->finished;
  }
  for (const auto& [title, message] : boxes)
    MsgBoxCentered(toolkit_, Handle(), message, ui::mb::kOkOnly | ui::mb::kExclamation, title);
  if (!finished) return com::S_OK;
  timer_search_->Stop();
  job_->thread.join();
  const HRESULT hr = job_->hr;
  if (com::FAILED(hr)) (void)com::ReportRichError(hr, job_->error);
  return FinishSearch(hr);
}

void VexR7100PPSrchIO::StopSearch() {
  if (!job_) return;
  job_->search.Cancel();
  if (job_->thread.joinable()) job_->thread.join();
  job_.reset();
  if (timer_search_) timer_search_->Stop();
  toolkit_.SetBusyCursor(false);
}

HRESULT VexR7100PPSrchIO::FinishSearch(HRESULT hr) {
  std::unique_ptr<Job> job = std::move(job_);
  toolkit_.SetBusyCursor(false);
  ShowWorking(false);
  cancel_->SetVisible(false);
  search_->SetVisible(true);
  // The discovery the search ran belongs to the page-side configuration.
  for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port; ++p)
    (void)configuration_->SetRS232PortInstalled(p,
                                                job->configuration->criteria().rs232_installed[p]);
  for (std::int32_t n = kFirstGpibPort; n <= kLastGpibPort; ++n)
    (void)configuration_->SetGPIBPortInstalled(n, job->configuration->criteria().gpib_installed[n]);
  for (const SearchRow& row : job->search.Rows()) {
    int index = -1;
    const HRESULT added = AddInstrumentToList(row.reply, row.address, &index);
    if (com::FAILED(added)) return added;
  }
  if (com::FAILED(hr)) return hr;  // cancelled (E_ABORT, not shown) or failed
  const int active = MarkConnectedRow();
  if (active >= 0) {
    list_->Select(active);
    list_->EnsureVisible(active);
    test_->SetEnabled(true);
  } else if (!rows_.empty() && initial_search_mode_) {
    list_->Select(0);
    list_->SetRowIcon(0, kConnectedIcon);
    test_->SetEnabled(true);
    SetChanged(true);
  }
  if (!rows_.empty()) text_message_->SetCaption(PageText(273));

  if (!job->search.SilentPorts().empty()) {
    const auto& criteria = configuration_->criteria();
    FrmSearchResults results(toolkit_);
    for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port; ++p) {
      results.SetIncludedCOMPort(p, criteria.rs232_installed[p] && criteria.rs232_included[p]);
      results.SetInstrumentFoundOnCOMPort(p, true);
    }
    for (const std::string& port : job->search.SilentPorts())
      results.SetInstrumentFoundOnCOMPort(std::stoi(port.substr(3)), false);
    results.Update(scope_.FontName(), scope_.FontSize());
    results.Show(Handle());
    for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port; ++p) {
      if (!criteria.rs232_installed[p]) continue;
      if (results.IncludedCOMPort(p) != criteria.rs232_included[p]) {
        const HRESULT set = configuration_->SetRS232PortIncluded(p, results.IncludedCOMPort(p));
        if (com::FAILED(set)) return set;
        SetChanged(true);
      }
    }
  }
  return com::S_OK;
}

HRESULT VexR7100PPSrchIO::Test() {
  const int selected = list_->SelectedRow();
  if (selected < 0 || selected >= static_cast<int>(rows_.size())) return com::S_OK;
  const std::string row_address = rows_[selected].address;
  ui::BusyCursor busy(toolkit_);
  HRESULT hr = query_.Initialize(scope_.TXDelay(), configuration_, scope_.IOManager());
  if (com::FAILED(hr)) return hr;
  std::string reply;
  std::int16_t code = kQueryNoAnswer;
  hr = query_.Test(toolkit_, Handle(), ProbeAddress(row_address), &reply, &code);
  if (com::FAILED(hr)) return hr;
  // Only an answer (codes 0 to 3) replaces the row; otherwise it stays.
  if (code <= kQueryNotCompliant && !reply.empty()) {
    list_->RemoveRow(selected);
    rows_.erase(rows_.begin() + selected);
    int index = -1;
    hr = AddInstrumentToList(reply, row_address, &index);
    if (com::FAILED(hr)) return hr;
    list_->Select(index);
    list_->EnsureVisible(index);
  }
  MarkConnectedRow();
  return com::S_OK;
}

HRESULT VexR7100PPSrchIO::Discover() {
  m_lDiscoveryDelay += static_cast<std::int32_t>(kDiscoveryDelayMs);
  const bool in_time = m_lDiscoveryDelay < MAX_DISCOVERY_DELAY;
  CDebug::ForThisThread().Assert(in_time, "(m_lDiscoveryDelay < MAX_DISCOVERY_DELAY)", kModule,
                                 "TimerInstrumentDiscovery_Timer", "");
  if (!in_time) return com::ReportRichError(kInvalidPropertyValue, PageText(216), PageText(210));
  if (job_) return com::S_OK;
  text_working_->SetCaption("Checking instrument connection");
  text_working_->SetVisible(true);
  const std::string active = configuration_->ActiveAddress();
  std::string reply;
  std::int16_t code = kQueryNoAnswer;
  HRESULT hr = com::S_OK;
  {
    ui::BusyCursor busy(toolkit_);
    hr = query_.Test(toolkit_, Handle(), active, &reply, &code);
  }
  ShowWorking(false);
  if (com::FAILED(hr)) return hr;
  if (reply != configuration_->InstrumentID()) configuration_->SetInstrumentID(reply);
  if (code <= kQueryNotCompliant && !reply.empty()) {
    std::string shown = active;
    if (configuration_->ActivePortIsGPIB()) {
      const auto end = shown.rfind("::INSTR");
      if (end != std::string::npos) shown.erase(end);
    } else {
      shown = configuration_->ActiveIOPort();
    }
    int index = -1;
    hr = AddInstrumentToList(reply, shown, &index);
    if (com::FAILED(hr)) return hr;
    list_->Select(index);
    list_->EnsureVisible(index);
    list_->SetRowIcon(index, kConnectedIcon);
    test_->SetEnabled(true);
  }
  text_message_->SetCaption(PageText(270) + kCrLf + PageText(272));
  return com::S_OK;
}

HRESULT VexR7100PPSrchIO::ApplyChanges() {
  return Guard([this]() -> HRESULT {
    scope_.SetCenterPropertyPages(false);
    if (RefreshPending() || !configuration_) return com::S_OK;
    const int selected = list_->SelectedRow();
    if (selected >= 0 && selected < static_cast<int>(rows_.size())) {
      // A GPIB row becomes the address; a COM row only chooses the port,
      // which keeps its own baud rate and handshake.
      const SearchRow& row = rows_[selected];
      list_->SetRowIcon(selected, kConnectedIcon);
      HRESULT hr = IsGpibRow(row.address)
                       ? configuration_->SetActiveAddress(ProbeAddress(row.address))
                       : configuration_->SetActiveIOPort(row.address);
      if (com::FAILED(hr)) return hr;
      configuration_->SetInstrumentID(row.reply);
      hr = scope_.SetAddress(configuration_->ActiveAddress());
      if (com::FAILED(hr)) return hr;
      hr = scope_.IOConfigurationControl()->Copy(*configuration_);
      if (com::FAILED(hr)) return hr;
      scope_.SetInitialSearchMode(false);
      bool dont_show = scope_.DontShowIOHandshakeWarning();
      std::string last = scope_.LastIOHandshakeAddress();
      hr = IsHandshakeOK(toolkit_, Handle(), scope_.FontName(), scope_.FontSize(), &dont_show,
                         &last, configuration_->ActiveAddress(), row.reply);
      if (com::FAILED(hr)) return hr;
      scope_.SetDontShowIOHandshakeWarning(dont_show);
      scope_.SetLastIOHandshakeAddress(last);
      MarkConnectedRow();
    } else {
      // No row chosen: only the search criteria edited here are applied.
      const HRESULT hr = scope_.IOConfigurationControl()->Copy(*configuration_);
      if (com::FAILED(hr)) return hr;
    }
    return NotifyOtherPages();
  });
}

}  // namespace vex::control
