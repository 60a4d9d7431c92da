#include "io_manager.h"

#include <mutex>

#include "gpib_boards.h"
#include "instrument_io.h"
#include "vex/io/port_map.h"
#include "vex/io/serial_ports.h"
#include "vex/io/transport_factory.h"
#ifdef VEX_IO_HAVE_VXI11
#include "vex/io/vxi11_transport.h"
#endif

namespace vex::io {
namespace {

constexpr const char* kSource = "VexIOUtils.IOManager.1";

class IOCollection : public com::Object<com::IDispatch> {
 public:
  explicit IOCollection(std::vector<Variant> items) : items_(std::move(items)) {}

  HRESULT Item(std::int32_t index, Variant* item) {
    if (!item) return com::E_POINTER;
    if (index < 1 || static_cast<std::size_t>(index) > items_.size()) return com::DISP_E_BADINDEX;
    *item = items_[static_cast<std::size_t>(index) - 1];
    return com::S_OK;
  }
  HRESULT get_Count(std::int32_t* count) {
    if (!count) return com::E_POINTER;
    *count = static_cast<std::int32_t>(items_.size());
    return com::S_OK;
  }
  HRESULT get__NewEnum(IUnknown** out) {
    if (!out) return com::E_POINTER;
    com::IEnumVARIANT* e = nullptr;
    HRESULT hr = com::CreateVariantEnumerator(items_, &e);
    *out = e;
    return hr;
  }
  VEX_COM_IMPLEMENT_DISPATCH(IOCollection, Table())

 private:
  static const com::DispatchTable& Table() {
    static const com::DispatchTable table =
        com::DispatchTableBuilder<IOCollection>("IOCollection")
            .Method("Item", com::DISPID_VALUE, &IOCollection::Item,
                    {com::In("Index"), com::Retval("Item")})
            .Get("Count", 1, &IOCollection::get_Count)
            .Get("_NewEnum", com::DISPID_NEWENUM, &IOCollection::get__NewEnum)
            .Build();
    return table;
  }
  std::vector<Variant> items_;
};

Variant UnopenedIO(const Address& address) {
  auto io = com::MakeObject<InstrumentIO>();
  io->SetAddress(address);
  return Variant(static_cast<com::IDispatch*>(static_cast<IIO*>(io.Get())));
}

// The instruments of one board: the simulated bus knows its addresses; a
// gateway cannot be listed without probing every address, which is slow, so
// it lists nothing.
void ListBoard(int board, const GpibBoard& target, std::vector<Variant>* items) {
  if (!target.simulated) return;
  com::ComPtr<ISimulatedBus> bus;
  if (FAILED(com::CreateObjectByProgID(kSimulatedBusProgID, &bus))) {
    com::SetErrorInfo(0, nullptr);
    return;
  }
  SafeArray addresses;
  if (FAILED(bus->Attach(static_cast<std::int16_t>(board))) || FAILED(bus->Addresses(&addresses)))
    return;
  for (std::int16_t a : addresses.Span<const std::int16_t>()) {
    Address address;
    address.kind = Address::Kind::kGpib;
    address.board = board;
    address.gpib_address = a;
    items->push_back(UnopenedIO(address));
  }
}

}  // namespace

void RegisterGpibTransports() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The board map is read when each transport is made, as FindIO reads it
    // when it lists: both see the map as configured at that moment.
    TransportFactory::Global().Register(
        Address::Kind::kGpib, [](const Address& address) -> Result<std::unique_ptr<Transport>> {
          GpibBoardMap boards = GpibBoardMap::Load();
          ConfigReader::ReportOnce(boards.problems());
          const GpibBoard* board = boards.Find(address.board);
          if (!board) {
            return Status(Errc::kNotOpen, "GPIB" + std::to_string(address.board) +
                                              " is not in the GPIB board map (VEX_GPIB_BOARDS).");
          }
          if (board->simulated)
            return MakeSimulatedBusTransport(address.board, address.gpib_address);
#ifdef VEX_IO_HAVE_VXI11
          Vxi11Transport::Options options;
          options.port_mapper_port = board->gateway_port;
          return std::unique_ptr<Transport>(std::make_unique<Vxi11Transport>(
              board->gateway_host, "gpib0," + std::to_string(address.gpib_address), options));
#else
          return Status(Errc::kUnsupported, "LAN/GPIB gateways need VXI-11, which this build lacks.");
#endif
        });
  });
}

IOManager::IOManager() {
  RegisterGpibTransports();
}

HRESULT IOManager::get_ProgID(Bstr* prog_id) {
  if (!prog_id) return com::E_POINTER;
  *prog_id = Bstr(std::string(kIOManagerProgID) + ".1");
  return com::S_OK;
}

namespace {
// The handler of this process; pages are shown on the thread that owns them.
std::mutex g_page_mutex;
com::ComPtr<IPageDisplayHandler> g_page_handler;
}  // namespace

