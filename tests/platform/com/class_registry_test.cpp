#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

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
    if (saved_.empty())
      unsetenv("VEXCOM_REGISTRY");
    else
      setenv("VEXCOM_REGISTRY", saved_.c_str(), 1);
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
  EXPECT_NE(TakeErrorDetails().description.Str().find("\"VexDemo.Calculator\" is not registered"),
            std::string::npos);

  ASSERT_EQ(RegisterServer(VEX_DEMO_SERVER), S_OK);
  ASSERT_EQ(CLSIDFromProgID("VexDemo.Calculator", &clsid), S_OK)
      << "the version-independent name follows CurVer";
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
  ClassRegistration entry{MakeGuid("{0A0A0A0A-0000-0000-0000-00000000000A}"),
                          "Gone.Thing.1",
                          "Gone.Thing",
                          "Thing Class",
                          "Apartment",
                          "/nonexistent/libGone.so",
                          "",
                          true};
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
  ASSERT_EQ(CreateClassFactory(
                [](const IID& iid, void** out) {
                  auto bag = MakeObject<MemoryPropertyBag>();
                  return bag->QueryInterface(iid, out);
                },
                factory.ReleaseAndGetAddressOf()),
            S_OK);
  ClassRegistration entry{MakeGuid("{0B0B0B0B-0000-0000-0000-00000000000B}"),
                          "Local.Bag.1",
                          "Local.Bag",
                          "Bag Class",
                          "Apartment",
                          "",
                          "",
                          true};
  ASSERT_EQ(RegisterClassObject(entry, factory.Get(), &cookie), S_OK);
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(CreateObjectByProgID("Local.Bag", &bag), S_OK);
  ASSERT_EQ(RevokeClassObject(cookie), S_OK);
  EXPECT_EQ(RevokeClassObject(cookie), E_INVALIDARG);
  EXPECT_EQ(CreateObjectByProgID("Local.Bag", &bag), CO_E_CLASSSTRING);

  EXPECT_EQ(CLSIDFromProgID("", nullptr), E_POINTER);
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID("", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::kIid, nullptr),
            E_POINTER);
  EXPECT_EQ(RegisterClassEntry(ClassRegistration{}), E_INVALIDARG);

  std::ofstream(path_) << "{ not json";
  EXPECT_EQ(CLSIDFromProgID("Any.Thing", &clsid), REGDB_E_READREGDB);
}

// The store is read, changed and replaced under its lock, as property-bag
// files are: processes registering at once keep every entry, and a store in
// a folder that is not there fails with the file and the reason, without
// making the folder.
TEST_F(Registry, ConcurrentRegistrationsKeepEveryEntryAndNoFolderIsMade) {
  constexpr int kProcesses = 6;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0; i < 5; ++i) {
        ClassRegistration entry{};
        char guid[40];
        std::snprintf(guid, sizeof guid, "{0C0C0C0C-0000-0000-0000-0000000%02d%03d}", p, i);
        entry.clsid = *ParseGuid(guid);
        entry.prog_id = "Many.P" + std::to_string(p) + "C" + std::to_string(i) + ".1";
        entry.library = "/nowhere/lib.so";
        if (FAILED(RegisterClassEntry(entry))) ::_exit(2);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  std::vector<ClassRegistration> listed;
  ASSERT_EQ(ListClassEntries(&listed), S_OK);
  EXPECT_EQ(listed.size(), static_cast<std::size_t>(kProcesses * 5));
  for (const auto& name : std::filesystem::directory_iterator(VEX_TEST_TMP))
    EXPECT_EQ(name.path().filename().string().find(".registry-Concurrent"), std::string::npos)
        << "temporary left: " << name.path();

  const std::string missing = std::string(VEX_TEST_TMP) + "/no-such-folder/r.json";
  std::filesystem::remove_all(std::string(VEX_TEST_TMP) + "/no-such-folder");
  setenv("VEXCOM_REGISTRY", missing.c_str(), 1);
  ClassRegistration entry{MakeGuid("{0D0D0D0D-0000-0000-0000-00000000000D}"),
                          "Any.Where.1",
                          "",
                          "",
                          "Apartment",
                          "/nowhere/lib.so",
                          "",
                          true};
  EXPECT_EQ(RegisterClassEntry(entry), REGDB_E_WRITEREGDB);
  const std::string why = TakeErrorDetails().description.Str();
  EXPECT_NE(why.find(missing), std::string::npos) << why;
  EXPECT_NE(why.find("No such file or directory"), std::string::npos) << why;
  EXPECT_FALSE(std::filesystem::exists(std::string(VEX_TEST_TMP) + "/no-such-folder"));
}

}  // namespace
