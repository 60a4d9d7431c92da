// The classes the I/O component registers and serves.
#include "instrument_io.h"
#include "io_manager.h"

namespace vex::io {
namespace {

const com::ServerModule& Module() {
  static const com::ServerModule module{{
      {com::ClassRegistration{kIOManagerClsid, std::string(kIOManagerProgID) + ".1",
                              kIOManagerProgID, "IOManager Class", "Apartment", "", "vexioutils",
                              true},
       [](const com::IID& iid, void** out) {
         return com::MakeObject<IOManager>()->QueryInterface(iid, out);
       }},
      {com::ClassRegistration{kInstrumentIOClsid, std::string(kInstrumentIOProgID) + ".1",
                              kInstrumentIOProgID, "InstrumentIO Class", "Apartment", "",
                              "vexioutils", true},
       [](const com::IID& iid, void** out) {
         RegisterGpibTransports();
         return com::MakeObject<InstrumentIO>()->QueryInterface(iid, out);
       }},
      {com::ClassRegistration{kPageDisplayClsid, std::string(kPageDisplayProgID) + ".1",
                              kPageDisplayProgID, "PageDisplay Class", "Apartment", "",
                              "vexioutils", true},
       [](const com::IID& iid, void** out) {
         return com::MakeObject<PageDisplay>()->QueryInterface(iid, out);
       }},
  }};
  return module;
}

}  // namespace
}  // namespace vex::io

VEX_COM_EXPORT_SERVER(vex::io::Module())
