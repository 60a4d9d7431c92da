// CQueryInstrument: whether an instrument answers "*IDN?" at an address,
// and what it is, without the automation server.
//
// A query is split so that the instrument search can run the exchanges of
// different ports at once: Prepare* reads the configuration on the calling
// thread (and may raise its errors there), Exchange runs the I/O on any
// thread and only returns a code, the reply and the assertions that failed
// on the way, and Finish writes those assertions to the calling thread's
// support log. GPIBIDNQuery and RS232IDNQuery do the three in a row.
//
// Codes: 0 an IEEE 488.2 answer; 1 and 2 exist for models not supported
// (nothing produces them); 3 an answer without a comma; 4 no answer (empty
// reply, time-out, read error, or a failed serial setup); 5 the address
// could not be opened; 6 the wrong query for the address. Every I/O object
// a query opens is closed and released on every path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cio_configuration.h"
#include "vex/com/com.h"
#include "vex/io/io_interfaces.h"
#include "vex/ui/toolkit.h"

namespace vex::control {

inline constexpr std::int16_t kQueryFound = 0;
inline constexpr std::int16_t kQueryNotCompliant = 3;
inline constexpr std::int16_t kQueryNoAnswer = 4;
inline constexpr std::int16_t kQueryNoPort = 5;
inline constexpr std::int16_t kQueryWrongKind = 6;
inline constexpr std::int32_t kQueryTimeoutMs = 2500;
// Information icon, OK button, foreground: the verdict box's style.
inline constexpr std::uint32_t kTestBoxStyle = 65600;

struct ProbeRequest {
  std::string address;
  bool serial = false;
  std::int32_t baud = 9600;
  std::int32_t handshake = kHandshakeXonXoff;
  std::int16_t data_bits = 8;
  std::int16_t stop_bits = 1;  // 1, 15 (1.5) or 2, as the serial interface counts them
  std::int32_t wait_ms = 50;
};

struct ProbeOutcome {
  std::int16_t code = kQueryNoAnswer;
  std::string reply;
  // (condition, procedure) of assertions that failed during the exchange.
  std::vector<std::pair<std::string, std::string>> failed_assertions;
};

class CQueryInstrument {
 public:
  CQueryInstrument();

  // Shows the verdict in a centred box over `owner` and returns the code.
  HRESULT Test(ui::Toolkit& toolkit, ui::WindowHandle owner, std::string_view address,
               std::string* reply, std::int16_t* code);
  static std::int16_t IsValidInstrument(std::string_view reply);
  static std::string AppendAddressAt(std::string_view message, std::string_view address);
  HRESULT Initialize(std::int32_t wait_ms, CIOconfiguration* configuration,
                     com::IUnknown* io_manager);
  HRESULT RS232IDNQuery(std::string_view address, std::string* reply, std::int16_t* code);
  HRESULT GPIBIDNQuery(std::string_view address, std::string* reply, std::int16_t* code);
  static std::int16_t ModelCompatibility(std::string_view model);
  // Sleeps until `ms` milliseconds from now (a steady clock; never fails).
  static void Wait(std::int32_t ms);
  // Drops DTR and RTS with no handshake (and raises them with the old
  // handshake again when `restore`): frees an instrument held in a flow
  // control stop. Failed assertions are added to `failed`.
  static HRESULT DropHandshake(io::IIO* instrument, std::int32_t wait_ms, bool restore,
                               std::vector<std::pair<std::string, std::string>>* failed);

  // The split query. Prepare sets `*applicable` false (code 6) when the
  // query does not fit the address.
  HRESULT PrepareRS232(std::string_view address, ProbeRequest* request, bool* applicable) const;
  HRESULT PrepareGPIB(std::string_view address, ProbeRequest* request, bool* applicable) const;
  static ProbeOutcome Exchange(io::IIOManager* manager, const ProbeRequest& request);
  static void Finish(const ProbeOutcome& outcome);

  io::IIOManager* manager() const { return manager_.Get(); }
  std::int32_t wait_ms() const { return wait_ms_; }
  const std::vector<std::string>& ModelTable() const { return models_; }

 private:
  using PrepareFunction = HRESULT (CQueryInstrument::*)(std::string_view, ProbeRequest*,
                                                        bool*) const;
  // Prepare, exchange and finish in a row, for either kind of port.
  HRESULT Query(PrepareFunction prepare, std::string_view address, std::string* reply,
                std::int16_t* code);

  std::int32_t wait_ms_ = 50;
  CIOconfiguration* configuration_ = nullptr;
  com::ComPtr<io::IIOManager> manager_;
  std::vector<std::string> models_;
};

}  // namespace vex::control
