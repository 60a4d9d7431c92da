// CVexR7100EZ: the control's binding to the automation server. It creates
// the server's top object when it is made and keeps it for its life, holds
// the connection settings (address, transmit delay, reset and identity check
// on initialize) and persists three of them, opens and closes the
// connection (preparing serial ports first), connects on first use when the
// host is running, and forwards every instrument operation to the server.
//
// Every connection failure is the single status 0x8004003B with the
// three-line localised message; errors of forwarded operations pass through
// unchanged. The setups and the pages reach the wrapper by member name too
// (Utilities, IDNQuery, PropertyPageMode), so it is a dispatch object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vex/com/com.h"
#include "vex/server/vexr7100.h"
#include "vex/ui/types.h"

namespace vex::control {

using com::Bstr;
using com::HRESULT;
using com::Variant;
using com::VARIANT_BOOL;

// What the wrapper tells its control.
class WrapperEvents {
 public:
  virtual void WrapperPropertyChanged(std::string_view name) = 0;
  virtual void InstrumentID(const std::string& id) = 0;

 protected:
  ~WrapperEvents() = default;
};

class CVexR7100EZ final : public com::Object<com::IDispatch> {
 public:
  // Property-bag keys (one letter short of the property names).
  static constexpr const char* kKeyTXDelay = "TXDelay";
  static constexpr const char* kKeyResetOnInitialize = "ResetOnIntialize";
  static constexpr const char* kKeyCheckIDOnInitialize = "CheckIDOnIntialize";
  // TXDelay: the milliseconds waited after a serial port's handshake lines
  // change and between the steps of an instrument probe, 0 to kMaxTXDelay.
  // Any other value is refused (0x8004017C, "Invalid property value."); one
  // read from saved state is replaced by the default.
  static constexpr std::int32_t kDefaultTXDelay = 50;
  static constexpr std::int32_t kMaxTXDelay = 10000;

  // Creates the server; when that fails, shows the "could not create" box
  // over `owner` once and lives on without a server.
  explicit CVexR7100EZ(ui::WindowHandle owner = 0);

  void SetEvents(WrapperEvents* events) { events_ = events; }

  HRESULT ReadProperties(com::IPropertyBag* bag);
  HRESULT WriteProperties(com::IPropertyBag* bag);

  const std::string& AutomationServerAddress() const { return address_; }
  HRESULT SetAutomationServerAddress(std::string_view address);

  HRESULT Initialize();
  HRESULT CloseConnection();

  std::int32_t TXDelay() const { return tx_delay_; }
  HRESULT SetTXDelay(std::int32_t delay);
  bool ResetOnInitialize() const { return reset_on_initialize_; }
  void SetResetOnInitialize(bool on);
  bool CheckIDOnInitialize() const { return check_id_on_initialize_; }
  void SetCheckIDOnInitialize(bool on);
  bool DebugEnabled() const { return debug_enabled_; }
  void SetDebugEnabled(bool on) { debug_enabled_ = on; }
  bool InstrumentConnected() const { return connected_; }
  bool AmbientUserMode() const { return ambient_user_mode_; }
  void SetAmbientUserMode(bool running) { ambient_user_mode_ = running; }
  void SetIOManager(com::IUnknown* manager) { io_manager_ = manager; }
  server::IVexR7100EZ* EZPtr() const { return server_.Get(); }

  // Dispatch members (also used by the control directly).
  HRESULT get_PropertyPageMode(VARIANT_BOOL* on);
  HRESULT put_PropertyPageMode(VARIANT_BOOL on);
  HRESULT IDNQuery(Bstr* id);
  HRESULT get_InstrumentConnected(VARIANT_BOOL* on);
  HRESULT get_EZPtr(com::IDispatch** server);
  HRESULT get_ConnectionName(Bstr* name);
  HRESULT get_Acquisition(com::IDispatch** object);
  HRESULT get_AnalogChannels(com::IDispatch** object);
  HRESULT get_LogicChannel(com::IDispatch** object);
  HRESULT get_Measure(com::IDispatch** object);
  HRESULT get_Timebase(com::IDispatch** object);
  HRESULT get_Trace(com::IDispatch** object);
  HRESULT get_Trigger(com::IDispatch** object);
  HRESULT get_Utilities(com::IDispatch** object);
  HRESULT AutoScale();
  HRESULT Digitize();
  HRESULT Run();
  HRESULT StopTrigger();
  HRESULT SingleTrigger();
  HRESULT Enter(Variant* input_buffer, const Variant& format);
  HRESULT Output(const Variant& output_buffer);
  HRESULT ReadBytes(std::int32_t* count, com::SafeArray* buffer);
  HRESULT WriteBytes(std::int32_t count, const com::SafeArray& buffer);
  HRESULT GetLogicData(std::int32_t points, Variant* time, Variant* data);
  HRESULT GetWaveformData(std::int32_t channel, std::int32_t points, Variant* time, Variant* data);
  HRESULT GetAllWaveformData(std::int32_t points, com::SafeArray* data);
  HRESULT GetScreenImage(const Variant& format, com::IDispatch** image);
  HRESULT SaveScreenImage(const Bstr& file_name, const Variant& format);

  VEX_COM_IMPLEMENT_DISPATCH(CVexR7100EZ, Table())
  static const com::DispatchTable& Table();

 private:
  ~CVexR7100EZ() override;

  // Connects first when needed (not at design time).
  HRESULT EnsureConnected();
  HRESULT ServerOrMissing() const;
  HRESULT PrepareSerialPort();
  HRESULT ConnectSteps();
  template <class I>
  HRESULT ServerObject(HRESULT (server::IVexR7100EZ::*get)(I**), com::IDispatch** object);

  com::ComPtr<server::IVexR7100EZ> server_;
  com::ComPtr<com::IUnknown> io_manager_;
  WrapperEvents* events_ = nullptr;
  std::string address_ = "GPIB0::7::INSTR";
  std::int32_t tx_delay_ = kDefaultTXDelay;
  bool reset_on_initialize_ = false;
  bool check_id_on_initialize_ = false;
  bool debug_enabled_ = false;
  bool connected_ = false;
  bool ambient_user_mode_ = false;
  bool property_page_mode_ = false;
};

// An image format given as a variant: an omitted one is BMP.
std::int32_t ImageFormatOf(const Variant& format);

}  // namespace vex::control
