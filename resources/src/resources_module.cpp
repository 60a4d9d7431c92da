// The class the resource library registers and serves, and its type library.
#include "vexr7100_resources.h"

namespace vex::resources {
namespace {

const com::ServerModule& Module() {
  static const com::ServerModule module{{
      {com::ClassRegistration{kVexR7100ResourcesClsid, kVexR7100ResourcesProgID,
                              kVexR7100ResourcesVersionIndependentProgID, "VexR7100Resources Class",
                              "Apartment", "", kResourceTypeLibraryName, true},
       &CVexR7100Resources::Create},
  }};
  return module;
}

const com::TypeLibrary& ResourceTypeLibrary() {
  static const com::TypeLibrary library{
      kResourceTypeLibraryName, {}, {&CVexR7100Resources::Table()}};
  return library;
}

}  // namespace
}  // namespace vex::resources

VEX_COM_EXPORT_SERVER(vex::resources::Module())
VEX_COM_EXPORT_TYPE_LIBRARY(vex::resources::ResourceTypeLibrary())
