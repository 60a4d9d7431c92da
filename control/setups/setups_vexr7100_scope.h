// SetupsVexR7100Scope: the named instrument setups of a scope control, in
// insertion order, keyed by name without regard to letter case; the
// instrument object the setups use; the folder last used for setup files;
// and the name of the setup last sent to or taken from the instrument.
// It persists all of this in a property bag under the keys
// "SetupsInitialDirectory", "SetupsGetLearnStringOnAdd",
// "LastInstrumentSetup", "SetupCount" (16 bits) and, for each setup i,
// "SetupName"i, "SetupComments"i, "LearnString"i, "Model"i, "Version"i.
//
// Loading never loses an entry: a malformed one (no name, a name that is
// not text, not a valid setup name or already taken, a value of the wrong
// type) is skipped with a warning naming its key, the others load, and the
// skipped entry is written back as it was read, numbered after the setups
// and past "SetupCount" (which counts the setups that load), until the user
// removes it from the file. Entries numbered past "SetupCount" are skipped
// and kept the same way. When the count is of the wrong type or out of
// range, the entries the bag holds are loaded instead. Nothing is ever sized or
// looped from the count alone: entries are looked for among the keys the bag
// holds when it can list them, and otherwise up to the first index without
// a "SetupName".
#pragma once

#include <optional>
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

  // ReadProperties, with each skipped entry reported to `log` (may be null)
  // under the key at fault.
  HRESULT Load(com::IPropertyBag* bag, com::IErrorLog* log);

  // Lets go of the instrument object when its owner goes (the control, a
  // page's working copy); setting it to nothing is otherwise a fault.
  void ReleaseInstrument() { instrument_.Reset(); }

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

  // An entry of the bag that did not load: its keys' families with the
  // values they had.
  using KeptEntry = std::vector<std::pair<std::string, Variant>>;
  // The bag's entries to look at, and its count when that is usable.
  struct Entries {
    std::vector<std::int32_t> indices;
    std::optional<std::int32_t> count;
  };
  static Entries EntryIndices(com::IPropertyBag* bag, com::IErrorLog* log);
  // Reads entry `index` into `stored`, or tells why it cannot be loaded.
  HRESULT CheckEntry(com::IPropertyBag* bag, std::int32_t index,
                     com::ComPtr<CSetupVexR7100Scope>* stored, std::string* problem);

  std::vector<Entry> items_;
  std::vector<KeptEntry> kept_;
  com::ComPtr<IDispatch> instrument_;
  std::string initial_directory_;
  bool get_learn_string_on_add_ = true;
  std::string last_instrument_setup_;
};

}  // namespace vex::control
