// The automation server as a client sees it: the shared library loaded at run
// time through the registry, the top-level object created by ProgID, every
// member reached by name or through the published interfaces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "VexsimProcess.h"
#include "vex/com/com.h"
#include "vex/server/vexr7100.h"

namespace vex::server {
namespace {

using namespace vex::com;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class ServerLibrary : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_EQ(RegisterServer(VEX9100TB_PATH), S_OK) << TakeErrorDetails().description.Str();
  }
};
const auto* const kLibrary = ::testing::AddGlobalTestEnvironment(new ServerLibrary);

ComPtr<IDispatch> NewTopLevel() {
  ComPtr<IDispatch> top;
  EXPECT_EQ(CreateObjectByProgID("VexR7100X.VexR7100EZ", &top), S_OK)
      << TakeErrorDetails().description.Str();
  return top;
}

ComPtr<IDispatch> Child(IDispatch* parent, std::string_view name) {
  Variant value;
  EXPECT_EQ(GetProperty(parent, name, &value), S_OK) << name;
  ComPtr<IDispatch> child;
  if (value.vt() == VT_DISPATCH) child = value.Dispatch();
  return child;
}

// Calls a member by name with `args` and returns the status; `result` gets
// the retval.
HRESULT Call(IDispatch* object, std::string_view name, std::vector<Variant> args,
             Variant* result = nullptr,
             std::uint16_t flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  Variant ignored;
  return InvokeByName(object, name, flags, args, result ? result : &ignored);
}

TEST(ServerRegistration, EveryClassHasBothProgIDsAndTheTypeLibraryIsPublished) {
  const char* classes[] = {"VexR7100EZ",
                           "AcquisitionVexR7100",
                           "AnalogChannelsVexR7100",
                           "AnalogChannelVexR7100",
                           "LogicChannelVexR7100",
                           "MeasureVexR7100",
                           "TimebaseVexR7100",
                           "TraceVexR7100",
                           "TriggerVexR7100",
                           "UtilitiesVexR7100",
                           "CoreVexR7100",
                           "ErrorHandler",
                           "GladBag"};
  for (const char* name : classes) {
    std::string independent = std::string("VexR7100X.") + name;
    CLSID by_name{}, by_version{};
    ASSERT_EQ(CLSIDFromProgID(independent, &by_name), S_OK) << independent;
    ASSERT_EQ(CLSIDFromProgID(independent + ".1", &by_version), S_OK) << independent;
    EXPECT_EQ(by_name, by_version);
    ClassRegistration entry;
    ASSERT_EQ(LookupClassEntry(by_name, &entry), S_OK);
    EXPECT_EQ(entry.description, std::string(name) + " Class");
    EXPECT_EQ(entry.threading_model, "Apartment");
    EXPECT_EQ(entry.type_library, "VexR7100ServerLib");
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(by_name, &object), S_OK) << independent;
  }

  const TypeLibrary* library = nullptr;
  ASSERT_EQ(LoadTypeLibrary("VexR7100ServerLib", &library), S_OK);
  std::int32_t value = 0;
  const EnumInfo* owner = nullptr;
  ASSERT_TRUE(library->FindConstant("vexr7100_triggerslope_negative", &value, &owner));
  EXPECT_EQ(value, 2);
  EXPECT_EQ(owner->name, "VexR7100_TriggerSlope");
  ASSERT_TRUE(library->FindConstant("VexR7100_AcquisitionType_Normal", &value));
  EXPECT_EQ(value, 6);
  ASSERT_TRUE(library->FindConstant("VexR7100_ImageFormat_UseSuffix", &value));
  EXPECT_EQ(value, 100);
  EXPECT_FALSE(library->FindConstant("VexR7100_TriggerSlope_Sideways", &value));
  EXPECT_EQ(library->NearestConstants("VexR7100_TriggerSlope_Negativ", 1).front(),
            "VexR7100_TriggerSlope_Negative");
  EXPECT_EQ(library->enums.size(), 19u);
  EXPECT_EQ(library->interfaces.size(), 10u);

  const TypeLibrary* missing = nullptr;
  EXPECT_EQ(LoadTypeLibrary("NoSuchLib", &missing), TYPE_E_LIBNOTREGISTERED);
  EXPECT_THAT(TakeErrorDetails().description.Str(), HasSubstr("NoSuchLib"));
}

