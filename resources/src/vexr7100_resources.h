// VexR7100Resources ("VexR7100ResLib.VexR7100Resources"): the one class of
// the resource library. It serves the texts of the compiled string tables by
// id; an id that no table holds gives an empty string, never an error.
#pragma once

#include "string_tables.h"
#include "vex/resources/resource_lib.h"

namespace vex::resources {

class CVexR7100Resources final : public com::Object<IResourceLib> {
 public:
  // Serves the compiled tables; tests may hand in tables of their own.
  explicit CVexR7100Resources(const StringTables& tables = StringTables::Compiled())
      : tables_(tables) {}

  static com::HRESULT Create(const com::IID& iid, void** out);

  com::HRESULT LoadResString(std::int32_t lID, com::Bstr* pbstrResource) override;

  VEX_COM_IMPLEMENT_DISPATCH(CVexR7100Resources, Table())
  static const com::DispatchTable& Table();

 private:
  const StringTables& tables_;
};

}  // namespace vex::resources
