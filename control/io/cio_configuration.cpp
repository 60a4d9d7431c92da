#include "cio_configuration.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include "cdebug.h"
#include "vex/com/error_info.h"
#include "vex/io/host_name.h"
#include "vex/io/io_interfaces.h"
#include "vexr7100_localization.h"

namespace vex::control {
namespace {

constexpr const char* kModule = "CIOConfiguration";
constexpr std::int32_t kTextSource = 104;
constexpr std::int32_t kTextInvalidValue = 106;

std::string Upper(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == prefix;
}

// The single digit after `prefix` in a port string ("COM3" -> 3), or -1.
int PortDigit(std::string_view text, std::string_view prefix) {
  if (text.size() != prefix.size() + 1 || !StartsWithNoCase(text, prefix)) return -1;
  const char digit = text.back();
  return digit >= '0' && digit <= '9' ? digit - '0' : -1;
}

bool ValidParity(std::int32_t parity) {
  return parity == 1;
}
bool ValidHandshake(std::int32_t handshake) {
  return handshake == kHandshakeXonXoff || handshake == kHandshakeDtrDsr;
}

// The serial parameters of the four ports are checked as a whole before a
// blob or a variant is committed; the label names the failing check.
const char* CheckSerial(const std::array<std::array<std::int32_t, 3>, 5>& rs232) {
  for (int port = kFirstRs232Port; port <= kLastRs232Port; ++port) {
    if (!CIOconfiguration::IsBaudRate(rs232[port][0])) return "Select Case Baud Rate";
    if (!ValidParity(rs232[port][1])) return "Select Case Parity";
    if (!ValidHandshake(rs232[port][2])) return "Select Case Handshake";
  }
  return nullptr;
}

}  // namespace

com::HRESULT RaiseInvalidValue(std::string_view module, std::string_view procedure,
                               std::string_view location) {
  CDebug::ForThisThread().Assert(false, "False", module, procedure, location);
  return com::ReportRichError(kInvalidPropertyValue,
                              VexR7100Localization::TextOrEmpty(kTextInvalidValue),
                              VexR7100Localization::TextOrEmpty(kTextSource));
}

namespace {

// The refusal of an address: the grammar's message is the description.
HRESULT RaiseBadAddress(std::string_view procedure, const std::string& message) {
  CDebug::ForThisThread().Assert(false, "False", kModule, procedure, "Address");
  return com::ReportRichError(kInvalidPropertyValue, message,
                              VexR7100Localization::TextOrEmpty(kTextSource));
}

std::int32_t HandshakeCode(io::Handshake handshake) {
  switch (handshake) {
    case io::Handshake::kNone:
      return io::RS232_HandShake_None;
    case io::Handshake::kXonXoff:
      return kHandshakeXonXoff;
    case io::Handshake::kDtrDsr:
      return kHandshakeDtrDsr;
  }
  return kHandshakeXonXoff;
}

}  // namespace

bool AddressIsOnPort(std::string_view address, std::string_view port) {
  const std::string text = Upper(address);
  const std::string name = Upper(port);
  if (text.size() < name.size() || text.compare(0, name.size(), name) != 0) return false;
  return text.size() == name.size() || text.compare(name.size(), 2, "::") == 0;
}

CIOconfiguration::Criteria::Criteria() {
  for (auto& port : gpib_includes) port.fill(true);
  for (auto& port : rs232) port = {9600, 1, kHandshakeXonXoff};
}

bool CIOconfiguration::IsBaudRate(std::int32_t baud) {
  switch (baud) {
    case 1200:
    case 2400:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
      return true;
    default:
      return false;
  }
}

HRESULT CIOconfiguration::Copy(const CIOconfiguration& other) {
  if (&other == this) return com::S_OK;
  active_address_ = other.active_address_;
  active_port_ = other.active_port_;
  port_index_ = other.port_index_;
  is_gpib_ = other.is_gpib_;
  gpib_address_ = other.gpib_address_;
  instrument_id_ = other.instrument_id_;
  dtr_only_ = other.dtr_only_;
  criteria_ = other.criteria_;
  serial_extras_ = other.serial_extras_;
  return com::S_OK;
}

HRESULT CIOconfiguration::CheckGpibPort(std::int32_t port, std::string_view procedure) const {
  if (port < kFirstGpibPort || port > kLastGpibPort)
    return RaiseInvalidValue(kModule, procedure, "GPIB port");
  return com::S_OK;
}

HRESULT CIOconfiguration::CheckRs232Port(std::int32_t port, std::string_view procedure) const {
  if (port < kFirstRs232Port || port > kLastRs232Port)
    return RaiseInvalidValue(kModule, procedure, "RS232 port");
  return com::S_OK;
}

#define VEX_CHECK(call)               \
  do {                                \
    const HRESULT hr_ = (call);       \
    if (com::FAILED(hr_)) return hr_; \
  } while (0)

HRESULT CIOconfiguration::GPIBPortInstalled(std::int32_t port, bool* installed) const {
  VEX_CHECK(CheckGpibPort(port, "Get GPIBPortInstalled"));
  *installed = criteria_.gpib_installed[port];
  return com::S_OK;
}
HRESULT CIOconfiguration::SetGPIBPortInstalled(std::int32_t port, bool installed) {
  VEX_CHECK(CheckGpibPort(port, "Let GPIBPortInstalled"));
  criteria_.gpib_installed[port] = installed;
  return com::S_OK;
}
HRESULT CIOconfiguration::GPIBPortIncluded(std::int32_t port, bool* included) const {
  VEX_CHECK(CheckGpibPort(port, "Get GPIBPortIncluded"));
  *included = criteria_.gpib_included[port];
  return com::S_OK;
}
HRESULT CIOconfiguration::SetGPIBPortIncluded(std::int32_t port, bool included) {
  VEX_CHECK(CheckGpibPort(port, "Let GPIBPortIncluded"));
  criteria_.gpib_included[port] = included;
  return com::S_OK;
}

HRESULT CIOconfiguration::DataAsVariant(com::Variant* data) const {
  if (!data) return com::E_POINTER;
  auto flags = [](const bool* values, std::int32_t lbound) {
    com::SafeArray array;
    (void)com::SafeArray::Create(com::VT_BOOL, {{4, lbound}}, &array);
    for (std::int32_t i = 0; i < 4; ++i)
      (void)array.PutElement({lbound + i}, com::Variant(values[i]));
    return com::Variant(std::move(array));
  };
  com::SafeArray includes;
  (void)com::SafeArray::Create(com::VT_BOOL, {{4, 0}, {31, 0}}, &includes);
  for (std::int32_t p = 0; p < 4; ++p)
    for (std::int32_t a = 0; a < 31; ++a)
      (void)includes.PutElement({p, a}, com::Variant(bool(criteria_.gpib_includes[p][a])));
  com::SafeArray serial;
  (void)com::SafeArray::Create(com::VT_I4, {{4, 1}, {3, 0}}, &serial);
  for (std::int32_t p = 1; p <= 4; ++p)
    for (std::int32_t i = 0; i < 3; ++i)
      (void)serial.PutElement({p, i}, com::Variant(criteria_.rs232[p][i]));
  com::SafeArray outer;
  (void)com::SafeArray::Create(com::VT_VARIANT, {{6, 0}}, &outer);
  (void)outer.PutElement({0}, flags(criteria_.gpib_installed.data(), 0));
  (void)outer.PutElement({1}, flags(criteria_.gpib_included.data(), 0));
  (void)outer.PutElement({2}, com::Variant(std::move(includes)));
  (void)outer.PutElement({3}, flags(criteria_.rs232_installed.data() + 1, 1));
  (void)outer.PutElement({4}, flags(criteria_.rs232_included.data() + 1, 1));
  (void)outer.PutElement({5}, com::Variant(std::move(serial)));
  *data = com::Variant(std::move(outer));
  return com::S_OK;
}

namespace {

// The element at zero-based position (i, j) of a one- or two-dimensional
// array whose shape was checked; a value that is not a number reads as
// nullopt.
std::optional<std::int32_t> NumberAt(const com::SafeArray& array, std::int32_t i, std::int32_t j) {
  std::int32_t lb1 = 0, lb2 = 0;
  (void)array.GetLBound(1, &lb1);
  com::Variant value;
  HRESULT hr;
  if (array.Dims() == 2) {
    (void)array.GetLBound(2, &lb2);
    hr = array.GetElement({lb1 + i, lb2 + j}, &value);
  } else {
    hr = array.GetElement({lb1 + i}, &value);
  }
  if (com::FAILED(hr)) return std::nullopt;
  switch (value.vt()) {
    case com::VT_BOOL:
      return value.BoolVal() != com::VARIANT_FALSE ? -1 : 0;
    case com::VT_I2:
      return value.I2();
    case com::VT_I4:
      return value.I4();
    case com::VT_UI1:
      return value.UI1();
    default:
      return std::nullopt;
  }
}

}  // namespace

HRESULT CIOconfiguration::SetDataAsVariant(const com::Variant& data) {
  const com::Variant value = data.Dereferenced();
  const com::SafeArray* outer = value.Array();
  if (!outer || outer->Dims() != 1 || outer->Elements(1) != 6)
    return RaiseInvalidValue(kModule, "Let DataAsVariant", "Shape");
  std::int32_t lb = 0;
  (void)outer->GetLBound(1, &lb);
  // Each part must be an array of the expected dimensions and sizes.
  const std::array<std::pair<std::uint32_t, std::uint32_t>, 6> shapes = {
      {{4, 0}, {4, 0}, {4, 31}, {4, 0}, {4, 0}, {4, 3}}};
  std::array<com::Variant, 6> parts;
  for (std::int32_t k = 0; k < 6; ++k) {
    com::Variant element;
    if (com::FAILED(outer->GetElement({lb + k}, &element)))
      return RaiseInvalidValue(kModule, "Let DataAsVariant", "Shape");
    parts[k] = element.Dereferenced();
    const com::SafeArray* array = parts[k].Array();
    const auto [rows, columns] = shapes[k];
    if (!array || array->Elements(1) != rows ||
        (columns == 0 ? array->Dims() != 1 : array->Dims() != 2 || array->Elements(2) != columns))
      return RaiseInvalidValue(kModule, "Let DataAsVariant", "Shape");
  }
  Criteria next = criteria_;
  for (std::int32_t k = 0; k < 6; ++k) {
    const com::SafeArray& array = *parts[k].Array();
    for (std::int32_t i = 0; i < 4; ++i) {
      const std::int32_t columns = static_cast<std::int32_t>(shapes[k].second);
      for (std::int32_t j = 0; j < std::max(columns, 1); ++j) {
        const auto number = NumberAt(array, i, columns == 0 ? 0 : j);
        if (!number) return RaiseInvalidValue(kModule, "Let DataAsVariant", "Element type");
        const bool on = *number != 0;
        switch (k) {
          case 0:
            next.gpib_installed[i] = on;
            break;
          case 1:
            next.gpib_included[i] = on;
            break;
          case 2:
            next.gpib_includes[i][j] = on;
            break;
          case 3:
            next.rs232_installed[i + 1] = on;
            break;
          case 4:
            next.rs232_included[i + 1] = on;
            break;
          default:
            next.rs232[i + 1][j] = *number;
            break;
        }
      }
    }
  }
  if (const char* failed = CheckSerial(next.rs232))
    return RaiseInvalidValue(kModule, "Let DataAsVariant", failed);
  criteria_ = next;
  RebuildIfActiveSerial();
  return com::S_OK;
}

HRESULT CIOconfiguration::GPIBPortString(std::int32_t port, std::string* text) const {
  VEX_CHECK(CheckGpibPort(port, "Get GPIBPortString"));
  *text = kGpibPrefix + std::to_string(port);
  return com::S_OK;
}

HRESULT CIOconfiguration::RS232PortString(std::int32_t port, std::string* text) const {
  VEX_CHECK(CheckRs232Port(port, "Get RS232PortString"));
  *text = kRs232Prefix + std::to_string(port);
  return com::S_OK;
}

HRESULT CIOconfiguration::RS232PortInstalled(std::int32_t port, bool* installed) const {
  VEX_CHECK(CheckRs232Port(port, "Get RS232PortInstalled"));
  *installed = criteria_.rs232_installed[port];
  return com::S_OK;
}
HRESULT CIOconfiguration::SetRS232PortInstalled(std::int32_t port, bool installed) {
  VEX_CHECK(CheckRs232Port(port, "Let RS232PortInstalled"));
  criteria_.rs232_installed[port] = installed;
  return com::S_OK;
}
HRESULT CIOconfiguration::RS232PortIncluded(std::int32_t port, bool* included) const {
  VEX_CHECK(CheckRs232Port(port, "Get RS232PortIncluded"));
  *included = criteria_.rs232_included[port];
  return com::S_OK;
}
HRESULT CIOconfiguration::SetRS232PortIncluded(std::int32_t port, bool included) {
  VEX_CHECK(CheckRs232Port(port, "Let RS232PortIncluded"));
  criteria_.rs232_included[port] = included;
  return com::S_OK;
}

bool CIOconfiguration::IsValidGPIBPortString(std::string_view text) {
  const int digit = PortDigit(text, kGpibPrefix);
  return digit >= kFirstGpibPort && digit <= kLastGpibPort;
}

bool CIOconfiguration::IsValidRS232PortString(std::string_view text) {
  const int digit = PortDigit(text, kRs232Prefix);
  return digit >= kFirstRs232Port && digit <= kLastRs232Port;
}

HRESULT CIOconfiguration::RS232PortIndex(std::string_view port, std::int32_t* index) const {
  const int digit = PortDigit(port, kRs232Prefix);
  if (digit < kFirstRs232Port || digit > kLastRs232Port)
    return RaiseInvalidValue(kModule, "RS232PortIndex", "Port");
  *index = digit;
  return com::S_OK;
}

HRESULT CIOconfiguration::GPIBPortIndex(std::string_view port, std::int32_t* index) const {
  const int digit = PortDigit(port, kGpibPrefix);
  if (digit < kFirstGpibPort || digit > kLastGpibPort)
    return RaiseInvalidValue(kModule, "GPIBPortIndex", "Port");
  *index = digit;
  return com::S_OK;
}

std::vector<std::uint8_t> CIOconfiguration::SearchCriteriaBytes() const {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kSearchCriteriaSize);
  auto flag = [&](bool on) { bytes.push_back(on ? 0xFF : 0x00); };
  for (bool on : criteria_.gpib_installed) flag(on);
  for (bool on : criteria_.gpib_included) flag(on);
  for (const auto& port : criteria_.gpib_includes)
    for (bool on : port) flag(on);
  for (int p = 1; p <= 4; ++p) flag(criteria_.rs232_installed[p]);
  for (int p = 1; p <= 4; ++p) flag(criteria_.rs232_included[p]);
  for (int p = 1; p <= 4; ++p) {
    const auto baud = static_cast<std::uint32_t>(criteria_.rs232[p][0]);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back((baud >> shift) & 0xFF);
    bytes.push_back(static_cast<std::uint8_t>(criteria_.rs232[p][1]));
    bytes.push_back(static_cast<std::uint8_t>(criteria_.rs232[p][2]));
  }
  CDebug::ForThisThread().Assert(bytes.size() == kSearchCriteriaSize, "(iCount = iSize)", kModule,
                                 "WriteProperties", "SearchCriteria");
  return bytes;
}

