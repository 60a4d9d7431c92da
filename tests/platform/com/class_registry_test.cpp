#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "demo_calculator.h"
#include "vex/com/com.h"

using namespace vex::com;

namespace {

// Each test works on a registry file of its own under the build tree.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::getenv("VEXCOM_REGISTRY") ? std::getenv("VEXCOM_REGISTRY") : "";
    path_ = std::string(VEX_TEST_TMP) + "/registry-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".json";
    std::filesystem::remove(path_);
    setenv("VEXCOM_REGISTRY", path_.c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty()) unsetenv("VEXCOM_REGISTRY"); else setenv("VEXCOM_REGISTRY", saved_.c_str(), 1);
  }
  std::string path_, saved_;
};

TEST_F(Registry, TheStoreIsTheFileTheEnvironmentNames) {
  EXPECT_EQ(RegistryStorePath(), path_);
  unsetenv("VEXCOM_REGISTRY");
  setenv("XDG_CONFIG_HOME", "/somewhere", 1);
  EXPECT_EQ(RegistryStorePath(), "/somewhere/vexcom/registry.json");
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Registry, ServerRegistersItsClassesAndIsLoadedOnCreation) {
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID("VexDemo.Calculator", &clsid), CO_E_CLASSSTRING);
  EXPECT_NE(TakeErrorDetails().description.Str().find("\"VexDemo.Calculator\" is not registered"), std::string::npos);

  ASSERT_EQ(RegisterServer(VEX_DEMO_SERVER), S_OK);
  ASSERT_EQ(CLSIDFromProgID("VexDemo.Calculator", &clsid), S_OK) << "the version-independent name follows CurVer";
  EXPECT_EQ(clsid, vexdemo::kCalculatorClsid);
  ASSERT_EQ(CLSIDFromProgID("VexDemo.Calculator.1", &clsid), S_OK);
  Bstr progid;
  ASSERT_EQ(ProgIDFromCLSID(clsid, &progid), S_OK);
  EXPECT_EQ(progid, "VexDemo.Calculator.1");
  ClassRegistration entry;
  ASSERT_EQ(LookupClassEntry(clsid, &entry), S_OK);
  EXPECT_EQ(entry.threading_model, "Apartment");
  EXPECT_EQ(std::filesystem::path(entry.library).filename(), "libVexDemoServer.so");

  ComPtr<IDispatch> calc;
  ASSERT_EQ(CreateObjectByProgID("VexDemo.Calculator", &calc), S_OK);
  Variant sum;
  ASSERT_EQ(CallMethod(calc.Get(), "Add", {Variant(2), Variant(3)}, &sum), S_OK);
  EXPECT_EQ(sum.R8(), 5.0);
  ComPtr<vexdemo::ICalculator> typed;
  ASSERT_EQ(CoCreateInstance(clsid, &typed), S_OK);
  double direct = 0;
  EXPECT_EQ(typed->Add(1, 1, &direct), S_OK);

  ASSERT_EQ(UnregisterServer(VEX_DEMO_SERVER), S_OK);
  EXPECT_EQ(CLSIDFromProgID("VexDemo.Calculator.1", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CoCreateInstance(vexdemo::kCalculatorClsid, &typed), REGDB_E_CLASSNOTREG);
}

TEST_F(Registry, AMissingLibraryIsAClearCreationError) {
  ClassRegistration entry{MakeGuid("{0A0A0A0A-0000-0000-0000-00000000000A}"), "Gone.Thing.1", "Gone.Thing",
                          "Thing Class", "Apartment", "/nonexistent/libGone.so", "", true};
  ASSERT_EQ(RegisterClassEntry(entry), S_OK);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CreateObjectByProgID("Gone.Thing", &object), E_MOD_NOT_FOUND);
  std::string why = TakeErrorDetails().description.Str();
  EXPECT_NE(why.find("/nonexistent/libGone.so"), std::string::npos) << why;
  EXPECT_EQ(RegisterServer("/nonexistent/libGone.so"), E_MOD_NOT_FOUND);
}

TEST_F(Registry, ProcessLocalClassesAndBadInput) {
  std::uint32_t cookie = 0;
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CreateClassFactory([](const IID& iid, void** out) {
              auto bag = MakeObject<MemoryPropertyBag>();
              return bag->QueryInterface(iid, out);
            }, factory.ReleaseAndGetAddressOf()), S_OK);
  ClassRegistration entry{MakeGuid("{0B0B0B0B-0000-0000-0000-00000000000B}"), "Local.Bag.1", "Local.Bag",
                          "Bag Class", "Apartment", "", "", true};
  ASSERT_EQ(RegisterClassObject(entry, factory.Get(), &cookie), S_OK);
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(CreateObjectByProgID("Local.Bag", &bag), S_OK);
  ASSERT_EQ(RevokeClassObject(cookie), S_OK);
  EXPECT_EQ(RevokeClassObject(cookie), E_INVALIDARG);
  EXPECT_EQ(CreateObjectByProgID("Local.Bag", &bag), CO_E_CLASSSTRING);

  EXPECT_EQ(CLSIDFromProgID("", nullptr), E_POINTER);
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID("", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::kIid, nullptr), E_POINTER);
  EXPECT_EQ(RegisterClassEntry(ClassRegistration{}), E_INVALIDARG);

  std::ofstream(path_) << "{ not json";
  EXPECT_EQ(CLSIDFromProgID("Any.Thing", &clsid), REGDB_E_READREGDB);
}

}  // namespace
