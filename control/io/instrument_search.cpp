#include "instrument_search.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "cdebug.h"
#include "vex/com/error_info.h"
#include "vexr7100_localization.h"

namespace vex::control {
namespace {

constexpr const char* kModule = "VexR7100PPSrchIO";
constexpr const char* kCrLf = "\r\n";

std::string Text(std::int32_t id) {
  return VexR7100Localization::TextOrEmpty(id);
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// One probe of the search and, once run, its outcome.
struct Job {
  std::size_t lane = 0;
  std::string shown;  // the row address: "COM1", "GPIB0::7"
  bool serial = false;
  std::int32_t port = 0;  // COM port 1..4 for serial jobs
  ProbeRequest request;
  std::optional<ProbeOutcome> outcome;
};

}  // namespace

HRESULT InstrumentSearch::AddInstrumentToList(std::string_view reply, std::string_view address,
                                              SearchRow* row) {
  if (reply.empty()) {
    CDebug::ForThisThread().Assert(false, "(Len(sIDNResponse) > 0)", kModule, "AddInstrumentToList",
                                   "");
    return RaiseInvalidValue(kModule, "AddInstrumentToList", "Empty reply");
  }
  const std::size_t first = reply.find(',');
  row->manufacturer =
      first == std::string_view::npos ? Text(229) : std::string(reply.substr(0, first));
  if (first == std::string_view::npos) {
    row->model = Text(230);
  } else {
    const std::string_view rest = reply.substr(first + 1);
    row->model = std::string(rest.substr(0, rest.find(',')));
    const std::size_t model = Upper(row->model).find("MODEL");
    if (model != std::string::npos) row->model = row->model.substr(model + 5);
  }
  row->supported = CQueryInstrument::ModelCompatibility(row->model) == 0;
  row->address = std::string(address);
  row->reply = std::string(reply);
  return com::S_OK;
}

bool InstrumentSearch::RowMatchesAddress(std::string_view row_address,
                                         std::string_view active_address) {
  const std::string row = Upper(row_address);
  const std::string active = Upper(active_address);
  if (row.rfind(kRs232Prefix, 0) == 0) return active.substr(0, active.find("::")) == row;
  return row + "::INSTR" == active;
}

std::string InstrumentSearch::SilentPortsText() const {
  if (silent_ports_.empty()) return {};
  std::string text = Text(261) + kCrLf;
  for (const auto& port : silent_ports_) text += "    " + port + kCrLf;
  return text + kCrLf + Text(262) + kCrLf + kCrLf + Text(263);
}

HRESULT InstrumentSearch::Run(CIOconfiguration& configuration, com::IUnknown* io_manager,
                              std::int32_t wait_ms, Sink* sink) {
  cancelled_.store(false);
  rows_.clear();
  active_row_ = -1;
  silent_ports_.clear();
  probe_count_ = 0;
  auto progress = [&](const std::string& text, std::int32_t done, std::int32_t total) {
    if (sink) sink->Progress(text, done, total);
  };
  CQueryInstrument query;
  HRESULT hr = query.Initialize(wait_ms, &configuration, io_manager);
  if (com::FAILED(hr)) return hr;

  // 1. Port discovery when nothing is marked installed.
  if (!configuration.HasInstalledPorts()) {
    progress(Text(208), 0, 0);
    for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port; ++p) {
      bool found = false;
      hr = configuration.FindRS232Port(p, io_manager, &found);
      if (com::FAILED(hr)) return hr;
      if (found) (void)configuration.SetRS232PortInstalled(p, true);
    }
    for (std::int32_t n = kFirstGpibPort; n <= kLastGpibPort; ++n) {
      progress(kGpibPrefix + std::to_string(n), 0, 0);
      bool found = false;
      hr = configuration.FindGPIBPort(n, io_manager, &found);
      if (com::FAILED(hr)) return hr;
      if (found) (void)configuration.SetGPIBPortInstalled(n, true);
    }
  }
  if (cancelled_.load()) return com::E_ABORT;

