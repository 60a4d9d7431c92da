// The scope control's I/O configuration, instrument identification and
// instrument search, as published to the control's clients (the command
// line, hosts). The objects are created through the C factories below,
// exported by the control library Vex9100.
//
// Every call returns a status; failures leave rich error information on the
// calling thread. An object is used from one thread at a time; the search
// runs its probes on threads of its own and calls the progress sink on the
// thread that called Run.
#pragma once

#include <cstdint>

#include "vex/com/com.h"
#include "vex/com/property_bag.h"

namespace vex::control {

using com::Bstr;
using com::HRESULT;

// The invalid-value status the configuration and the query raise.
inline constexpr com::HRESULT kInvalidPropertyValue = com::MakeHresult(0x8004017Cu);

// How the control reaches the instrument: active address, search criteria,
// per-port serial parameters. Keys in a property bag: "ActiveAddressInstrumentID",
// "DTROnly", "SearchCriteria" (the address is the caller's own key).
struct IIOConfiguration : com::IUnknown {
  using Base = com::IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5B2C8E40-71D3-4A9E-9C61-3F0A2B7D9E01}");
  // The address in the I/O library's form ("GPIB0::7::INSTR", "COM1::Baud=19200").
  virtual HRESULT get_ActiveAddressString(Bstr* address) = 0;
  virtual HRESULT put_ActiveAddressString(const Bstr& address) = 0;
  // The address for the automation server (an explicit handshake for COM ports).
  virtual HRESULT get_ActiveAutomationServerAddress(Bstr* address) = 0;
  virtual HRESULT get_ActiveAddressInstrumentID(Bstr* id) = 0;
  virtual HRESULT put_ActiveAddressInstrumentID(const Bstr& id) = 0;
  virtual HRESULT WriteProperties(com::IPropertyBag* bag) = 0;
  virtual HRESULT ReadProperties(com::IPropertyBag* bag) = 0;
};

// Identification of the instrument at an address by "*IDN?", without the
// automation server.
struct IInstrumentQuery : com::IUnknown {
  using Base = com::IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5B2C8E40-71D3-4A9E-9C61-3F0A2B7D9E02}");
  // `io_manager`: the I/O component's manager ("VexIOUtils.IOManager").
  virtual HRESULT Initialize(std::int32_t wait_ms, IIOConfiguration* configuration,
                             com::IUnknown* io_manager) = 0;
  // Runs the test of `address` with no window: the verdict box is recorded
  // instead of shown, and its title and text (lines end in CR LF) returned
  // with the code (0 to 5) and the instrument's reply.
  virtual HRESULT TestHeadless(const Bstr& address, Bstr* reply, std::int16_t* code, Bstr* title,
                               Bstr* message) = 0;
};

// What a running search reports, on the thread that called Run.
struct ISearchProgress : com::IUnknown {
  using Base = com::IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5B2C8E40-71D3-4A9E-9C61-3F0A2B7D9E03}");
  // `text`: the progress text (a phase or the port being searched); `done`
  // of `total` probes finished.
  virtual HRESULT Progress(const Bstr& text, std::int32_t done, std::int32_t total) = 0;
  // A port the I/O manager no longer lists (the "Could not open I/O port."
  // box of a page): its title and text. The search goes on.
  virtual HRESULT PortNotListed(const Bstr& title, const Bstr& message) = 0;
};

// The instrument search over the installed and included COM ports and GPIB
// interfaces of a configuration.
struct IInstrumentSearch : com::IUnknown {
  using Base = com::IUnknown;
  static constexpr com::IID kIid = com::MakeGuid("{5B2C8E40-71D3-4A9E-9C61-3F0A2B7D9E04}");
  // Runs the search; `progress` may be null. E_ABORT when cancelled (the
  // rows found so far are kept). Updates the configuration's installed
  // ports when it had none.
  virtual HRESULT Run(IIOConfiguration* configuration, com::IUnknown* io_manager,
                      std::int32_t wait_ms, ISearchProgress* progress) = 0;
  // Asks a running search to stop; callable from any thread.
  virtual HRESULT Cancel() = 0;
  virtual HRESULT get_RowCount(std::int32_t* count) = 0;
  // Row `index` (0-based): model, whether supported (the "X" mark), address
  // as shown (GPIB without "::INSTR"), manufacturer, the *IDN? reply.
  virtual HRESULT GetRow(std::int32_t index, Bstr* model, com::VARIANT_BOOL* supported,
                         Bstr* address, Bstr* manufacturer, Bstr* reply) = 0;
  // The row of the configuration's active address; -1 for none.
  virtual HRESULT get_ActiveRow(std::int32_t* index) = 0;
  // The installed and included COM ports on which nothing answered.
  virtual HRESULT get_SilentPortCount(std::int32_t* count) = 0;
  virtual HRESULT GetSilentPort(std::int32_t index, Bstr* port) = 0;
  // The results form's message for the silent ports (empty when none).
  virtual HRESULT get_SilentPortsText(Bstr* text) = 0;
};

}  // namespace vex::control

extern "C" {
vex::com::HRESULT VexCreateIOConfiguration(vex::control::IIOConfiguration** out);
vex::com::HRESULT VexCreateInstrumentQuery(vex::control::IInstrumentQuery** out);
vex::com::HRESULT VexCreateInstrumentSearch(vex::control::IInstrumentSearch** out);
}
