// IPPVexR7100Scope: the property pages' view of the scope control. The
// pages reach the control only through these members: the page interface
// proper (the two configurations, the notification mask, the page flags,
// the handshake-warning state, centring) and the control's own members
// they use by name (the I/O manager, the wait time, the font, the address
// and its instrument reply, the setups and the server wrapper).
//
// The control hands the pages an implementation that calls its members by
// name; tests hand them one of their own.
#pragma once

#include <cstdint>
#include <string>

#include "cio_configuration.h"
#include "vex/com/com.h"

namespace vex::control {

class CSetupsVexR7100Scope;

// Bits of the notification mask, one per page: a page sets the bits of the
// other pages that are alive so that they refresh from the page-side
// configuration.
namespace page_bit {
inline constexpr std::int32_t kSearchIO = 1;
inline constexpr std::int32_t kSearchCriteria = 2;
inline constexpr std::int32_t kSetIO = 4;
inline constexpr std::int32_t kSetups = 8;
inline constexpr std::int32_t kLargestMaskValue = 15;
}  // namespace page_bit

class IPPVexR7100Scope {
 public:
  virtual ~IPPVexR7100Scope() = default;

  // The page interface.
  virtual HRESULT IOConfigurationChanged() = 0;
  virtual CIOconfiguration* IOConfigurationControl() = 0;
  virtual CIOconfiguration* IOConfigurationPropertyPage() = 0;
  virtual std::int32_t NotifyIOConfigurationChanged() = 0;
  virtual void SetNotifyIOConfigurationChanged(std::int32_t mask) = 0;
  virtual bool DontShowIOHandshakeWarning() = 0;
  virtual void SetDontShowIOHandshakeWarning(bool on) = 0;
  // The page flags by bit (page_bit::k...).
  virtual bool PageExists(std::int32_t bit) = 0;
  virtual void SetPageExists(std::int32_t bit, bool exists) = 0;
  virtual std::int32_t ScreenCenterWidthInPixels() = 0;
  virtual std::int32_t ScreenCenterHeightInPixels() = 0;
  virtual bool CenterPropertyPages() = 0;
  virtual void SetCenterPropertyPages(bool on) = 0;
  virtual std::string LastIOHandshakeAddress() = 0;
  virtual void SetLastIOHandshakeAddress(const std::string& address) = 0;
  virtual bool InitialSearchMode() = 0;
  virtual void SetInitialSearchMode(bool on) = 0;

  // The control's members the pages use by name.
  virtual com::IUnknown* IOManager() = 0;
  virtual std::int32_t TXDelay() = 0;
  virtual std::string FontName() = 0;
  virtual std::int16_t FontSize() = 0;
  virtual std::string Address() = 0;
  virtual HRESULT SetAddress(const std::string& address) = 0;
  virtual std::string AddressInstrumentID() = 0;
  virtual void SetAddressInstrumentID(const std::string& id) = 0;
  virtual bool DontShowSetupIOConfigurationWarning() = 0;
  virtual void SetDontShowSetupIOConfigurationWarning(bool on) = 0;
  virtual CSetupsVexR7100Scope* Setups() = 0;
  // The server wrapper (PropertyPageMode, Initialize, InstrumentConnected,
  // Utilities, IDNQuery by name); null when the control has none.
  virtual com::IDispatch* Wrapper() = 0;

  // The bits of the pages alive now.
  std::int32_t AliveMask() {
    std::int32_t mask = 0;
    for (std::int32_t bit :
         {page_bit::kSearchIO, page_bit::kSearchCriteria, page_bit::kSetIO, page_bit::kSetups})
      if (PageExists(bit)) mask |= bit;
    return mask;
  }
};

}  // namespace vex::control