HRESULT CIOconfiguration::SetSearchCriteriaBytes(std::span<const std::uint8_t> bytes) {
  CDebug& debug = CDebug::ForThisThread();
  debug.Assert(bytes.size() == kSearchCriteriaSize, "(lElements = SEARCH_CRITERIA_SIZE)", kModule,
               "ReadProperties", "SearchCriteria");
  if (bytes.size() != kSearchCriteriaSize)
    return RaiseInvalidValue(kModule, "ReadProperties", "SearchCriteria size");
  Criteria next = criteria_;
  std::size_t count = 0;
  auto flag = [&] { return bytes[count++] != 0; };
  for (auto& on : next.gpib_installed) on = flag();
  for (auto& on : next.gpib_included) on = flag();
  for (auto& port : next.gpib_includes)
    for (auto& on : port) on = flag();
  for (int p = 1; p <= 4; ++p) next.rs232_installed[p] = flag();
  for (int p = 1; p <= 4; ++p) next.rs232_included[p] = flag();
  for (int p = 1; p <= 4; ++p) {
    std::uint32_t baud = 0;
    for (int shift = 0; shift < 32; shift += 8) baud |= std::uint32_t{bytes[count++]} << shift;
    next.rs232[p][0] = static_cast<std::int32_t>(baud);
    next.rs232[p][1] = bytes[count++];
    next.rs232[p][2] = bytes[count++];
  }
  debug.Assert(count == kSearchCriteriaSize, "(iCount = iSize)", kModule, "ReadProperties",
               "SearchCriteria");
  if (const char* failed = CheckSerial(next.rs232))
    return RaiseInvalidValue(kModule, "ReadProperties", failed);
  criteria_ = next;
  RebuildIfActiveSerial();
  return com::S_OK;
}