TEST(TopLevelObject, HandsOutTheSameSubsystemObjectsWithoutAConnection) {
  ComPtr<IDispatch> top = NewTopLevel();
  const char* subsystems[] = {"Acquisition", "AnalogChannels", "LogicChannel", "Measure",
                              "Timebase",    "Trace",          "Trigger",      "Utilities"};
  for (const char* name : subsystems) {
    ComPtr<IDispatch> first = Child(top.Get(), name);
    ComPtr<IDispatch> second = Child(top.Get(), name);
    ASSERT_TRUE(first) << name;
    ComPtr<IUnknown> a, b;
    ASSERT_EQ(first.As(&a), S_OK);
    ASSERT_EQ(second.As(&b), S_OK);
    EXPECT_EQ(a.Get(), b.Get()) << name << " is one object";
  }
  // The Ex interfaces are answered by the subsystem objects themselves.
  ComPtr<ITimebaseExVexR7100> timebase_ex;
  EXPECT_EQ(Child(top.Get(), "Timebase").As(&timebase_ex), S_OK);
  ComPtr<ITriggerExVexR7100> trigger_ex;
  EXPECT_EQ(Child(top.Get(), "Trigger").As(&trigger_ex), S_OK);
  ComPtr<IMeasureExVexR7100> measure_ex;
  EXPECT_EQ(Child(top.Get(), "Measure").As(&measure_ex), S_OK);
  ComPtr<IAcquisitionExVexR7100> acquisition_ex;
  EXPECT_EQ(Child(top.Get(), "Acquisition").As(&acquisition_ex), S_OK);

  // A member that needs the instrument says so, through the wrapper.
  Variant range;
  EXPECT_EQ(GetProperty(Child(top.Get(), "Timebase").Get(), "HorizontalRange", &range), E_FAIL);
  EXPECT_THAT(TakeErrorDetails().description.Str(), HasSubstr("not currently connected"));

  // Misspelt members are unknown names with suggestions at hand.
  DISPID id = 0;
  EXPECT_EQ(top->GetIDsOfNames("Digitise", &id), DISP_E_UNKNOWNNAME);
  const DispatchTable* table = nullptr;
  ASSERT_EQ(top->GetTypeInfo(&table), S_OK);
  EXPECT_EQ(table->NearestNames("Digitise", 1).front(), "Digitize");
}

TEST(TopLevelObject, PersistsTheCoreSettingsUnderItsOwnClassId) {
  ComPtr<IDispatch> top = NewTopLevel();
  ComPtr<IPersistPropertyBag> persist;
  ASSERT_EQ(top.As(&persist), S_OK);
  CLSID clsid{};
  ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, kVexR7100EZClsid);
  ComPtr<IDispatch> utilities = Child(top.Get(), "Utilities");
  ASSERT_EQ(PutProperty(utilities.Get(), "RangeChecking", Variant(false)), S_OK);
  ASSERT_EQ(PutProperty(utilities.Get(), "InstanceName", Variant("bench scope")), S_OK);
  auto bag = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(persist->Save(bag.Get(), true, true), S_OK);

  ComPtr<IDispatch> other = NewTopLevel();
  ComPtr<IPersistPropertyBag> other_persist;
  ASSERT_EQ(other.As(&other_persist), S_OK);
  ASSERT_EQ(other_persist->Load(bag.Get(), nullptr), S_OK);
  Variant checking, name;
  ComPtr<IDispatch> other_utilities = Child(other.Get(), "Utilities");
  ASSERT_EQ(GetProperty(other_utilities.Get(), "RangeChecking", &checking), S_OK);
  ASSERT_EQ(GetProperty(other_utilities.Get(), "InstanceName", &name), S_OK);
  EXPECT_FALSE(checking.BoolVal());
  EXPECT_EQ(name.BstrVal(), "bench scope");
}

