// The simulated GPIB bus: instruments of the simulator at primary addresses
// of a board, shared by every bus object attached to the same board.
#include "bus/SimBus.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/Instrument.h"
#include "vex/io/io_interfaces.h"

namespace vex::sim::bus {

using com::HRESULT;
using com::SafeArray;
using com::VARIANT_BOOL;

namespace {

// A board and its instruments. The instruments are not thread-safe, so each
// call on a board holds its lock.
struct Board {
  int number = 0;
  std::mutex lock;
  std::map<int, std::unique_ptr<Instrument>> instruments;
};

// Every board of the process, created on first attach and kept for the
// life of the process, as the bus of a real board outlives its handles.
class Boards {
 public:
  static Boards& Get() {
    static Boards* boards = new Boards;  // never destroyed: objects may outlive statics
    return *boards;
  }

  // The board, created from $VEX_SIM_BUS when new; null with `error` set
  // when the description is malformed (nothing is created then).
  std::shared_ptr<Board> Find(int number, std::string& error) {
    std::lock_guard<std::mutex> guard(lock_);
    if (auto it = boards_.find(number); it != boards_.end()) return it->second;
    std::map<int, std::string> description{{7, "VDS3004A"}};
    const char* env = std::getenv("VEX_SIM_BUS");
    if (env != nullptr && env[0] != '\0') {
      description.clear();
      std::string why;
      if (!ParseBusDescription(env, description, why)) {
        error = "VEX_SIM_BUS \"" + std::string(env) + "\" is not valid: " + why;
        return nullptr;
      }
    }
    auto board = std::make_shared<Board>();
    board->number = number;
    for (const auto& [address, model] : description) {
      InstrumentOptions options;
      options.model = model;
      char serial[32];
      std::snprintf(serial, sizeof serial, "SIM-GPIB%d-%02d", number, address);
      options.serial = serial;
      board->instruments[address] = std::make_unique<Instrument>(options);
    }
    boards_[number] = board;
    return board;
  }

 private:
  std::mutex lock_;
  std::map<int, std::shared_ptr<Board>> boards_;
};

class SimulatedBus : public com::Object<io::ISimulatedBus, com::ISupportErrorInfo> {
 public:
  HRESULT Attach(std::int16_t board) override {
    if (board < 0) {
      return com::ReportRichError(com::E_INVALIDARG,
                                  "GPIB board " + std::to_string(board) + " does not exist.",
                                  kSimBusProgID);
    }
    std::string error;
    auto found = Boards::Get().Find(board, error);
    if (!found) return com::ReportRichError(com::E_INVALIDARG, error, kSimBusProgID);
    board_ = std::move(found);
    return com::S_OK;
  }

  HRESULT Addresses(SafeArray* addresses) override {
    if (addresses == nullptr) return com::E_POINTER;
    if (!board_) return NotAttached();
    std::lock_guard<std::mutex> guard(board_->lock);
    SafeArray out;
    HRESULT hr = SafeArray::Create(
        com::VT_I2, {{static_cast<std::uint32_t>(board_->instruments.size()), 0}}, &out);
    if (com::FAILED(hr)) return hr;
    auto span = out.Span<std::int16_t>();
    std::size_t i = 0;
    for (const auto& entry : board_->instruments)
      span[i++] = static_cast<std::int16_t>(entry.first);
    *addresses = std::move(out);
    return com::S_OK;
  }

  HRESULT Write(std::int16_t address, const SafeArray& bytes, VARIANT_BOOL end) override {
    Instrument* inst = nullptr;
    if (HRESULT hr = Find(address, &inst); com::FAILED(hr)) return hr;
    if (bytes.ElementType() != com::VT_UI1 || bytes.Dims() != 1) {
      return com::ReportRichError(com::E_INVALIDARG,
                                  "The bytes for " + Where(address) + " are not a byte array.",
                                  kSimBusProgID);
    }
    std::lock_guard<std::mutex> guard(board_->lock);
    inst->Write(bytes.Span<const std::uint8_t>(), end != com::VARIANT_FALSE);
    return com::S_OK;
  }

  HRESULT Read(std::int16_t address, SafeArray* bytes, std::int32_t* delay_ms,
               VARIANT_BOOL* close_after) override {
    if (bytes == nullptr || delay_ms == nullptr || close_after == nullptr) return com::E_POINTER;
    Instrument* inst = nullptr;
    if (HRESULT hr = Find(address, &inst); com::FAILED(hr)) return hr;
    std::lock_guard<std::mutex> guard(board_->lock);
    auto response = inst->TakeResponse();
    if (!response) {
      *bytes = SafeArray::FromBytes({});
      *delay_ms = 0;
      *close_after = com::VARIANT_FALSE;
      return com::S_FALSE;
    }
    *bytes = SafeArray::FromBytes(response->bytes);
    *delay_ms = static_cast<std::int32_t>(response->delay_ms);
    *close_after = com::ToVariantBool(response->close_after);
    return com::S_OK;
  }

  HRESULT Clear(std::int16_t address) override {
    Instrument* inst = nullptr;
    if (HRESULT hr = Find(address, &inst); com::FAILED(hr)) return hr;
    std::lock_guard<std::mutex> guard(board_->lock);
    inst->DefaultSession().DeviceClear();
    return com::S_OK;
  }

  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override {
    return iid == io::ISimulatedBus::kIid ? com::S_OK : com::S_FALSE;
  }

 private:
  std::string Where(int address) const {
    return "GPIB" + std::to_string(board_->number) + " address " + std::to_string(address);
  }

  HRESULT NotAttached() const {
    return com::ReportRichError(com::E_UNEXPECTED,
                                "The simulated bus is not attached to a board; call Attach first.",
                                kSimBusProgID);
  }

  HRESULT Find(int address, Instrument** out) const {
    if (!board_) return NotAttached();
    auto it = board_->instruments.find(address);
    if (it == board_->instruments.end()) {
      return com::ReportRichError(com::E_INVALIDARG, "No instrument at " + Where(address) + ".",
                                  kSimBusProgID);
    }
    *out = it->second.get();
    return com::S_OK;
  }

  std::shared_ptr<Board> board_;
};

const com::ServerModule& Module() {
  static const com::ServerModule module{{com::ServerClass{
      com::ClassRegistration{kSimBusClsid, kSimBusProgID, kSimBusVersionIndependentProgID,
                             "Bus Class", "Apartment", "", "", false},
      [](const com::IID& iid, void** out) {
        auto object = com::MakeObject<SimulatedBus>();
        return object->QueryInterface(iid, out);
      }}}};
  return module;
}

}  // namespace

}  // namespace vex::sim::bus

VEX_COM_EXPORT_SERVER(vex::sim::bus::Module())