HRESULT CIOconfiguration::WriteProperties(com::IPropertyBag* bag) {
  if (!bag) return com::E_POINTER;
  // A value at its default is not stored.
  if (!instrument_id_.empty())
    VEX_CHECK(bag->Write(Bstr("ActiveAddressInstrumentID"), com::Variant(instrument_id_)));
  if (dtr_only_) VEX_CHECK(bag->Write(Bstr("DTROnly"), com::Variant(true)));
  const std::vector<std::uint8_t> bytes = SearchCriteriaBytes();
  CIOconfiguration defaults;
  if (bytes != defaults.SearchCriteriaBytes())
    VEX_CHECK(bag->Write(Bstr("SearchCriteria"), com::Variant(com::SafeArray::FromBytes(bytes))));
  return com::S_OK;
}

HRESULT CIOconfiguration::ReadProperties(com::IPropertyBag* bag) {
  if (!bag) return com::E_POINTER;
  // A missing key keeps the default; the bag's error for it is dropped.
  auto read = [&](const char* key, com::Variant* value) {
    const HRESULT hr = bag->Read(Bstr(key), value, nullptr);
    if (com::FAILED(hr)) com::SetErrorInfo(0, nullptr);
    return com::SUCCEEDED(hr);
  };
  com::Variant id{""};
  instrument_id_ = read("ActiveAddressInstrumentID", &id) ? id.BstrVal().Str() : std::string();
  com::Variant dtr{false};
  const bool dtr_only = read("DTROnly", &dtr) && dtr.BoolVal() != com::VARIANT_FALSE;
  com::Variant criteria;
  HRESULT result = com::S_OK;
  if (read("SearchCriteria", &criteria)) {
    const com::SafeArray* array = criteria.Array();
    if (!array || criteria.vt() != (com::VT_ARRAY | com::VT_UI1) || array->Dims() != 1) {
      result = RaiseInvalidValue(kModule, "ReadProperties", "SearchCriteria type");
    } else {
      result = SetSearchCriteriaBytes(array->Span<const std::uint8_t>());
    }
  }
  // DTROnly is applied after the criteria, as the Let does: it forces DTR/DSR.
  SetDTROnly(dtr_only);
  return result;
}

