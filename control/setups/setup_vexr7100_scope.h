// SetupVexR7100Scope: one named instrument setup. It holds the learn string
// (the instrument's setup block, opaque here) with the model and firmware
// version it came from, takes it from and sends it to the instrument object
// of its collection, and saves it to and loads it from setup files.
//
// The collection that holds a setup is its parent. While the setup is a
// member, it refers to the collection without counting (the collection
// holds the setup, so a counted reference would keep both alive forever);
// a setup removed from the collection takes a counted reference, so that a
// client still holding it can go on using the collection's instrument.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vex/control/setups.h"

namespace vex::control {

class CSetupVexR7100Scope final : public com::Object<ISetupVexR7100Scope> {
 public:
  static constexpr const char* kDefaultName = "Setup1";
  static constexpr const char* kAnyVersion = "X.XX.XX";

  HRESULT get_Comments(Bstr* value) override;
  HRESULT put_Comments(const Bstr& value) override;
  HRESULT get_Name(Bstr* value) override;
  HRESULT put_NewName(const Bstr& value) override;
  HRESULT ReadProperties(com::IPropertyBag* bag, std::int32_t index) override;
  HRESULT WriteProperties(com::IPropertyBag* bag, std::int32_t index) override;
  HRESULT Copy(ISetupVexR7100Scope* source) override;
  HRESULT get_LearnString(Variant* value) override;
  HRESULT get_Model(Bstr* value) override;
  HRESULT get_Version(Bstr* value) override;
  HRESULT GetFromInstrument() override;
  HRESULT IsLearnStringCompatible(const Bstr& model, const Bstr& version,
                                  VARIANT_BOOL* compatible) override;
  HRESULT ReadFromFile(const Bstr& file_name) override;
  HRESULT SaveToFile(const Bstr& file_name) override;
  HRESULT SendToInstrument() override;
  HRESULT get_ParentSetups(ISetupsVexR7100Scope** parent) override;
  HRESULT put_ParentSetups(ISetupsVexR7100Scope* parent) override;

  // The collection's side of the parent link: while a member, without
  // counting; after removal (`keep`), counted; when the collection ends,
  // none.
  void AttachToCollection(ISetupsVexR7100Scope* collection);
  void DetachFromCollection(bool keep);

  const std::string& Name() const { return name_; }
  // Whether a name may be given to a setup: not empty, no space, no "|".
  static bool IsValidName(const std::string& name);

  VEX_COM_IMPLEMENT_DISPATCH(CSetupVexR7100Scope, Table())
  static const com::DispatchTable& Table();

 private:
  ~CSetupVexR7100Scope() override = default;

  ISetupsVexR7100Scope* Parent() const { return parent_; }
  // The parent's instrument object's Utilities object, asserting on the way
  // that the parent has an instrument object.
  HRESULT Utilities(const char* procedure, com::ComPtr<IDispatch>* utilities);
  HRESULT ReadInstrumentText(IDispatch* utilities, const char* member, std::string* text);
  void SetParentsLastInstrumentSetup();

  std::string name_ = kDefaultName;
  std::string comments_;
  std::vector<std::uint8_t> learn_string_;
  std::string model_;
  std::string version_;
  ISetupsVexR7100Scope* parent_ = nullptr;
  com::ComPtr<ISetupsVexR7100Scope> counted_parent_;
};

}  // namespace vex::control
