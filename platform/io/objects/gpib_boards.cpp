#include "gpib_boards.h"

#include <thread>

#include "vex/io/io_interfaces.h"

namespace vex::io {
namespace {

// Delivers messages to and from one instrument of the simulated bus.
class SimulatedBusTransport final : public Transport {
 public:
  SimulatedBusTransport(int board, int address) : board_(board), address_(address) {}

  Status Open(Deadline) override {
    com::ComPtr<ISimulatedBus> bus;
    HRESULT hr = com::CreateObjectByProgID(kSimulatedBusProgID, &bus);
    if (FAILED(hr)) {
      std::string why = com::TakeErrorDetails().description.Str();
      return Status(
          Errc::kUnsupported,
          "GPIB" + std::to_string(board_) +
              " is the simulated bus, whose class \"VexSim.Bus\" cannot be created: " + why);
    }
    hr = bus->Attach(static_cast<std::int16_t>(board_));
    SafeArray addresses;
    if (SUCCEEDED(hr)) hr = bus->Addresses(&addresses);
    if (FAILED(hr)) return Status(Errc::kIoError, com::TakeErrorDetails().description.Str());
    bool present = false;
    for (std::int16_t a : addresses.Span<const std::int16_t>()) present = present || a == address_;
    if (!present) {
      return Status(Errc::kNotOpen, "No instrument listens at address " + std::to_string(address_) +
                                        " of GPIB" + std::to_string(board_) + ".");
    }
    bus_ = std::move(bus);
    closed_ = false;
    pending_.clear();
    return {};
  }
  void Close() override { bus_.Reset(); }
  bool is_open() const override { return static_cast<bool>(bus_); }

  Status Write(std::span<const std::uint8_t> data, Deadline) override {
    if (!bus_) return Status(Errc::kNotOpen, description() + " is not open.");
    if (closed_) return Status(Errc::kClosed, description() + ": the instrument dropped the link.");
    HRESULT hr = bus_->Write(static_cast<std::int16_t>(address_), SafeArray::FromBytes(data),
                             com::VARIANT_TRUE);
    if (FAILED(hr)) return Status(Errc::kIoError, com::TakeErrorDetails().description.Str());
    return {};
  }

  Result<ReadResult> Read(std::span<std::uint8_t> buffer, Deadline deadline) override {
    if (!bus_) return Status(Errc::kNotOpen, description() + " is not open.");
    while (pending_.empty()) {
      if (closed_)
        return Status(Errc::kClosed, description() + ": the instrument dropped the link.");
      if (!waiting_) {
        SafeArray bytes;
        std::int32_t delay = 0;
        com::VARIANT_BOOL close_after = com::VARIANT_FALSE;
        HRESULT hr = bus_->Read(static_cast<std::int16_t>(address_), &bytes, &delay, &close_after);
        if (FAILED(hr)) return Status(Errc::kIoError, com::TakeErrorDetails().description.Str());
        if (hr == com::S_OK) {
          auto data = bytes.Span<const std::uint8_t>();
          waiting_.emplace(std::vector<std::uint8_t>(data.begin(), data.end()));
          ready_at_ = Clock::now() + std::chrono::milliseconds(delay);
          close_after_ = close_after == com::VARIANT_TRUE;
        }
      }
      if (waiting_ && Clock::now() >= ready_at_) {
        pending_ = std::move(*waiting_);
        waiting_.reset();
        offset_ = 0;
        if (close_after_) drop_after_pending_ = true;
        break;
      }
      // Nothing to read yet: wait for it, no longer than the deadline.
      if (Clock::now() >= deadline)
        return Status(Errc::kTimeout, description() + ": no reply before the timeout.");
      auto until = waiting_ ? std::min(ready_at_, deadline)
                            : std::min(Clock::now() + std::chrono::milliseconds(2), deadline);
      SleepUntil(until);
    }
    std::size_t n = std::min(buffer.size(), pending_.size() - offset_);
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(offset_), n, buffer.begin());
    offset_ += n;
    ReadResult result;
    result.count = n;
    if (offset_ == pending_.size()) {
      pending_.clear();
      // A reply the instrument cut short ends without END: the link drops.
      result.end = !drop_after_pending_;
      if (drop_after_pending_) closed_ = true;
      drop_after_pending_ = false;
    }
    return result;
  }

  bool delivers_end() const override { return true; }
  // What arrived and was not read: the rest of a reply being read, and a
  // reply that is due. A reply the instrument still holds is its own until
  // a clear.
  Status DiscardInput() override {
    pending_.clear();
    if (waiting_ && Clock::now() >= ready_at_) waiting_.reset();
    return {};
  }
  // A device clear (SDC): the instrument drops its output queue, and a
  // reply held back for a delay goes with it.
  bool can_clear() const override { return true; }
  Status Clear(Deadline) override {
    if (!bus_) return Status(Errc::kNotOpen, description() + " is not open.");
    pending_.clear();
    waiting_.reset();
    HRESULT hr = bus_->Clear(static_cast<std::int16_t>(address_));
    if (FAILED(hr)) return Status(Errc::kIoError, com::TakeErrorDetails().description.Str());
    return {};
  }
  std::string description() const override {
    return "GPIB" + std::to_string(board_) + "::" + std::to_string(address_) + " (simulated bus)";
  }

 private:
  int board_, address_;
  com::ComPtr<ISimulatedBus> bus_;
  std::vector<std::uint8_t> pending_;
  std::size_t offset_ = 0;
  std::optional<std::vector<std::uint8_t>> waiting_;
  Clock::time_point ready_at_{};
  bool close_after_ = false;
  bool drop_after_pending_ = false;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<Transport> MakeSimulatedBusTransport(int board, int address) {
  return std::make_unique<SimulatedBusTransport>(board, address);
}

}  // namespace vex::io