HRESULT CIOconfiguration::GPIBPortIncludes(std::int32_t port, std::int32_t address,
                                           bool* included) const {
  VEX_CHECK(CheckGpibPort(port, "Get GPIBPortIncludes"));
  if (address < kFirstGpibInclude || address > kLastGpibInclude)
    return RaiseInvalidValue(kModule, "Get GPIBPortIncludes", "Address");
  *included = criteria_.gpib_includes[port][address];
  return com::S_OK;
}

HRESULT CIOconfiguration::SetGPIBPortIncludes(std::int32_t port, std::int32_t address,
                                              bool included) {
  VEX_CHECK(CheckGpibPort(port, "Let GPIBPortIncludes"));
  if (address < kFirstGpibInclude || address > kLastGpibInclude)
    return RaiseInvalidValue(kModule, "Let GPIBPortIncludes", "Address");
  criteria_.gpib_includes[port][address] = included;
  return com::S_OK;
}

HRESULT CIOconfiguration::BaudRate(std::int32_t port, std::int32_t* baud) const {
  VEX_CHECK(CheckRs232Port(port, "Get BaudRate"));
  *baud = criteria_.rs232[port][0];
  return com::S_OK;
}
HRESULT CIOconfiguration::SetBaudRate(std::int32_t port, std::int32_t baud) {
  VEX_CHECK(CheckRs232Port(port, "Let BaudRate"));
  if (!IsBaudRate(baud)) return RaiseInvalidValue(kModule, "Let BaudRate", "Select Case Baud Rate");
  criteria_.rs232[port][0] = baud;
  // The active port's rate set here replaces the one its address asked for.
  if (!is_gpib_ && port == port_index_) serial_extras_.baud.reset();
  RebuildIfActiveSerial();
  return com::S_OK;
}
HRESULT CIOconfiguration::Parity(std::int32_t port, std::int32_t* parity) const {
  VEX_CHECK(CheckRs232Port(port, "Get Parity"));
  *parity = criteria_.rs232[port][1];
  return com::S_OK;
}
HRESULT CIOconfiguration::SetParity(std::int32_t port, std::int32_t parity) {
  VEX_CHECK(CheckRs232Port(port, "Let Parity"));
  if (!ValidParity(parity)) return RaiseInvalidValue(kModule, "Let Parity", "Select Case Parity");
  criteria_.rs232[port][1] = parity;
  return com::S_OK;
}
HRESULT CIOconfiguration::Handshake(std::int32_t port, std::int32_t* handshake) const {
  VEX_CHECK(CheckRs232Port(port, "Get Handshake"));
  *handshake = criteria_.rs232[port][2];
  return com::S_OK;
}
HRESULT CIOconfiguration::SetHandshake(std::int32_t port, std::int32_t handshake) {
  VEX_CHECK(CheckRs232Port(port, "Let Handshake"));
  if (!ValidHandshake(handshake))
    return RaiseInvalidValue(kModule, "Let Handshake", "Select Case Handshake");
  criteria_.rs232[port][2] = handshake;
  if (!is_gpib_ && port == port_index_) serial_extras_.handshake.reset();
  RebuildIfActiveSerial();
  return com::S_OK;
}

