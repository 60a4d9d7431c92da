// SetupsVexR7100Scope: the named instrument setups of a scope control, in
// insertion order, keyed by name without regard to letter case; the
// instrument object the setups use; the folder last used for setup files;
// and the name of the setup last sent to or taken from the instrument.
// It persists all of this in a property bag under the keys
// "SetupsInitialDirectory", "SetupsGetLearnStringOnAdd",
// "LastInstrumentSetup", "SetupCount" (16 bits) and, for each setup i,
// "SetupName"i, "SetupComments"i, "LearnString"i, "Model"i, "Version"i.
#pragma once

#include <string>
#include <vector>

#include "setup_vexr7100_scope.h"

namespace vex::control {

class CSetupsVexR7100Scope final : public com::Object<ISetupsVexR7100Scope> {
 public:
  CSetupsVexR7100Scope();

  HRESULT Add(const Bstr& name, ISetupVexR7100Scope** setup) override;
  HRESULT item(const Variant& index, ISetupVexR7100Scope** setup) override;
  HRESULT get_Count(std::int32_t* count) override;
  HRESULT Remove(const Variant& index) override;
  HRESULT get_NewEnum(IUnknown** enumerator) override;
  HRESULT ReadProperties(com::IPropertyBag* bag) override;
  HRESULT WriteProperties(com::IPropertyBag* bag) override;
  HRESULT Copy(ISetupsVexR7100Scope* source) override;
  HRESULT get_CVexR7100EZPtr(IDispatch** instrument) override;
  HRESULT put_CVexR7100EZPtr(IDispatch* instrument) override;
  HRESULT get_InitialDirectory(Bstr* value) override;
  HRESULT put_InitialDirectory(const Bstr& value) override;
  HRESULT get_GetLearnStringOnAdd(VARIANT_BOOL* value) override;
  HRESULT put_GetLearnStringOnAdd(VARIANT_BOOL value) override;
  HRESULT get_LastInstrumentSetup(Bstr* value) override;
  HRESULT put_LastInstrumentSetup(const Bstr& value) override;

  // Whether `setup` is one of this collection's members.
  bool Holds(const ISetupVexR7100Scope* setup) const;

  VEX_COM_IMPLEMENT_DISPATCH(CSetupsVexR7100Scope, Table())
  static const com::DispatchTable& Table();

 private:
  ~CSetupsVexR7100Scope() override;

  struct Entry {
    std::string key;  // the name folded to lower case
    com::ComPtr<CSetupVexR7100Scope> setup;
  };
  // The position (0-based) an index argument names; -1 when none.
  std::ptrdiff_t Find(const Variant& index) const;
  std::ptrdiff_t FindName(const std::string& name) const;

  std::vector<Entry> items_;
  com::ComPtr<IDispatch> instrument_;
  std::string initial_directory_;
  bool get_learn_string_on_add_ = true;
  std::string last_instrument_setup_;
};

}  // namespace vex::control
