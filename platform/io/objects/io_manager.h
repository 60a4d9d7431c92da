// IOManager ("VexIOUtils.IOManager"): makes I/O objects for addresses and
// lists the instruments and ports that are there.
#pragma once

#include "vex/io/io_interfaces.h"

namespace vex::io {

class IOManager : public com::Object<IIOManager, com::ISupportErrorInfo> {
 public:
  IOManager();
  HRESULT get_ProgID(Bstr* prog_id) override;
  HRESULT CreateIO(const Bstr& address, IIO** io) override;
  // "COM*": the COM names whose device is present (pinned by the port map,
  // or a USB adapter or UART found, see vex/io/port_map.h); "GPIB*":
  // every instrument on every board as "GPIBn::a::INSTR"; "GPIBn": those of
  // board n. The collection's Item is 1-based, as collections are; each item
  // is an I/O object with that address, not yet opened.
  HRESULT FindIO(const Bstr& pattern, com::IDispatch** collection) override;
  HRESULT InterfaceSupportsErrorInfo(const com::IID& iid) override;
  VEX_COM_IMPLEMENT_DISPATCH(IOManager, Table())

 private:
  static const com::DispatchTable& Table();
};

// The page display of the control's property pages.
class PageDisplay : public com::Object<IPageDisplay> {
 public:
  HRESULT get_ProgID(Bstr* prog_id) override;
  HRESULT ShowPages(com::IUnknown* control, std::int32_t page_index) override;
  HRESULT SetHandler(com::IUnknown* handler) override;
  VEX_COM_IMPLEMENT_DISPATCH(PageDisplay, Table())

 private:
  static const com::DispatchTable& Table();
};

// Registers the GPIB transport with the process's transport table (once); it
// follows the board map as configured when each transport is made.
void RegisterGpibTransports();

}  // namespace vex::io
