// Setups against the simulated instrument through the real server, created
// by ProgID and reached by member name only: a setup taken, a setting
// changed, the setup sent back restores it; the same through a setup file
// loaded into a fresh collection.
#include <gtest/gtest.h>

#include "VexsimProcess.h"
#include "setup_test_support.h"
#include "setups_vexr7100_scope.h"

namespace vex::control {
namespace {

using namespace vex::com;
using namespace vex::control::test;

double Range(IDispatch* top) {
  Variant timebase;
  EXPECT_EQ(GetProperty(top, "Timebase", &timebase), S_OK);
  Variant range;
  EXPECT_EQ(GetProperty(timebase.Dispatch(), "HorizontalRange", &range), S_OK);
  double value = 0;
  EXPECT_EQ(range.ToR8(&value), S_OK);
  return value;
}

void SetRange(IDispatch* top, double value) {
  Variant timebase;
  ASSERT_EQ(GetProperty(top, "Timebase", &timebase), S_OK);
  ASSERT_EQ(PutProperty(timebase.Dispatch(), "HorizontalRange", Variant(value)), S_OK);
}

class SetupsOnSimulator : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(RegisterServer(VEX8100RESLIB_PATH), S_OK);
    ASSERT_EQ(RegisterServer(VEX9100TB_PATH), S_OK);
    ASSERT_EQ(RegisterServer(VEXIOUTILS_PATH), S_OK);
    sim_ = new sim::test::Vexsim({"--tcp", "127.0.0.1:0"});
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(CreateObjectByProgID("VexR7100X.VexR7100EZ", &top), S_OK)
        << TakeErrorDetails().description.Str();
    const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(sim_->port()) + "::SOCKET";
    ASSERT_EQ(CallMethod(top.Get(), "Connect", {Variant(address)}, nullptr), S_OK)
        << TakeErrorDetails().description.Str();
    ASSERT_EQ(CallMethod(top.Get(), "Output", {Variant("*RST")}, nullptr), S_OK);
  }
  void TearDown() override { (void)CallMethod(top.Get(), "Close", {}, nullptr); }

  static sim::test::Vexsim* sim_;
  ComPtr<IDispatch> top;
  ScratchFolder folder;
};
sim::test::Vexsim* SetupsOnSimulator::sim_ = nullptr;

TEST_F(SetupsOnSimulator, SetupSentBackRestoresTheInstrumentAlsoThroughAFile) {
  auto setups = MakeObject<CSetupsVexR7100Scope>();
  ASSERT_EQ(setups->put_CVexR7100EZPtr(top.Get()), S_OK);
  ComPtr<ISetupVexR7100Scope> bench;
  ASSERT_EQ(setups->Add(Bstr("Bench"), bench.ReleaseAndGetAddressOf()), S_OK);

  SetRange(top.Get(), 2e-3);
  ASSERT_EQ(bench->GetFromInstrument(), S_OK) << TakeErrorDetails().description.Str();
  Bstr model;
  Bstr version;
  ASSERT_EQ(bench->get_Model(&model), S_OK);
  ASSERT_EQ(bench->get_Version(&version), S_OK);
  EXPECT_FALSE(model.IsEmpty());
  EXPECT_FALSE(version.IsEmpty());

  SetRange(top.Get(), 5e-6);
  ASSERT_DOUBLE_EQ(Range(top.Get()), 5e-6);
  ASSERT_EQ(bench->SendToInstrument(), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_DOUBLE_EQ(Range(top.Get()), 2e-3);

  const std::string path = folder / "bench.scp";
  ASSERT_EQ(bench->SaveToFile(Bstr(path)), S_OK);
  SetRange(top.Get(), 5e-6);
  auto fresh = MakeObject<CSetupsVexR7100Scope>();
  ASSERT_EQ(fresh->put_CVexR7100EZPtr(top.Get()), S_OK);
  ComPtr<ISetupVexR7100Scope> loaded;
  ASSERT_EQ(fresh->Add(Bstr("bench"), loaded.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(loaded->ReadFromFile(Bstr(path)), S_OK);
  ASSERT_EQ(loaded->SendToInstrument(), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_DOUBLE_EQ(Range(top.Get()), 2e-3);
}

}  // namespace
}  // namespace vex::control