  // 2-4. The probes to run, one lane per port or interface.
  progress(Text(209), 0, 0);
  const auto& criteria = configuration.criteria();
  auto not_listed = [&](const std::string& port) {
    if (sink)
      sink->PortNotListed(Text(207), CQueryInstrument::AppendAddressAt(Text(241), port) + kCrLf +
                                         kCrLf + Text(242) + Text(243));
  };
  std::array<bool, 5> com_found{};
  std::vector<Job> jobs;
  std::size_t lanes = 0;
  for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port; ++p) {
    com_found[p] = !criteria.rs232_installed[p] || !criteria.rs232_included[p];
    if (com_found[p]) continue;
    const std::string port = kRs232Prefix + std::to_string(p);
    bool listed = false;
    hr = configuration.FindRS232Port(p, io_manager, &listed);
    if (com::FAILED(hr)) return hr;
    if (!listed) {
      not_listed(port);
      continue;
    }
    Job job;
    job.lane = lanes++;
    job.shown = port;
    job.serial = true;
    job.port = p;
    bool applicable = false;
    hr = query.PrepareRS232(port, &job.request, &applicable);
    if (com::FAILED(hr)) return hr;
    jobs.push_back(std::move(job));
  }
  for (std::int32_t n = kFirstGpibPort; n <= kLastGpibPort; ++n) {
    if (!criteria.gpib_installed[n] || !criteria.gpib_included[n]) continue;
    const std::string board = kGpibPrefix + std::to_string(n);
    bool listed = false;
    hr = configuration.FindGPIBPort(n, io_manager, &listed);
    if (com::FAILED(hr)) return hr;
    if (!listed) {
      not_listed(board);
      continue;
    }
    const std::size_t lane = lanes;
    bool any = false;
    for (std::int32_t a = kFirstGpibInclude; a <= kLastGpibInclude; ++a) {
      if (!criteria.gpib_includes[n][a] || !criteria.gpib_found[n][a]) continue;
      Job job;
      job.lane = lane;
      job.shown = board + "::" + std::to_string(a);
      bool applicable = false;
      hr = query.PrepareGPIB(job.shown + "::INSTR", &job.request, &applicable);
      if (com::FAILED(hr)) return hr;
      jobs.push_back(std::move(job));
      any = true;
    }
    if (any) ++lanes;
  }
  probe_count_ = static_cast<std::int32_t>(jobs.size());
  const auto total = static_cast<std::int32_t>(jobs.size());
  progress(Text(209), 0, total);

  // The exchanges: workers run them and hand back outcomes; this thread
  // reports each as it arrives.
  io::IIOManager* manager = query.manager();
  std::int32_t done = 0;
  if (!concurrent_ || lanes <= 1) {
    for (auto& job : jobs) {
      if (cancelled_.load()) break;
      progress(job.shown, done, total);
      job.outcome = CQueryInstrument::Exchange(manager, job.request);
      progress(job.shown, ++done, total);
    }
  } else {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::size_t> finished;
    std::vector<std::thread> workers;
    workers.reserve(lanes);
    for (std::size_t lane = 0; lane < lanes; ++lane) {
      workers.emplace_back([&, lane] {
        for (std::size_t i = 0; i < jobs.size(); ++i) {
          if (jobs[i].lane != lane) continue;
          if (cancelled_.load()) break;
          ProbeOutcome outcome = CQueryInstrument::Exchange(manager, jobs[i].request);
          std::lock_guard lock(mutex);
          jobs[i].outcome = std::move(outcome);
          finished.push_back(i);
          changed.notify_all();
        }
        std::lock_guard lock(mutex);
        finished.push_back(jobs.size());  // this lane is done
        changed.notify_all();
      });
    }
    std::size_t lanes_done = 0;
    std::unique_lock lock(mutex);
    while (lanes_done < lanes) {
      changed.wait(lock, [&] { return !finished.empty(); });
      std::vector<std::size_t> batch;
      batch.swap(finished);
      lock.unlock();
      for (std::size_t i : batch) {
        if (i == jobs.size()) {
          ++lanes_done;
        } else {
          progress(jobs[i].shown, ++done, total);
        }
      }
      lock.lock();
    }
    lock.unlock();
    for (auto& worker : workers) worker.join();
  }

  // 3-4 (continued). Rows in the fixed order, errors for impossible codes.
  for (auto& job : jobs) {
    if (!job.outcome) continue;
    CQueryInstrument::Finish(*job.outcome);
    const std::int16_t code = job.outcome->code;
    if (code <= kQueryNotCompliant) {
      SearchRow row;
      hr = AddInstrumentToList(job.outcome->reply, job.shown, &row);
      if (com::FAILED(hr)) return hr;
      rows_.push_back(std::move(row));
      if (job.serial) com_found[job.port] = true;
    } else if (code != kQueryNoAnswer) {
      CDebug::ForThisThread().Assert(false, "Case Else", kModule, "Search_Click", "");
      return com::ReportRichError(
          kInvalidPropertyValue,
          CQueryInstrument::AppendAddressAt(Text(job.serial ? 109 : 110), job.request.address),
          Text(104));
    }
  }
  if (cancelled_.load()) return com::E_ABORT;

  // 5. The row of the active address, matched exactly.
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (RowMatchesAddress(rows_[i].address, configuration.ActiveAddress())) {
      active_row_ = static_cast<std::int32_t>(i);
      break;
    }
  }
  // 7. The COM ports on which nothing answered.
  for (std::int32_t p = kFirstRs232Port; p <= kLastRs232Port; ++p)
    if (!com_found[p]) silent_ports_.push_back(kRs232Prefix + std::to_string(p));
  // 6.
  if (!rows_.empty()) progress(Text(273), total, total);
  return com::S_OK;
}

}  // namespace vex::control
