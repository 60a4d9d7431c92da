// The scope control against instruments: the simulated bus (GPIB0::7) and
// the simulator over TCP. A running host's control connects on first use;
// a design-time one does not; failures are the one connection status with
// the control's localised message; the support log reaches the host as
// SupportMessage events.
#include <gtest/gtest.h>

#include "VexsimProcess.h"
#include "scope_test_support.h"

namespace vex::control {
namespace {

using namespace vex::control::test;

std::uint32_t Status(HRESULT hr) {
  return static_cast<std::uint32_t>(hr);
}

TEST(ScopeOnInstrument, RunningHostConnectsOnFirstUseAndReportsTheInstrument) {
  Hosted scope;
  scope.site->ClearChanges();
  Variant name;
  ASSERT_EQ(GetProperty(scope.control.Get(), "ConnectionName", &name), S_OK);
  EXPECT_FALSE(scope.Get("InstrumentConnected").BoolVal());
  ASSERT_EQ(scope.Call("AutoScale"), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_TRUE(scope.Get("InstrumentConnected").BoolVal());
  EXPECT_NE(scope.Text("AddressInstrumentID").find("VDS3004A"), std::string::npos);
  EXPECT_EQ(scope.site->Changes().front(), "AddressInstrumentID");
  Variant timebase = scope.Get("Timebase");
  Variant range;
  ASSERT_EQ(GetProperty(timebase.Dispatch(), "HorizontalRange", &range), S_OK);
  // Enter without a format reads a whole reply.
  ASSERT_EQ(scope.Call("Output", {Variant("*IDN?")}), S_OK);
  Variant reply;
  std::vector<Variant> args{Variant::ByRef(&reply)};
  ASSERT_EQ(InvokeByName(scope.control.Get(), "Enter", DISPATCH_METHOD, args, nullptr), S_OK);
  EXPECT_NE(reply.BstrVal().Str().find("VDS3004A"), std::string::npos);
  // A wrong instrument is refused by the identity check.
  ASSERT_EQ(scope.Call("CloseConnection"), S_OK);
  EXPECT_FALSE(scope.Get("InstrumentConnected").BoolVal());
}

TEST(ScopeOnInstrument, DesignTimeControlDoesNotConnect) {
  Hosted scope(false);
  EXPECT_NE(scope.Call("AutoScale"), S_OK);
  (void)TakeErrorDetails();
  EXPECT_FALSE(scope.Get("InstrumentConnected").BoolVal());
  // The host starts running: the next call connects.
  scope.site->SetRunning(true);
  ComPtr<IHostedControl> hosted;
  ASSERT_EQ(scope.control.As(&hosted), S_OK);
  ASSERT_EQ(hosted->OnAmbientPropertyChange(), S_OK);
  ASSERT_EQ(scope.Call("Digitize"), S_OK) << TakeErrorDetails().description.Str();
  EXPECT_TRUE(scope.Get("InstrumentConnected").BoolVal());
}

TEST(ScopeOnInstrument, NothingAnsweringIsTheConnectionStatusInTheControlsLanguage) {
  Hosted scope;
  ASSERT_EQ(scope.Put("Address", Variant("GPIB0::3::INSTR")), S_OK);
  EXPECT_EQ(Status(scope.Call("AutoScale")), 0x8004003Bu);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_EQ(details.description.Str(),
            "Connection to instrument did not succeed\r\ndue to an I/O initialization "
            "failure.\r\n\r\nGo to the Search Instruments or Set I/O property page and retest.");
  EXPECT_EQ(details.source.Str(), "Vexan 8100 Scope Control Error");
  EXPECT_FALSE(scope.Get("InstrumentConnected").BoolVal());
  ASSERT_EQ(scope.Put("CountryCode", Variant(49)), S_OK);
  EXPECT_EQ(Status(scope.Call("Initialize")), 0x8004003Bu);
  details = TakeErrorDetails();
  EXPECT_EQ(details.description.Str().rfind("Die Verbindung zum Gerät", 0), 0u)
      << details.description.Str();
  EXPECT_EQ(details.source.Str(), "Fehler der Oszilloskopsteuerung Vexan 8100");
  ASSERT_EQ(scope.Put("CountryCode", Variant(1)), S_OK);
}

TEST(ScopeOnInstrument, IdentityCheckRejectingTheInstrumentFailsInitialize) {
  Hosted scope;
  // The simulator reports a model the server does not know as supported.
  sim::test::Vexsim sim({"--tcp", "127.0.0.1:0", "--model", "VDS9999Z"});
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET";
  ASSERT_EQ(scope.Put("Address", Variant(address)), S_OK);
  ASSERT_EQ(scope.Put("CheckIDOnInitialize", Variant(false)), S_OK);
  ASSERT_EQ(scope.Call("Initialize"), S_OK) << TakeErrorDetails().description.Str();
  ASSERT_EQ(scope.Put("CheckIDOnInitialize", Variant(true)), S_OK);
  EXPECT_EQ(Status(scope.Call("Initialize")), 0x8004003Bu);
  (void)TakeErrorDetails();
  EXPECT_FALSE(scope.Get("InstrumentConnected").BoolVal());
}

TEST(ScopeOnInstrument, WaveformThroughTheControlOverTcpWithSupportMessages) {
  sim::test::Vexsim sim({"--tcp", "127.0.0.1:0"});
  Hosted scope;
  auto messages = MakeObject<SupportMessages>();
  Advised advised(scope.control.Get(), messages->Identity());
  ASSERT_EQ(scope.Put("SupportMessageMode", Variant(4)), S_OK);
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET";
  ASSERT_EQ(scope.Put("Address", Variant(address)), S_OK);
  ASSERT_EQ(scope.Call("Digitize"), S_OK) << TakeErrorDetails().description.Str();
  Variant time;
  Variant data;
  std::vector<Variant> args{Variant(1), Variant(100), Variant::ByRef(&time), Variant::ByRef(&data)};
  ASSERT_EQ(InvokeByName(scope.control.Get(), "GetWaveformData", DISPATCH_METHOD, args, nullptr),
            S_OK)
      << TakeErrorDetails().description.Str();
  ASSERT_NE(data.Array(), nullptr);
  EXPECT_GT(data.Array()->Span<const double>().size(), 0u);
  // A refused value is logged to the host as a support message.
  EXPECT_NE(scope.Put("TXDelay", Variant(-5)), S_OK);
  (void)TakeErrorDetails();
  EXPECT_NE(messages->All().find("Let TXDelay"), std::string::npos) << messages->All();
  ASSERT_EQ(scope.Put("SupportMessageMode", Variant(0)), S_OK);
}

TEST(ScopeOnInstrument, SerialPortIsPreparedAndReleasedAroundTheConnection) {
  sim::test::Vexsim sim({"--pty"});
  const std::string pty = sim.Endpoint("pty");
  ASSERT_FALSE(pty.empty());
  setenv("VEX_COM_PORTS", ("COM2=" + pty).c_str(), 1);
  {
    Hosted scope;
    ASSERT_EQ(scope.Put("Address", Variant("COM2::Handshake=DTR_DSR")), S_OK);
    EXPECT_NE(scope.Text("AutomationServerAddress").find("Handshake=DTR_DSR"), std::string::npos);
    Variant model;
    Variant utilities = scope.Get("Utilities");  // connects first
    ASSERT_NE(utilities.Dispatch(), nullptr) << TakeErrorDetails().description.Str();
    ASSERT_EQ(GetProperty(utilities.Dispatch(), "InstrumentModel", &model), S_OK);
    EXPECT_EQ(model.BstrVal().Str().rfind("VDS3", 0), 0u);
    EXPECT_TRUE(scope.Get("InstrumentConnected").BoolVal());
    ASSERT_EQ(scope.Call("CloseConnection"), S_OK);
    EXPECT_EQ(PeekErrorInfo(), nullptr);
    // Connected again on the same port after it was released.
    ASSERT_EQ(scope.Call("Initialize"), S_OK) << TakeErrorDetails().description.Str();
  }
  unsetenv("VEX_COM_PORTS");
}

}  // namespace
}  // namespace vex::control