HRESULT CIOconfiguration::FindAddresses(com::IUnknown* io_manager, const std::string& pattern,
                                        std::vector<std::string>* addresses) const {
  addresses->clear();
  com::ComPtr<io::IIOManager> manager;
  if (!io_manager || com::FAILED(com::ComPtr<com::IUnknown>(io_manager).As(&manager)))
    return com::E_NOINTERFACE;
  com::ComPtr<com::IDispatch> collection;
  HRESULT hr = manager->FindIO(Bstr(pattern), collection.ReleaseAndGetAddressOf());
  if (com::FAILED(hr)) return hr;
  com::Variant count_value;
  hr = com::GetProperty(collection.Get(), "Count", &count_value);
  if (com::FAILED(hr)) return hr;
  const std::int32_t count = count_value.vt() == com::VT_I4 ? count_value.I4() : 0;
  for (std::int32_t i = 1; i <= count; ++i) {
    com::Variant item;
    if (com::FAILED(com::CallMethod(collection.Get(), "Item", {com::Variant(i)}, &item))) continue;
    com::ComPtr<io::IIO> io;
    com::IUnknown* unknown = item.Unknown();
    if (!unknown || com::FAILED(com::ComPtr<com::IUnknown>(unknown).As(&io))) continue;
    Bstr address;
    if (com::SUCCEEDED(io->get_Address(&address))) addresses->push_back(address.Str());
    // Every object the manager handed out is closed, found or not.
    com::ComPtr<io::IIOConnection> connection;
    if (com::SUCCEEDED(io->get_Connection(connection.ReleaseAndGetAddressOf())) && connection)
      (void)connection->Close();
  }
  com::SetErrorInfo(0, nullptr);
  return com::S_OK;
}