// A stand-in core whose members throw or return a status of the test's
// choosing, to see what the wrapper makes of each.
class ThrowingTimebase : public Object<ITimebaseExVexR7100> {
 public:
  HRESULT get_HorizontalDelay(double*) override { throw 42; }
  HRESULT put_HorizontalDelay(double) override { return MakeHresult(0x80040123u); }
  HRESULT get_HorizontalRange(double*) override { throw std::runtime_error("core blew up"); }
  HRESULT put_HorizontalRange(double) override { return S_OK; }
  HRESULT get_Mode(VexR7100_TimeMode*) override { return S_OK; }
  HRESULT put_Mode(VexR7100_TimeMode) override { return S_OK; }
  HRESULT get_Reference(VexR7100_TimeReference*) override { return S_OK; }
  HRESULT put_Reference(VexR7100_TimeReference) override { return S_OK; }
  HRESULT get_TimebaseMode(VexR7100_TimeMode*) override { return S_OK; }
  HRESULT put_TimebaseMode(VexR7100_TimeMode) override { return S_OK; }
  HRESULT get_SampleRate(double* hertz) override {
    *hertz = 2e9;
    return S_OK;
  }
  HRESULT get_Delay(double*) override { return S_OK; }
  HRESULT put_Delay(double) override { return S_OK; }
  HRESULT GetTypeInfo(const DispatchTable**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(std::string_view, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, std::uint16_t, std::span<Variant>, Variant*, std::uint32_t*) override {
    return E_NOTIMPL;
  }
};

TEST(SubsystemObject, ReportsItsOwnFailureWhenTheCoreThrowsAndPassesStatusesThrough) {
  ComPtr<IDispatch> timebase;
  ASSERT_EQ(CreateObjectByProgID("VexR7100X.TimebaseVexR7100", &timebase), S_OK);
  ComPtr<ISubsystemLinkVexR7100> link;
  ASSERT_EQ(timebase.As(&link), S_OK);
  auto core = MakeObject<ThrowingTimebase>();
  ASSERT_EQ(link->_Link(static_cast<ITimebaseExVexR7100*>(core.Get())), S_OK);

  Variant value;
  EXPECT_EQ(GetProperty(timebase.Get(), "HorizontalRange", &value), E_FAIL);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_THAT(details.description.Str(),
              StartsWith("ITimebaseVexR7100::HorizontalRange (read) property failed.\n"));
  EXPECT_THAT(details.description.Str(), HasSubstr("core blew up"));
  EXPECT_EQ(details.help_context, 56u);

  // Something thrown that is not an exception object is reported the same.
  EXPECT_EQ(GetProperty(timebase.Get(), "HorizontalDelay", &value), E_FAIL);
  EXPECT_THAT(TakeErrorDetails().description.Str(),
              StartsWith("ITimebaseVexR7100::Delay (read) property failed."));
  // A status the core returns comes back unchanged, and an Ex member is
  // reached by name on the same object.
  EXPECT_EQ(PutProperty(timebase.Get(), "HorizontalDelay", Variant(1e-3)),
            MakeHresult(0x80040123u));
  ASSERT_EQ(GetProperty(timebase.Get(), "SampleRate", &value), S_OK);
  EXPECT_EQ(value.R8(), 2e9);

  // Unlinked, it never calls the core again.
  ASSERT_EQ(link->_Unlink(), S_OK);
  EXPECT_EQ(GetProperty(timebase.Get(), "SampleRate", &value), E_FAIL);
  EXPECT_THAT(TakeErrorDetails().description.Str(),
              StartsWith("ITimebaseExVexR7100::SampleRate (read) property failed.\n"));
}

TEST(SubsystemObject, HeldPastItsTopLevelObjectFailsWithItsOwnMessage) {
  ComPtr<IDispatch> acquisition;
  ComPtr<IDispatch> channel;
  {
    ComPtr<IDispatch> top = NewTopLevel();
    acquisition = Child(top.Get(), "Acquisition");
    Variant item;
    ASSERT_EQ(Call(Child(top.Get(), "AnalogChannels").Get(), "Item", {Variant(2)}, &item), S_OK);
    channel = item.Dispatch();
  }
  Variant value;
  EXPECT_EQ(GetProperty(acquisition.Get(), "Type", &value), E_FAIL);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_THAT(details.description.Str(),
              StartsWith("IAcquisitionVexR7100::Type (read) property failed.\n"));
  EXPECT_EQ(details.help_context, 26u);
  EXPECT_EQ(PutProperty(channel.Get(), "VerticalRange", Variant(8.0)), E_FAIL);
  details = TakeErrorDetails();
  EXPECT_THAT(details.description.Str(),
              StartsWith("IAnalogChannelVexR7100::VerticalRange (write) property failed.\n"));
  EXPECT_EQ(details.help_context, 37u);
}

// Receives the log entries the top-level object forwards.
class LogSink : public Object<IForwardWriteLog> {
 public:
  HRESULT ForwardWriteLog(const Bstr& source, io::LogLevel, const Bstr& message) override {
    entries.push_back(source.Str() + ": " + message.Str());
    return S_OK;
  }
  std::vector<std::string> entries;
};

TEST(TopLevelObject, ForwardsTheCoreLogToAdvisedSinksAndACoreAloneLogsNowhere) {
  ComPtr<IDispatch> top = NewTopLevel();
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(top.As(&container), S_OK);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(IForwardWriteLog::kIid, point.ReleaseAndGetAddressOf()),
            S_OK);
  auto sink = MakeObject<LogSink>();
  std::uint32_t cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IForwardWriteLog*>(sink.Get()), &cookie), S_OK);
  ComPtr<IDispatch> utilities = Child(top.Get(), "Utilities");
  ASSERT_EQ(PutProperty(utilities.Get(), "LogInterface", Variant(true)), S_OK);
  EXPECT_EQ(Call(top.Get(), "AutoScale", {}), E_FAIL);  // not connected
  TakeErrorDetails();
  ASSERT_FALSE(sink->entries.empty());
  EXPECT_THAT(sink->entries.front(), HasSubstr("not currently connected"));
  ASSERT_EQ(point->Unadvise(cookie), S_OK);

  // A core with no top-level object skips forwarding: the member's own
  // failure is what comes back.
  ComPtr<IDispatch> core;
  ASSERT_EQ(CreateObjectByProgID("VexR7100X.CoreVexR7100", &core), S_OK);
  ASSERT_EQ(PutProperty(core.Get(), "LogInterface", Variant(true)), S_OK);
  EXPECT_EQ(Call(core.Get(), "AutoScale", {}), E_FAIL);
  EXPECT_THAT(TakeErrorDetails().description.Str(), HasSubstr("not currently connected"));
}

