// The classes the automation server registers and serves.
#include "core_vexr7100.h"
#include "error_handler.h"
#include "glad_bag.h"

namespace vex::server {
namespace {

template <class T>
com::CreateFunction Creator() {
  return [](const com::IID& iid, void** out) {
    auto object = com::MakeObject<T>();
    return object->QueryInterface(iid, out);
  };
}

com::ClassRegistration Entry(const com::CLSID& clsid, const std::string& name) {
  return com::ClassRegistration{clsid,
                                "VexR7100X." + name + ".1",
                                "VexR7100X." + name,
                                name + " Class",
                                "Apartment",
                                "",
                                "VexR7100ServerLib",
                                true};
}

const com::ServerModule& Module() {
  static const com::ServerModule module{{
      {Entry(kCoreVexR7100Clsid, "CoreVexR7100"), Creator<CCoreVexR7100>()},
      {Entry(kErrorHandlerClsid, "ErrorHandler"), Creator<ErrorHandler>()},
      {Entry(kGladBagClsid, "GladBag"), Creator<GladBag>()},
  }};
  return module;
}

}  // namespace
}  // namespace vex::server

VEX_COM_EXPORT_SERVER(vex::server::Module())