HRESULT PageDisplay::get_ProgID(Bstr* prog_id) {
  if (!prog_id) return com::E_POINTER;
  *prog_id = Bstr(std::string(kPageDisplayProgID) + ".1");
  return com::S_OK;
}

HRESULT PageDisplay::ShowPages(com::IUnknown* control, std::int32_t page_index) {
  if (!control) return com::E_POINTER;
  if (page_index < -1) return com::E_INVALIDARG;
  com::ComPtr<IPageDisplayHandler> handler;
  {
    std::lock_guard lock(g_page_mutex);
    handler = g_page_handler;
  }
  if (!handler) {
    return com::ReportRichError(com::E_NOTIMPL, "No property page display is installed.",
                                "VexIOUtils.PageDisplay.1");
  }
  return handler->ShowPages(control, page_index);
}

HRESULT PageDisplay::SetHandler(com::IUnknown* handler) {
  if (!handler) return com::E_POINTER;
  com::ComPtr<IPageDisplayHandler> typed;
  if (FAILED(com::ComPtr<com::IUnknown>(handler).As(&typed))) return com::E_NOINTERFACE;
  std::lock_guard lock(g_page_mutex);
  g_page_handler = std::move(typed);
  return com::S_OK;
}

const com::DispatchTable& PageDisplay::Table() {
  static const com::DispatchTable table =
      com::DispatchTableBuilder<PageDisplay>("PageDisplay", "IPageDisplay")
          .Get("ProgID", 1, &IPageDisplay::get_ProgID)
          .Method("ShowPages", 2, &IPageDisplay::ShowPages,
                  {com::In("Control"), com::OptDefault("PageIndex", Variant(-1))})
          .Method("SetHandler", 3, &IPageDisplay::SetHandler, {com::In("Handler")})
          .Build();
  return table;
}

HRESULT IOManager::CreateIO(const Bstr& address, IIO** io) {
  if (!io) return com::E_POINTER;
  *io = nullptr;
  auto object = com::MakeObject<InstrumentIO>();
  HRESULT hr = object->Open(Variant(address));
  if (FAILED(hr)) return hr;
  *io = static_cast<IIO*>(object.Detach());
  return com::S_OK;
}

HRESULT IOManager::FindIO(const Bstr& pattern, com::IDispatch** collection) {
  if (!collection) return com::E_POINTER;
  *collection = nullptr;
  std::string text = pattern.Str();
  for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<Variant> items;
  if (text == "COM*" || text == "ASRL*") {
    PortMap ports = PortMap::Load();
    ConfigReader::ReportOnce(ports.problems());
    for (const auto& port : ListComPorts(ports)) {
      auto parsed = ParseAddress(port.name);
      if (parsed) items.push_back(UnopenedIO(parsed.value()));
    }
  } else if (text.rfind("GPIB", 0) == 0) {
    std::string rest = text.substr(4);
    GpibBoardMap boards = GpibBoardMap::Load();
    ConfigReader::ReportOnce(boards.problems());
    if (rest == "*") {
      for (const auto& [number, board] : boards.Boards()) ListBoard(number, board, &items);
    } else {
      char* end = nullptr;
      long number = std::strtol(rest.c_str(), &end, 10);
      if (rest.empty() || *end != '\0') {
        return com::ReportRichError(
            com::E_INVALIDARG,
            "FindIO takes \"COM*\", \"GPIB*\" or \"GPIBn\", not \"" + pattern.Str() + "\".",
            kSource);
      }
      if (const GpibBoard* board = boards.Find(static_cast<int>(number)))
        ListBoard(static_cast<int>(number), *board, &items);
    }
  } else {
    return com::ReportRichError(
        com::E_INVALIDARG,
        "FindIO takes \"COM*\", \"GPIB*\" or \"GPIBn\", not \"" + pattern.Str() + "\".", kSource);
  }
  *collection = com::MakeObject<IOCollection>(std::move(items)).Detach();
  return com::S_OK;
}

HRESULT IOManager::InterfaceSupportsErrorInfo(const com::IID& iid) {
  return iid == IIOManager::kIid ? com::S_OK : com::S_FALSE;
}

const com::DispatchTable& IOManager::Table() {
  static const com::DispatchTable table =
      com::DispatchTableBuilder<IOManager>("IOManager", "IIOManager")
          .Get("ProgID", 3, &IIOManager::get_ProgID)
          .Method("CreateIO", 1, &IIOManager::CreateIO,
                  {com::In("Address"), com::Retval("IO", com::VT_DISPATCH)})
          .Method("FindIO", 2, &IIOManager::FindIO,
                  {com::In("Pattern"), com::Retval("Collection", com::VT_DISPATCH)})
          .Build();
  return table;
}

}  // namespace vex::io