// The object model on a two-channel instrument, by name only.
class OnTwoChannelScope : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim_ = new sim::test::Vexsim({"--model", "VDS3002A", "--tcp", "127.0.0.1:0"});
    ASSERT_EQ(RegisterServer(VEXIOUTILS_PATH), S_OK);
  }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    top = NewTopLevel();
    std::string address = "TCPIP0::127.0.0.1::" + std::to_string(sim_->port()) + "::SOCKET";
    ASSERT_EQ(Call(top.Get(), "Connect", {Variant(address)}), S_OK)
        << TakeErrorDetails().description.Str();
    ASSERT_EQ(Call(top.Get(), "Output", {Variant("*RST;*CLS")}), S_OK);
  }
  void TearDown() override { (void)Call(top.Get(), "Close", {}); }

  static sim::test::Vexsim* sim_;
  ComPtr<IDispatch> top;
};
sim::test::Vexsim* OnTwoChannelScope::sim_ = nullptr;

TEST_F(OnTwoChannelScope, ChannelCollectionHasFourObjectsButCountsTheModelsTwo) {
  ComPtr<IDispatch> channels = Child(top.Get(), "AnalogChannels");
  Variant count;
  ASSERT_EQ(GetProperty(channels.Get(), "Count", &count), S_OK);
  EXPECT_EQ(count.I4(), 2);

  Variant item;
  EXPECT_EQ(Call(channels.Get(), "Item", {Variant(5)}, &item), E_FAIL);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_EQ(details.description,
            "This method or an input value is not legal for the currently connected instrument.");
  EXPECT_EQ(details.help_context, 29u);
  EXPECT_EQ(Call(channels.Get(), "Item", {Variant(0)}, &item), E_FAIL);
  TakeErrorDetails();
  ASSERT_EQ(Call(channels.Get(), "Item", {Variant(4)}, &item), S_OK);
  EXPECT_EQ(item.vt(), VT_DISPATCH);

  // Item hands out the same object each time.
  Variant again;
  ASSERT_EQ(Call(channels.Get(), "Item", {Variant(4)}, &again), S_OK);
  EXPECT_EQ(item.Dispatch(), again.Dispatch());

  Variant enumerator_value;
  ASSERT_EQ(Call(channels.Get(), "_NewEnum", {}, &enumerator_value, DISPATCH_PROPERTYGET), S_OK);
  ComPtr<IEnumVARIANT> enumerator;
  ASSERT_EQ(ComPtr<IUnknown>(enumerator_value.Unknown()).As(&enumerator), S_OK);
  Variant items[4];
  std::uint32_t fetched = 0;
  enumerator->Next(4, items, &fetched);
  EXPECT_EQ(fetched, 2u);
  // The second enumerated channel is channel 2.
  ASSERT_EQ(PutProperty(items[1].Dispatch(), "VerticalRange", Variant(4.0)), S_OK);
  Variant range;
  Variant second;
  ASSERT_EQ(Call(channels.Get(), "Item", {Variant(2)}, &second), S_OK);
  ASSERT_EQ(GetProperty(second.Dispatch(), "VerticalRange", &range), S_OK);
  EXPECT_DOUBLE_EQ(range.R8(), 4.0);
}

