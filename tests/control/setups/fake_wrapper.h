// A small stand-in for the control's server wrapper as the setups and the
// Setups page reach it by name: the page mode, the connection, Initialize,
// IDNQuery and a Utilities object that reads and writes setup data and can
// fail.
#pragma once

#include <string>
#include <vector>

#include "setup_test_support.h"
#include "vex/com/com.h"

namespace vex::control::test {

using namespace vex::com;

// The Utilities object: setup data read and written, the model and
// firmware of the instrument, its last error; each can be made to fail.
class FakeUtilities : public Object<IDispatch> {
 public:
  HRESULT ReadStateData(Variant* data) {
    ++reads;
    *data = test::ByteArray(state);
    return S_OK;
  }
  HRESULT WriteStateData(const Variant& data) {
    if (fail_write) return ReportRichError(E_FAIL, "write failed", "Fake");
    ++writes;
    written.push_back(test::BytesOf(data.Dereferenced()));
    return S_OK;
  }
  HRESULT get_InstrumentModel(Bstr* value) {
    if (fail_model) return ReportRichError(E_FAIL, "model query failed", "Fake");
    *value = Bstr(model);
    return S_OK;
  }
  HRESULT get_InstrumentFirmwareVersion(Bstr* value) {
    *value = Bstr(version);
    return S_OK;
  }
  HRESULT QueryInstrumentError(Bstr* text) {
    ++error_queries;
    *text = Bstr("-222,\"Data out of range\"");
    return S_OK;
  }
  VEX_COM_IMPLEMENT_DISPATCH(FakeUtilities, Table())
  static const DispatchTable& Table() {
    static const DispatchTable table = [] {
      DispatchTableBuilder<FakeUtilities> b("FakeUtilities");
      b.Method("ReadStateData", 1, &FakeUtilities::ReadStateData, {Out("StateData")})
          .Method("WriteStateData", 2, &FakeUtilities::WriteStateData, {In("StateData")})
          .Get("InstrumentModel", 3, &FakeUtilities::get_InstrumentModel)
          .Get("InstrumentFirmwareVersion", 4, &FakeUtilities::get_InstrumentFirmwareVersion)
          .Method("QueryInstrumentError", 5, &FakeUtilities::QueryInstrumentError,
                  {Retval("Value", VT_BSTR)});
      return b.Build();
    }();
    return table;
  }
  std::string state = "#15hello";
  std::string model = "R7152D";
  std::string version = "1.20";
  bool fail_model = false;
  bool fail_write = false;
  int reads = 0;
  int writes = 0;
  int error_queries = 0;
  std::vector<std::string> written;
};

// The server wrapper as the page reaches it by name.
class FakeWrapper : public Object<IDispatch> {
 public:
  HRESULT get_PropertyPageMode(VARIANT_BOOL* on) {
    *on = page_mode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT put_PropertyPageMode(VARIANT_BOOL on) {
    page_mode = on != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT get_InstrumentConnected(VARIANT_BOOL* on) {
    *on = connected ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT Initialize() {
    if (fail_initialize) return ReportRichError(E_FAIL, "no instrument", "Fake");
    connected = true;
    return S_OK;
  }
  HRESULT get_Utilities(IDispatch** out) {
    *out = utilities.Get();
    (*out)->AddRef();
    return S_OK;
  }
  HRESULT IDNQuery(Bstr* id) {
    *id = Bstr("VEXAN TECHNOLOGIES,VDS3014A,SIM1,A.03.00");
    return S_OK;
  }
  VEX_COM_IMPLEMENT_DISPATCH(FakeWrapper, Table())
  static const DispatchTable& Table() {
    static const DispatchTable table = [] {
      DispatchTableBuilder<FakeWrapper> b("FakeWrapper");
      b.Get("PropertyPageMode", 1, &FakeWrapper::get_PropertyPageMode)
          .Put("PropertyPageMode", 1, &FakeWrapper::put_PropertyPageMode, {In("Value", VT_BOOL)})
          .Get("InstrumentConnected", 2, &FakeWrapper::get_InstrumentConnected)
          .Method("Initialize", 3, &FakeWrapper::Initialize)
          .Get("Utilities", 4, &FakeWrapper::get_Utilities, {Retval("Value", VT_DISPATCH)})
          .Method("IDNQuery", 5, &FakeWrapper::IDNQuery, {Retval("Value", VT_BSTR)});
      return b.Build();
    }();
    return table;
  }
  ComPtr<FakeUtilities> utilities = MakeObject<FakeUtilities>();
  bool page_mode = false;
  bool connected = false;
  bool fail_initialize = false;
};

}  // namespace vex::control::test
