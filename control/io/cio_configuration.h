// CIOconfiguration: how the control reaches the oscilloscope. Four GPIB
// interfaces (GPIB0..GPIB3, indexed 0..3) and four serial ports (COM1..COM4,
// indexed 1..4): which are installed, which take part in searches (and which
// GPIB addresses), the RS-232 parameters per COM port, the GPIB addresses
// seen by the last port discovery, the active address and the reply of the
// instrument last tested there.
//
// Addresses are parsed by the I/O library's grammar (vex/io/address.h), the
// one every other part of the system uses, so the configuration accepts and
// refuses exactly what the I/O component and the automation server do. The
// active address is kept in its canonical form:
//   - GPIB0 to GPIB3 and COM1 to COM4 go into the port fields (active port,
//     GPIB address, the COM port's baud rate and handshake), and the address
//     is rebuilt from them after every change of the active port, GPIB
//     address, baud rate or handshake;
//   - what a serial address asks for beyond those fields (a baud rate other
//     than the six of the pages, handshake NONE, a data size, parity or stop
//     bits other than 8, NONE and 1) is kept with it and stays in every
//     rebuilt address, until the baud rate or handshake is set through the
//     fields;
//   - other addresses (GPIB4 to GPIB15, TCPIP) are kept as they are, and the
//     port fields stay as they were.
// With DTROnly, a serial address that names any handshake but DTR_DSR is
// refused. ActiveAutomationServerAddress gives the automation server's form
// (always an explicit handshake for serial ports).
//
// Every refusal is the invalid-value status 0x8004017C with the localised
// source (text 104), after an assertion entry in this thread's support log
// naming "CIOConfiguration" and the operation. The description is the
// grammar's message for an address ("invalid address \"COM1::Parity=Z\":
// ..."), the localised text 106 for everything else. Operations that refuse
// change nothing: addresses and variant data are parsed into locals and
// committed only when all of it is valid.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vex/com/com.h"
#include "vex/com/property_bag.h"
#include "vex/control/io_configuration.h"
#include "vex/io/address.h"

namespace vex::control {

inline constexpr int kFirstGpibPort = 0;
inline constexpr int kLastGpibPort = 3;
inline constexpr int kFirstRs232Port = 1;
inline constexpr int kLastRs232Port = 4;
inline constexpr int kFirstGpibInclude = 0;
inline constexpr int kLastGpibInclude = 30;
inline constexpr const char* kGpibPrefix = "GPIB";
inline constexpr const char* kRs232Prefix = "COM";
inline constexpr std::int32_t kHandshakeXonXoff = 2;  // RS232_HandShake_XON_XOFF
inline constexpr std::int32_t kHandshakeDtrDsr = 4;   // RS232_HandShake_DTR_DSR
inline constexpr std::size_t kSearchCriteriaSize = 164;
inline constexpr const char* kDefaultActiveAddress = "GPIB0::7::INSTR";

// Raises the invalid-value error of the control after the assertion entry
// (module, procedure, location); returns the status.
com::HRESULT RaiseInvalidValue(std::string_view module, std::string_view procedure,
                               std::string_view location);

class CIOconfiguration : public com::Object<IIOConfiguration> {
 public:
  // The search criteria and per-port parameters, held apart from the active
  // address so that an operation can build a new set and commit it whole.
  struct Criteria {
    std::array<bool, 4> gpib_installed{};
    std::array<bool, 4> gpib_included{true, true, true, true};
    std::array<std::array<bool, 31>, 4> gpib_includes{};
    std::array<std::array<bool, 31>, 4> gpib_found{};  // not persisted
    std::array<bool, 5> rs232_installed{};             // [1..4]
    std::array<bool, 5> rs232_included{false, true, true, true, true};
    // [port 1..4][0 baud, 1 parity code, 2 handshake code]
    std::array<std::array<std::int32_t, 3>, 5> rs232{};
    Criteria();
  };

  CIOconfiguration() = default;

  HRESULT Copy(const CIOconfiguration& other);