HRESULT CIOconfiguration::FindAll(com::IUnknown* io_manager) {
  std::vector<std::string> addresses;
  VEX_CHECK(FindAddresses(io_manager, "COM*", &addresses));
  Criteria next = criteria_;
  for (int p = kFirstRs232Port; p <= kLastRs232Port; ++p) {
    next.rs232_installed[p] = false;
    for (const auto& address : addresses)
      if (AddressIsOnPort(address, kRs232Prefix + std::to_string(p)))
        next.rs232_installed[p] = true;
  }
  VEX_CHECK(FindAddresses(io_manager, "GPIB*", &addresses));
  for (int p = kFirstGpibPort; p <= kLastGpibPort; ++p) {
    next.gpib_installed[p] = false;
    next.gpib_found[p].fill(false);
    for (const auto& address : addresses) {
      if (!AddressIsOnPort(address, kGpibPrefix + std::to_string(p))) continue;
      next.gpib_installed[p] = true;
      std::int32_t a = 0;
      if (com::SUCCEEDED(GPIBInstrumentAddress(address, &a)))
        next.gpib_found[p][a] = true;
      else
        com::SetErrorInfo(0, nullptr);
    }
  }
  criteria_ = next;
  return com::S_OK;
}

HRESULT CIOconfiguration::FindGPIBPort(std::int32_t port, com::IUnknown* io_manager, bool* found) {
  VEX_CHECK(CheckGpibPort(port, "FindGPIBPort"));
  *found = false;
  criteria_.gpib_found[port].fill(false);
  std::vector<std::string> addresses;
  const std::string name = kGpibPrefix + std::to_string(port);
  VEX_CHECK(FindAddresses(io_manager, name, &addresses));
  for (const auto& address : addresses) {
    if (!AddressIsOnPort(address, name)) continue;
    *found = true;
    std::int32_t a = 0;
    if (com::SUCCEEDED(GPIBInstrumentAddress(address, &a)))
      criteria_.gpib_found[port][a] = true;
    else
      com::SetErrorInfo(0, nullptr);
  }
  return com::S_OK;
}

HRESULT CIOconfiguration::FindRS232Port(std::int32_t port, com::IUnknown* io_manager, bool* found) {
  VEX_CHECK(CheckRs232Port(port, "FindRS232Port"));
  *found = false;
  std::vector<std::string> addresses;
  // The manager lists serial ports by "COM*" only; the port is picked out
  // by its whole name.
  VEX_CHECK(FindAddresses(io_manager, "COM*", &addresses));
  const std::string name = kRs232Prefix + std::to_string(port);
  for (const auto& address : addresses)
    if (AddressIsOnPort(address, name)) *found = true;
  return com::S_OK;
}

HRESULT CIOconfiguration::GPIBInstrumentFound(std::int32_t port, std::int32_t address,
                                              bool* found) const {
  VEX_CHECK(CheckGpibPort(port, "Get GPIBInstrumentFound"));
  if (address < kFirstGpibInclude || address > kLastGpibInclude)
    return RaiseInvalidValue(kModule, "Get GPIBInstrumentFound", "Address");
  *found = criteria_.gpib_found[port][address];
  return com::S_OK;
}

HRESULT CIOconfiguration::GPIBInstrumentAddress(std::string_view address,
                                                std::int32_t* value) const {
  auto parsed = io::ParseAddress(address);
  if (!parsed) return RaiseBadAddress("GPIBInstrumentAddress", parsed.status().message());
  if (parsed->kind != io::Address::Kind::kGpib)
    return RaiseInvalidValue(kModule, "GPIBInstrumentAddress", "Not GPIB");
  *value = parsed->gpib_address;
  return com::S_OK;
}

bool CIOconfiguration::HasInstalledPorts() const {
  for (bool on : criteria_.gpib_installed)
    if (on) return true;
  for (int p = kFirstRs232Port; p <= kLastRs232Port; ++p)
    if (criteria_.rs232_installed[p]) return true;
  return false;
}

