// VexR7100PPSrchIO: the "Search Instruments" property page. It lists the
// instruments found on the GPIB interfaces and COM ports, tests one, and
// makes the selected one the control's address when applied.
//
// Responsiveness: the search runs on a worker thread of the page (the
// search itself probes different ports on threads of its own) with a
// private copy of the page-side configuration; a 50 ms timer on the UI
// event loop shows its progress, shows the boxes of ports that could not be
// opened and, once it has ended, fills the list on the UI thread. The
// control is only ever called from the UI thread. While the search runs,
// Cancel stops it before its next probes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cquery_instrument.h"
#include "instrument_search.h"
#include "scope_page.h"

namespace vex::control {

inline constexpr std::int32_t MAX_DISCOVERY_DELAY = 3000;

class VexR7100PPSrchIO final : public ScopePage {
 public:
  static constexpr std::uint32_t kPollIntervalMs = 50;
  static constexpr std::uint32_t kDiscoveryDelayMs = 100;
  static constexpr std::uint32_t kIdleIntervalMs = 200;

  VexR7100PPSrchIO(ui::Toolkit& toolkit, IPPVexR7100Scope& scope);
  ~VexR7100PPSrchIO() override;

  std::string Caption() const override;
  void Build(ui::Form& form) override;
  void Activate() override;
  HRESULT ApplyChanges() override;
  void Deactivate() override;

  // Whether a search is running (for tests that wait for it).
  bool Searching() const { return job_ != nullptr; }
  const std::vector<SearchRow>& Rows() const { return rows_; }

 private:
  struct Job;

  HRESULT FirstSelection();
  HRESULT StartSearch();
  HRESULT PollSearch();
  HRESULT FinishSearch(HRESULT hr);
  void StopSearch();
  HRESULT Test();
  HRESULT Discover();
  HRESULT AddInstrumentToList(std::string_view reply, std::string_view address, int* index);
  // Gives the "ConnectedInstrument" icon to the row of the active address
  // only; returns its index or -1.
  int MarkConnectedRow();
  void ShowWorking(bool on);

  CIOconfiguration* configuration_ = nullptr;
  CQueryInstrument query_;
  bool initial_search_mode_ = false;
  std::int32_t m_lDiscoveryDelay = 0;
  std::vector<SearchRow> rows_;  // parallel to the list's rows
  std::unique_ptr<Job> job_;

  ui::ListView* list_ = nullptr;
  ui::Label* label_supported_ = nullptr;
  ui::Button* test_ = nullptr;
  ui::Button* search_ = nullptr;
  ui::Button* cancel_ = nullptr;
  ui::Label* text_working_ = nullptr;
  ui::ProgressBar* progress_ = nullptr;
  ui::Label* text_message_ = nullptr;
  std::unique_ptr<ui::Timer> timer_idle_;
  std::unique_ptr<ui::Timer> timer_discovery_;
  std::unique_ptr<ui::Timer> timer_search_;
};

}  // namespace vex::control