TEST_F(OnTwoChannelScope, EverySubsystemAnswersByName) {
  ComPtr<IDispatch> timebase = Child(top.Get(), "Timebase");
  ASSERT_EQ(PutProperty(timebase.Get(), "HorizontalRange", Variant(2e-3)), S_OK);
  Variant value;
  ASSERT_EQ(GetProperty(timebase.Get(), "HorizontalRange", &value), S_OK);
  EXPECT_DOUBLE_EQ(value.R8(), 2e-3);

  Variant channel;
  ASSERT_EQ(Call(Child(top.Get(), "AnalogChannels").Get(), "Item", {Variant(2)}, &channel), S_OK);
  ASSERT_EQ(PutProperty(channel.Dispatch(), "ProbeAttenuation", Variant(10)), S_OK);
  ASSERT_EQ(GetProperty(channel.Dispatch(), "ProbeAttenuation", &value), S_OK);
  EXPECT_EQ(value.I4(), 10);

  ComPtr<IDispatch> trigger = Child(top.Get(), "Trigger");
  ASSERT_EQ(PutProperty(trigger.Get(), "Slope", Variant(2)), S_OK);
  ASSERT_EQ(GetProperty(trigger.Get(), "Slope", &value), S_OK);
  EXPECT_EQ(value.I4(), 2);

  ComPtr<IDispatch> acquisition = Child(top.Get(), "Acquisition");
  ASSERT_EQ(PutProperty(acquisition.Get(), "Type", Variant(1)), S_OK);
  ASSERT_EQ(GetProperty(acquisition.Get(), "Type", &value), S_OK);
  EXPECT_EQ(value.I4(), 1);

  ASSERT_EQ(Call(top.Get(), "Digitize", {}), S_OK);
  ASSERT_EQ(Call(Child(top.Get(), "Measure").Get(), "Frequency", {Variant(1)}, &value), S_OK)
      << TakeErrorDetails().description.Str();
  EXPECT_GT(value.R8(), 0.0);

  Variant time, data;
  std::vector<Variant> args{Variant(1), Variant(1000), Variant(), Variant()};
  ASSERT_EQ(InvokeByName(top.Get(), "GetWaveformData", DISPATCH_METHOD, args, &value), S_OK);
  ASSERT_NE(args[3].Array(), nullptr);
  EXPECT_EQ(args[3].Array()->ElementCount(), 1000u);

  ComPtr<IDispatch> utilities = Child(top.Get(), "Utilities");
  Variant model;
  ASSERT_EQ(GetProperty(utilities.Get(), "InstrumentModel", &model), S_OK);
  EXPECT_EQ(model.BstrVal(), "VDS3002A");
  ASSERT_EQ(Call(top.Get(), "Output", {Variant(":BOGUS")}), S_OK);
  std::vector<Variant> outs{Variant(), Variant()};
  ASSERT_EQ(InvokeByName(utilities.Get(), "QueryInstrumentError", DISPATCH_METHOD, outs, &value),
            S_OK);
  EXPECT_NE(outs[0].I4(), 0);
  EXPECT_THAT(outs[1].BstrVal().Str(), HasSubstr("Undefined header"));

  ComPtr<IDispatch> trace = Child(top.Get(), "Trace");
  EXPECT_EQ(GetProperty(trace.Get(), "TotalMemories", &value), S_OK)
      << TakeErrorDetails().description.Str();
  ComPtr<IDispatch> logic = Child(top.Get(), "LogicChannel");
  EXPECT_EQ(GetProperty(logic.Get(), "EnableStatus", &value), E_FAIL)
      << "the shipped models have no logic channels";
  TakeErrorDetails();
}

}  // namespace
}  // namespace vex::server
