// The published setup interfaces of the control library Vex9100: setup
// files (ISetupFile, implemented by the native "scp" format and the older
// read-only "stp" format), one stored instrument setup
// (ISetupVexR7100Scope) and the keyed collection of them
// (ISetupsVexR7100Scope), with their dispatch tables, so that any client
// reaches them by member name too.
//
// None of these classes is creatable by ProgID: setups are created through
// the collection, and the collection by the scope control or, for clients
// such as the command line, through Vex9100CreateSetups.
#pragma once

#include <array>
#include <cstdint>

#include "vex/com/com.h"

namespace vex::control {

// The property-bag keys of the setups: the count, and for each setup i
// (from 1) one key of each family followed by i ("SetupName1", ...).
inline constexpr const char* kSetupCountKey = "SetupCount";
inline constexpr std::array<const char*, 5> kSetupEntryKeys = {"SetupName", "SetupComments",
                                                               "LearnString", "Model", "Version"};

using com::Bstr;
using com::HRESULT;
using com::IDispatch;
using com::IUnknown;
using com::Variant;
using com::VARIANT_BOOL;

// A setup file of one format. Each operation opens the file, works and
// closes it again; nothing stays open between calls.
struct ISetupFile : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3D2C10-51E4-4B8A-9C6D-2E1F0A9B8001}");
  // True when the file is of this class's format (never judged by the name),
  // and when the file cannot be read at all: ReadFile then fails saying why.
  virtual HRESULT IsACompatibleFile(const Bstr& file_name, VARIANT_BOOL* compatible) = 0;
  virtual HRESULT get_Model(Bstr* value) = 0;
  virtual HRESULT put_Model(const Bstr& value) = 0;
  // A byte array (VT_ARRAY | VT_UI1), or empty.
  virtual HRESULT get_LearnString(Variant* value) = 0;
  virtual HRESULT put_LearnString(const Variant& value) = 0;
  virtual HRESULT get_UserComments(Bstr* value) = 0;
  virtual HRESULT put_UserComments(const Bstr& value) = 0;
  virtual HRESULT get_Version(Bstr* value) = 0;
  virtual HRESULT put_Version(const Bstr& value) = 0;
  virtual HRESULT WriteFile(const Bstr& file_name) = 0;
  virtual HRESULT ReadFile(const Bstr& file_name) = 0;
  virtual HRESULT get_SerialNumber(Bstr* value) = 0;
  virtual HRESULT put_SerialNumber(const Bstr& value) = 0;
  virtual HRESULT get_ReservedField1(Bstr* value) = 0;
  virtual HRESULT put_ReservedField1(const Bstr& value) = 0;
  virtual HRESULT get_ReservedField2(Bstr* value) = 0;
  virtual HRESULT put_ReservedField2(const Bstr& value) = 0;
  virtual HRESULT get_ReservedField3(Bstr* value) = 0;
  virtual HRESULT put_ReservedField3(const Bstr& value) = 0;
  virtual HRESULT get_Manufacturer(Bstr* value) = 0;
  virtual HRESULT put_Manufacturer(const Bstr& value) = 0;
};

struct ISetupsVexR7100Scope;

// One named instrument setup: the learn string with the model and firmware
// version it was taken from.
struct ISetupVexR7100Scope : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3D2C10-51E4-4B8A-9C6D-2E1F0A9B8002}");
  virtual HRESULT get_Comments(Bstr* value) = 0;
  virtual HRESULT put_Comments(const Bstr& value) = 0;
  virtual HRESULT get_Name(Bstr* value) = 0;
  virtual HRESULT put_NewName(const Bstr& value) = 0;
  virtual HRESULT ReadProperties(com::IPropertyBag* bag, std::int32_t index) = 0;
  virtual HRESULT WriteProperties(com::IPropertyBag* bag, std::int32_t index) = 0;
  virtual HRESULT Copy(ISetupVexR7100Scope* source) = 0;
  virtual HRESULT get_LearnString(Variant* value) = 0;
  virtual HRESULT get_Model(Bstr* value) = 0;
  virtual HRESULT get_Version(Bstr* value) = 0;
  virtual HRESULT GetFromInstrument() = 0;
  virtual HRESULT IsLearnStringCompatible(const Bstr& model, const Bstr& version,
                                          VARIANT_BOOL* compatible) = 0;
  virtual HRESULT ReadFromFile(const Bstr& file_name) = 0;
  virtual HRESULT SaveToFile(const Bstr& file_name) = 0;
  virtual HRESULT SendToInstrument() = 0;
  virtual HRESULT get_ParentSetups(ISetupsVexR7100Scope** parent) = 0;
  virtual HRESULT put_ParentSetups(ISetupsVexR7100Scope* parent) = 0;
};

