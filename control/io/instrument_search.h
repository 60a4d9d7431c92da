// InstrumentSearch: finds the instruments on the installed and included COM
// ports and GPIB interfaces of a configuration, as the Search Instruments
// page lists them, without any user interface of its own.
//
// Order of work: port discovery when the configuration has no installed
// ports; then, for COM1..COM4 and GPIB0..GPIB3, the I/O manager's listing
// of the port (a port it no longer lists is reported to the sink and
// skipped) and the probes to run: "*IDN?" on each COM port, and on each
// GPIB address that discovery saw and the criteria include. The probes of
// different ports and GPIB interfaces run at the same time, one lane each
// (a port or a bus talks to one device at a time); inside a lane they run
// in ascending order. Rows are then made on the calling thread in the
// fixed order (COM ports, then GPIB interfaces and addresses), so the
// result does not depend on which probe finished first. Texts, assertions
// and errors are made on the calling thread too: the language and the
// support logger are per thread.
//
// The sink hears progress on the calling thread: the phase texts and each
// finished probe. Cancel (from any thread, or from the sink) stops the
// lanes before their next probe; Run then returns E_ABORT once every
// running probe has ended, keeping the rows it made.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "cio_configuration.h"
#include "cquery_instrument.h"

namespace vex::control {

struct SearchRow {
  std::string model;
  bool supported = false;  // the "X" column
  std::string address;     // GPIB without "::INSTR"; COM as the port name
  std::string manufacturer;
  std::string reply;
};

class InstrumentSearch {
 public:
  class Sink {
   public:
    virtual void Progress(const std::string& text, std::int32_t done, std::int32_t total) = 0;
    virtual void PortNotListed(const std::string& title, const std::string& message) = 0;

   protected:
    ~Sink() = default;
  };

  // One probe after the other on the calling thread when false (the
  // original way, kept for comparison); lanes in parallel when true.
  void SetConcurrent(bool on) { concurrent_ = on; }

  HRESULT Run(CIOconfiguration& configuration, com::IUnknown* io_manager, std::int32_t wait_ms,
              Sink* sink);
  void Cancel() { cancelled_.store(true); }

  const std::vector<SearchRow>& Rows() const { return rows_; }
  // The row of the active address (exact match), or -1.
  std::int32_t ActiveRow() const { return active_row_; }
  // Installed and included COM ports on which nothing answered ("COM2").
  const std::vector<std::string>& SilentPorts() const { return silent_ports_; }
  // The results form's message for the silent ports; empty when none.
  std::string SilentPortsText() const;
  // The number of probes the last run started (for tests and benchmarks).
  std::int32_t ProbeCount() const { return probe_count_; }

  // A row from an *IDN? reply; an empty reply is the invalid-value error.
  static HRESULT AddInstrumentToList(std::string_view reply, std::string_view address,
                                     SearchRow* row);
  // Whether a row's address is the active address exactly.
  static bool RowMatchesAddress(std::string_view row_address, std::string_view active_address);

 private:
  bool concurrent_ = true;
  std::atomic<bool> cancelled_{false};
  std::vector<SearchRow> rows_;
  std::int32_t active_row_ = -1;
  std::vector<std::string> silent_ports_;
  std::int32_t probe_count_ = 0;
};

}  // namespace vex::control
