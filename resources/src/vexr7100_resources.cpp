#include "vexr7100_resources.h"

namespace vex::resources {

com::HRESULT CVexR7100Resources::Create(const com::IID& iid, void** out) {
  auto object = com::MakeObject<CVexR7100Resources>();
  return object->QueryInterface(iid, out);
}

com::HRESULT CVexR7100Resources::LoadResString(std::int32_t lID, com::Bstr* pbstrResource) {
  if (!pbstrResource) return com::E_POINTER;
  *pbstrResource = com::Bstr(tables_.Load(lID, kMaxTextCharacters));
  return com::S_OK;
}

const com::DispatchTable& CVexR7100Resources::Table() {
  static const com::DispatchTable table =
      com::DispatchTableBuilder<CVexR7100Resources>("VexR7100Resources", "IResourceLib")
          .TableDoc("IResourceLib Interface")
          .Method("LoadResString", 1, &IResourceLib::LoadResString,
                  {com::In("lID", com::VT_I4), com::Retval("pbstrResource", com::VT_BSTR)})
          .Doc("Returns the localized resource string specified by the given id.")
          .Build();
  return table;
}

}  // namespace vex::resources