// The setups, keyed by name (keys compare without regard to letter case),
// in insertion order.
struct ISetupsVexR7100Scope : IDispatch {
  using Base = IDispatch;
  static constexpr com::IID kIid = com::MakeGuid("{7A3D2C10-51E4-4B8A-9C6D-2E1F0A9B8003}");
  virtual HRESULT Add(const Bstr& name, ISetupVexR7100Scope** setup) = 0;
  // A 1-based position or a name.
  virtual HRESULT item(const Variant& index, ISetupVexR7100Scope** setup) = 0;
  virtual HRESULT get_Count(std::int32_t* count) = 0;
  virtual HRESULT Remove(const Variant& index) = 0;
  virtual HRESULT get_NewEnum(IUnknown** enumerator) = 0;
  virtual HRESULT ReadProperties(com::IPropertyBag* bag) = 0;
  virtual HRESULT WriteProperties(com::IPropertyBag* bag) = 0;
  virtual HRESULT Copy(ISetupsVexR7100Scope* source) = 0;
  // The instrument object: any object with a Utilities member offering
  // ReadStateData, WriteStateData, InstrumentModel and
  // InstrumentFirmwareVersion, reached by name at run time.
  virtual HRESULT get_CVexR7100EZPtr(IDispatch** instrument) = 0;
  virtual HRESULT put_CVexR7100EZPtr(IDispatch* instrument) = 0;
  virtual HRESULT get_InitialDirectory(Bstr* value) = 0;
  virtual HRESULT put_InitialDirectory(const Bstr& value) = 0;
  virtual HRESULT get_GetLearnStringOnAdd(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_GetLearnStringOnAdd(VARIANT_BOOL value) = 0;
  virtual HRESULT get_LastInstrumentSetup(Bstr* value) = 0;
  virtual HRESULT put_LastInstrumentSetup(const Bstr& value) = 0;
};

// The late-bound description of each interface, added to the dispatch table
// of the class that implements it.
namespace members {

template <class C>
void AddSetupFile(com::DispatchTableBuilder<C>& b) {
  using F = ISetupFile;
  using com::In;
  using com::Retval;
  const auto text = [&](const char* name, com::DISPID id, auto get, auto put) {
    b.Get(name, id, get).Put(name, id, put, {In("Value")});
  };
  b.Interface("ISetupFile")
      .Method("IsACompatibleFile", 1, &F::IsACompatibleFile,
              {In("FileName"), Retval("Compatible", com::VT_BOOL)});
  text("Model", 2, &F::get_Model, &F::put_Model);
  b.Get("LearnString", 3, &F::get_LearnString)
      .Put("LearnString", 3, &F::put_LearnString, {In("Value")});
  text("UserComments", 4, &F::get_UserComments, &F::put_UserComments);
  text("Version", 5, &F::get_Version, &F::put_Version);
  b.Method("WriteFile", 6, &F::WriteFile, {In("FileName")})
      .Method("ReadFile", 7, &F::ReadFile, {In("FileName")});
  text("SerialNumber", 8, &F::get_SerialNumber, &F::put_SerialNumber);
  text("ReservedField1", 9, &F::get_ReservedField1, &F::put_ReservedField1);
  text("ReservedField2", 10, &F::get_ReservedField2, &F::put_ReservedField2);
  text("ReservedField3", 11, &F::get_ReservedField3, &F::put_ReservedField3);
  text("Manufacturer", 12, &F::get_Manufacturer, &F::put_Manufacturer);
}

template <class C>
void AddSetup(com::DispatchTableBuilder<C>& b) {
  using S = ISetupVexR7100Scope;
  using com::In;
  using com::Retval;
  b.Interface("ISetupVexR7100Scope")
      .Get("Comments", 1, &S::get_Comments)
      .Put("Comments", 1, &S::put_Comments, {In("Value")})
      .Get("Name", 2, &S::get_Name)
      .Put("NewName", 3, &S::put_NewName, {In("Value")})
      .Hidden()
      .Method("ReadProperties", 4, &S::ReadProperties, {In("PropBag"), In("Index")})
      .Hidden()
      .Method("WriteProperties", 5, &S::WriteProperties, {In("PropBag"), In("Index")})
      .Hidden()
      .Method("Copy", 6, &S::Copy, {In("Source", com::VT_DISPATCH)})
      .Hidden()
      .Get("LearnString", 7, &S::get_LearnString)
      .Hidden()
      .Get("Model", 8, &S::get_Model)
      .Get("Version", 9, &S::get_Version)
      .Method("GetFromInstrument", 10, &S::GetFromInstrument)
      .Method("IsLearnStringCompatible", 11, &S::IsLearnStringCompatible,
              {In("Model"), In("Version"), Retval("Compatible", com::VT_BOOL)})
      .Method("ReadFromFile", 12, &S::ReadFromFile, {In("FileName")})
      .Method("SaveToFile", 13, &S::SaveToFile, {In("FileName")})
      .Method("SendToInstrument", 14, &S::SendToInstrument)
      .Get("ParentSetups", 15, &S::get_ParentSetups, {Retval("Setups", com::VT_DISPATCH)})
      .Hidden()
      .Put("ParentSetups", 15, &S::put_ParentSetups, {In("Setups", com::VT_DISPATCH)})
      .Hidden();
}

template <class C>
void AddSetups(com::DispatchTableBuilder<C>& b) {
  using S = ISetupsVexR7100Scope;
  using com::In;
  using com::Retval;
  b.Interface("ISetupsVexR7100Scope")
      .Method("Add", 1, &S::Add, {In("Name"), Retval("Setup", com::VT_DISPATCH)})
      .Method("item", com::DISPID_VALUE, &S::item,
              {In("Index", com::VT_VARIANT), Retval("Setup", com::VT_DISPATCH)})
      .Get("Count", 2, &S::get_Count)
      .Method("Remove", 3, &S::Remove, {In("Index", com::VT_VARIANT)})
      .Get("NewEnum", com::DISPID_NEWENUM, &S::get_NewEnum, {Retval("Enum", com::VT_UNKNOWN)})
      .Hidden()
      .Method("ReadProperties", 4, &S::ReadProperties, {In("PropBag")})
      .Hidden()
      .Method("WriteProperties", 5, &S::WriteProperties, {In("PropBag")})
      .Hidden()
      .Method("Copy", 6, &S::Copy, {In("Source", com::VT_DISPATCH)})
      .Get("CVexR7100EZPtr", 7, &S::get_CVexR7100EZPtr, {Retval("Instrument", com::VT_DISPATCH)})
      .Hidden()
      .Put("CVexR7100EZPtr", 7, &S::put_CVexR7100EZPtr, {In("Instrument", com::VT_DISPATCH)})
      .Hidden()
      .Get("InitialDirectory", 8, &S::get_InitialDirectory)
      .Hidden()
      .Put("InitialDirectory", 8, &S::put_InitialDirectory, {In("Value")})
      .Hidden()
      .Get("GetLearnStringOnAdd", 9, &S::get_GetLearnStringOnAdd, {Retval("Value", com::VT_BOOL)})
      .Hidden()
      .Put("GetLearnStringOnAdd", 9, &S::put_GetLearnStringOnAdd, {In("Value", com::VT_BOOL)})
      .Hidden()
      .Get("LastInstrumentSetup", 10, &S::get_LastInstrumentSetup)
      .Hidden()
      .Put("LastInstrumentSetup", 10, &S::put_LastInstrumentSetup, {In("Value")})
      .Hidden();
}

}  // namespace members
}  // namespace vex::control

// Creates an empty setups collection (no instrument object, the process's
// current folder as InitialDirectory); the caller owns the one reference.
extern "C" __attribute__((visibility("default"))) vex::com::HRESULT Vex9100CreateSetups(
    vex::control::ISetupsVexR7100Scope** setups);