HRESULT CIOconfiguration::SetActiveIOPort(std::string_view port) {
  const std::string text = Upper(port);
  CDebug& debug = CDebug::ForThisThread();
  if (StartsWithNoCase(text, kGpibPrefix)) {
    const bool valid = IsValidGPIBPortString(text);
    debug.Assert(valid, "IsValidGPIBPortString(sPort)", kModule, "Let ActiveIOPort", "GPIB");
    if (!valid) return RaiseInvalidValue(kModule, "Let ActiveIOPort", "GPIB");
    active_port_ = text;
    port_index_ = text.back() - '0';
    is_gpib_ = true;
  } else {
    const bool valid = IsValidRS232PortString(text);
    debug.Assert(valid, "IsValidRS232PortString(sPort)", kModule, "Let ActiveIOPort", "RS232");
    if (!valid) return RaiseInvalidValue(kModule, "Let ActiveIOPort", "RS232");
    active_port_ = text;
    port_index_ = text.back() - '0';
    is_gpib_ = false;
    gpib_address_ = 0;
  }
  // A port picked anew has the settings of its fields only.
  serial_extras_ = io::Address();
  RebuildAddress();
  return com::S_OK;
}

HRESULT CIOconfiguration::ActivePortBaudRate(std::int32_t* baud) const {
  if (is_gpib_) return RaiseInvalidValue(kModule, "Get ActivePortBaudRate", "Not RS232");
  *baud = criteria_.rs232[port_index_][0];
  return com::S_OK;
}

HRESULT CIOconfiguration::SetActivePortBaudRate(std::int32_t baud) {
  // A GPIB port has no baud rate: refused rather than indexing the COM
  // table with a GPIB index.
  if (is_gpib_) return RaiseInvalidValue(kModule, "Let ActivePortBaudRate", "Not RS232");
  if (!IsBaudRate(baud)) return com::S_OK;  // ignored, as the Let always did
  criteria_.rs232[port_index_][0] = baud;
  serial_extras_.baud.reset();
  RebuildAddress();
  return com::S_OK;
}

HRESULT CIOconfiguration::ActivePortGPIBAddress(std::int32_t* address) const {
  CDebug::ForThisThread().Assert(is_gpib_, "m_bIsGPIB", kModule, "Get ActivePortGPIBAddress", "");
  *address = gpib_address_;
  return com::S_OK;
}

HRESULT CIOconfiguration::SetActivePortGPIBAddress(std::int32_t address) {
  if (address < kFirstGpibInclude || address > kLastGpibInclude)
    return RaiseInvalidValue(kModule, "Let ActivePortGPIBAddress", "Address");
  gpib_address_ = address;
  if (is_gpib_) RebuildAddress();
  return com::S_OK;
}

HRESULT CIOconfiguration::ActivePortHandshake(std::int32_t* handshake) const {
  if (is_gpib_) return RaiseInvalidValue(kModule, "Get ActivePortHandshake", "Not RS232");
  *handshake = criteria_.rs232[port_index_][2];
  return com::S_OK;
}

HRESULT CIOconfiguration::SetActivePortHandshake(std::int32_t handshake) {
  if (!ValidHandshake(handshake))
    return RaiseInvalidValue(kModule, "Let ActivePortHandshake", "Handshake");
  if (is_gpib_) return RaiseInvalidValue(kModule, "Let ActivePortHandshake", "Not RS232");
  criteria_.rs232[port_index_][2] = handshake;
  serial_extras_.handshake.reset();
  RebuildAddress();
  return com::S_OK;
}

HRESULT CIOconfiguration::IsStringGPIB(std::string_view address, bool* is_gpib) const {
  // Every address that is not a serial port's is queried as GPIB is.
  auto parsed = io::ParseAddress(address);
  if (!parsed) return RaiseBadAddress("IsStringGPIB", parsed.status().message());
  *is_gpib = parsed->kind != io::Address::Kind::kSerial;
  return com::S_OK;
}

std::string CIOconfiguration::BuildAddress() const {
  if (is_gpib_) return active_port_ + "::" + std::to_string(gpib_address_) + "::INSTR";
  // The port's baud rate and handshake, unless the address asked for one
  // the fields cannot hold; 9600 baud and XON/XOFF are left out.
  io::Address address = serial_extras_;
  address.kind = io::Address::Kind::kSerial;
  address.board = port_index_;
  if (!address.baud && criteria_.rs232[port_index_][0] != 9600)
    address.baud = criteria_.rs232[port_index_][0];
  if (!address.handshake && criteria_.rs232[port_index_][2] == kHandshakeDtrDsr)
    address.handshake = io::Handshake::kDtrDsr;
  return address.ToString();
}