  HRESULT GPIBPortInstalled(std::int32_t port, bool* installed) const;
  HRESULT SetGPIBPortInstalled(std::int32_t port, bool installed);
  HRESULT GPIBPortIncluded(std::int32_t port, bool* included) const;
  HRESULT SetGPIBPortIncluded(std::int32_t port, bool included);
  HRESULT DataAsVariant(com::Variant* data) const;
  HRESULT SetDataAsVariant(const com::Variant& data);
  HRESULT GPIBPortString(std::int32_t port, std::string* text) const;
  HRESULT RS232PortString(std::int32_t port, std::string* text) const;
  HRESULT RS232PortInstalled(std::int32_t port, bool* installed) const;
  HRESULT SetRS232PortInstalled(std::int32_t port, bool installed);
  HRESULT RS232PortIncluded(std::int32_t port, bool* included) const;
  HRESULT SetRS232PortIncluded(std::int32_t port, bool included);
  static bool IsValidGPIBPortString(std::string_view text);
  static bool IsValidRS232PortString(std::string_view text);
  HRESULT RS232PortIndex(std::string_view port, std::int32_t* index) const;
  HRESULT GPIBPortIndex(std::string_view port, std::int32_t* index) const;
  HRESULT WriteProperties(com::IPropertyBag* bag) override;
  HRESULT ReadProperties(com::IPropertyBag* bag) override;
  HRESULT GPIBPortIncludes(std::int32_t port, std::int32_t address, bool* included) const;
  HRESULT SetGPIBPortIncludes(std::int32_t port, std::int32_t address, bool included);
  HRESULT BaudRate(std::int32_t port, std::int32_t* baud) const;
  HRESULT SetBaudRate(std::int32_t port, std::int32_t baud);
  HRESULT Parity(std::int32_t port, std::int32_t* parity) const;
  HRESULT SetParity(std::int32_t port, std::int32_t parity);
  HRESULT Handshake(std::int32_t port, std::int32_t* handshake) const;
  HRESULT SetHandshake(std::int32_t port, std::int32_t handshake);
  // Port discovery through the I/O manager (IIOManager, or any object that
  // answers it). Every I/O object the manager returns is closed.
  HRESULT FindAll(com::IUnknown* io_manager);
  HRESULT FindGPIBPort(std::int32_t port, com::IUnknown* io_manager, bool* found);
  HRESULT FindRS232Port(std::int32_t port, com::IUnknown* io_manager, bool* found);
  HRESULT GPIBInstrumentFound(std::int32_t port, std::int32_t address, bool* found) const;
  HRESULT GPIBInstrumentAddress(std::string_view address, std::int32_t* value) const;
  bool HasInstalledPorts() const;
  const std::string& ActiveIOPort() const { return active_port_; }
  HRESULT SetActiveIOPort(std::string_view port);
  HRESULT ActivePortBaudRate(std::int32_t* baud) const;
  HRESULT SetActivePortBaudRate(std::int32_t baud);
  HRESULT ActivePortGPIBAddress(std::int32_t* address) const;
  HRESULT SetActivePortGPIBAddress(std::int32_t address);
  HRESULT ActivePortHandshake(std::int32_t* handshake) const;
  HRESULT SetActivePortHandshake(std::int32_t handshake);
  bool ActivePortIsGPIB() const { return is_gpib_; }
  std::int32_t IOPortIndex() const { return port_index_; }
  HRESULT IsStringGPIB(std::string_view address, bool* is_gpib) const;
  const std::string& ActiveAddress() const { return active_address_; }
  HRESULT SetActiveAddress(std::string_view address);
  std::string AutomationServerAddress() const;
  const std::string& InstrumentID() const { return instrument_id_; }
  void SetInstrumentID(std::string_view id);
  bool DTROnly() const { return dtr_only_; }
  void SetDTROnly(bool on);

  // IIOConfiguration
  HRESULT get_ActiveAddressString(Bstr* address) override;
  HRESULT put_ActiveAddressString(const Bstr& address) override;
  HRESULT get_ActiveAutomationServerAddress(Bstr* address) override;
  HRESULT get_ActiveAddressInstrumentID(Bstr* id) override;
  HRESULT put_ActiveAddressInstrumentID(const Bstr& id) override;

  // The 164-byte "SearchCriteria" blob and its reverse (which checks the
  // size and every baud, parity and handshake value, and commits nothing
  // when one is wrong).
  std::vector<std::uint8_t> SearchCriteriaBytes() const;
  HRESULT SetSearchCriteriaBytes(std::span<const std::uint8_t> bytes);

  const Criteria& criteria() const { return criteria_; }

  static bool IsBaudRate(std::int32_t baud);

 private:
  // The I/O-library address of the active port and its parameters.
  std::string BuildAddress() const;
  void RebuildAddress() { active_address_ = BuildAddress(); }
  // Rebuilds the address when it is the active COM port's own (not a
  // TCPIP or USB address stored as given).
  void RebuildIfActiveSerial();
  HRESULT CheckGpibPort(std::int32_t port, std::string_view procedure) const;
  HRESULT CheckRs232Port(std::int32_t port, std::string_view procedure) const;
  HRESULT SetSerialAddress(const io::Address& address);
  // The I/O objects of `pattern` with their addresses; every one closed.
  HRESULT FindAddresses(com::IUnknown* io_manager, const std::string& pattern,
                        std::vector<std::string>* addresses) const;

  std::string active_address_ = kDefaultActiveAddress;
  std::string active_port_ = "GPIB0";
  std::int32_t port_index_ = 0;
  bool is_gpib_ = true;
  std::int32_t gpib_address_ = 7;
  std::string instrument_id_;
  bool dtr_only_ = false;
  Criteria criteria_;
  // The settings of the active serial address that the port fields cannot
  // hold (only those are set); empty for any other address.
  io::Address serial_extras_;
};

// Whether `port` ("COM1", "GPIB0") names the whole interface part of
// `address`: the address is the port itself or continues with "::".
bool AddressIsOnPort(std::string_view address, std::string_view port);

}  // namespace vex::control