void CIOconfiguration::RebuildIfActiveSerial() {
  if (!is_gpib_ && AddressIsOnPort(active_address_, active_port_)) RebuildAddress();
}

HRESULT CIOconfiguration::SetSerialAddress(const io::Address& address) {
  const std::int32_t index = address.board;
  io::Address extras;
  std::int32_t baud = 9600;
  if (address.baud) {
    if (IsBaudRate(*address.baud))
      baud = *address.baud;
    else
      extras.baud = address.baud;
  }
  std::int32_t handshake = dtr_only_ ? kHandshakeDtrDsr : kHandshakeXonXoff;
  if (address.handshake) {
    if (dtr_only_ && *address.handshake != io::Handshake::kDtrDsr) {
      return RaiseBadAddress("Let ActiveAddressString",
                             "address " + io::QuotedForMessage(address.ToString()) +
                                 " asks for handshake " + io::HandshakeName(*address.handshake) +
                                 ", but DTROnly allows DTR_DSR only");
    }
    if (*address.handshake == io::Handshake::kNone)
      extras.handshake = address.handshake;
    else
      handshake = HandshakeCode(*address.handshake);
  }
  // 8 data bits, no parity and one stop bit are what every port has.
  if (address.data_bits && *address.data_bits != 8) extras.data_bits = address.data_bits;
  if (address.parity && *address.parity != io::Parity::kNone) extras.parity = address.parity;
  if (address.stop_bits && *address.stop_bits != io::StopBits::kOne)
    extras.stop_bits = address.stop_bits;
  // All of it parsed: commit the port and its parameters together.
  active_port_ = kRs232Prefix + std::to_string(index);
  port_index_ = index;
  is_gpib_ = false;
  gpib_address_ = 0;
  if (!extras.baud) criteria_.rs232[index][0] = baud;
  if (!extras.handshake) criteria_.rs232[index][2] = handshake;
  serial_extras_ = extras;
  RebuildAddress();
  return com::S_OK;
}

HRESULT CIOconfiguration::SetActiveAddress(std::string_view text) {
  auto parsed = io::ParseAddress(text);
  if (!parsed) return RaiseBadAddress("Let ActiveAddressString", parsed.status().message());
  const io::Address& address = *parsed;
  if (address.kind == io::Address::Kind::kSerial) return SetSerialAddress(address);
  serial_extras_ = io::Address();
  if (address.kind == io::Address::Kind::kGpib && address.board <= kLastGpibPort) {
    // The interface and the address go into the fields.
    active_port_ = kGpibPrefix + std::to_string(address.board);
    port_index_ = address.board;
    is_gpib_ = true;
    gpib_address_ = address.gpib_address;
    RebuildAddress();
    return com::S_OK;
  }
  // The other GPIB boards and LAN addresses have no fields: kept as given.
  active_address_ = address.ToString();
  return com::S_OK;
}

std::string CIOconfiguration::AutomationServerAddress() const {
  auto parsed = io::ParseAddress(active_address_);
  if (!parsed || parsed->kind != io::Address::Kind::kSerial) return active_address_;
  if (!parsed->handshake) parsed->handshake = io::Handshake::kXonXoff;
  return parsed->ToString();
}

void CIOconfiguration::SetInstrumentID(std::string_view id) {
  if (id != instrument_id_) instrument_id_ = std::string(id);
}

void CIOconfiguration::SetDTROnly(bool on) {
  if (on == dtr_only_) return;
  dtr_only_ = on;
  if (on) {
    for (int p = kFirstRs232Port; p <= kLastRs232Port; ++p)
      criteria_.rs232[p][2] = kHandshakeDtrDsr;
    serial_extras_.handshake.reset();
    RebuildIfActiveSerial();
  }
}

HRESULT CIOconfiguration::get_ActiveAddressString(Bstr* address) {
  if (!address) return com::E_POINTER;
  *address = Bstr(active_address_);
  return com::S_OK;
}

HRESULT CIOconfiguration::put_ActiveAddressString(const Bstr& address) {
  return SetActiveAddress(address.View());
}

HRESULT CIOconfiguration::get_ActiveAutomationServerAddress(Bstr* address) {
  if (!address) return com::E_POINTER;
  *address = Bstr(AutomationServerAddress());
  return com::S_OK;
}

HRESULT CIOconfiguration::get_ActiveAddressInstrumentID(Bstr* id) {
  if (!id) return com::E_POINTER;
  *id = Bstr(instrument_id_);
  return com::S_OK;
}

HRESULT CIOconfiguration::put_ActiveAddressInstrumentID(const Bstr& id) {
  SetInstrumentID(id.View());
  return com::S_OK;
}

}  // namespace vex::control
