// The setup objects and their collection: names and comments, the keyed
// collection (case-blind keys, position or name, enumeration), persistence
// keys, copies, compatibility, and taking and sending setups through a small
// fake instrument that can be made to fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_wrapper.h"
#include "setup_errors.h"
#include "setup_test_support.h"
#include "setups_vexr7100_scope.h"

namespace vex::control {
namespace {

using namespace vex::com;
using namespace vex::control::test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const auto* const kResources = ::testing::AddGlobalTestEnvironment(new ResourceLibrary);

std::string NameOf(ISetupVexR7100Scope* setup) {
  Bstr name;
  EXPECT_EQ(setup->get_Name(&name), S_OK);
  return name.Str();
}

std::string LastOf(ISetupsVexR7100Scope* setups) {
  Bstr last;
  EXPECT_EQ(setups->get_LastInstrumentSetup(&last), S_OK);
  return last.Str();
}

class SetupsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(setups->put_CVexR7100EZPtr(instrument.Get()), S_OK); }

  ComPtr<ISetupVexR7100Scope> Add(const char* name) {
    ComPtr<ISetupVexR7100Scope> setup;
    EXPECT_EQ(setups->Add(Bstr(name), setup.ReleaseAndGetAddressOf()), S_OK) << name;
    return setup;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    Variant enumerator;
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(setups.As(&dispatch), S_OK);
    // Through dispatch id -4, as any client iterates.
    std::vector<Variant> none;
    EXPECT_EQ(dispatch->Invoke(DISPID_NEWENUM, DISPATCH_PROPERTYGET, none, &enumerator, nullptr),
              S_OK);
    ComPtr<IEnumVARIANT> items;
    EXPECT_EQ(ComPtr<IUnknown>(enumerator.Unknown()).As(&items), S_OK);
    Variant item;
    std::uint32_t fetched = 0;
    while (items->Next(1, &item, &fetched) == S_OK && fetched == 1) {
      ComPtr<ISetupVexR7100Scope> setup;
      EXPECT_EQ(ComPtr<IUnknown>(item.Unknown()).As(&setup), S_OK);
      names.push_back(NameOf(setup.Get()));
    }
    return names;
  }

  ComPtr<FakeWrapper> instrument = MakeObject<FakeWrapper>();
  ComPtr<CSetupsVexR7100Scope> setups = MakeObject<CSetupsVexR7100Scope>();
  ScratchFolder folder;
};

TEST_F(SetupsTest, NamesAndCommentsAreChecked) {
  ComPtr<ISetupVexR7100Scope> setup;
  for (const char* bad : {"", "two words", "a|b"}) {
    EXPECT_EQ(setups->Add(Bstr(bad), setup.ReleaseAndGetAddressOf()), kInvalidPropertyValue);
    const RaisedError error = TakeRaised();
    EXPECT_EQ(error.source, "Vexan 8100 Scope Control Error");
    EXPECT_EQ(error.description, "Invalid property value.");
  }
  auto bench = Add("Bench");
  EXPECT_EQ(bench->put_Comments(Bstr("  first shelf  ")), S_OK);
  Bstr comments;
  ASSERT_EQ(bench->get_Comments(&comments), S_OK);
  EXPECT_EQ(comments, "first shelf");
  EXPECT_EQ(bench->put_Comments(Bstr("a|b")), kInvalidPropertyValue);
  EXPECT_EQ(TakeRaised().description, "Invalid property value.");
  ASSERT_EQ(bench->get_Comments(&comments), S_OK);
  EXPECT_EQ(comments, "first shelf");
  EXPECT_EQ(bench->put_NewName(Bstr("x y")), kInvalidPropertyValue);
  (void)TakeRaised();
}

TEST_F(SetupsTest, KeysIgnoreCaseAndItemTakesPositionOrName) {
  Add("Setup1");
  ComPtr<ISetupVexR7100Scope> duplicate;
  EXPECT_EQ(setups->Add(Bstr("setup1"), duplicate.ReleaseAndGetAddressOf()), kDuplicateKey);
  EXPECT_EQ(TakeRaised().description,
            "This key is already associated with an element of this collection.");
  Add("Bench");
  Add("Spare");
  EXPECT_THAT(Names(), ElementsAre("Setup1", "Bench", "Spare"));

  ComPtr<ISetupVexR7100Scope> item;
  ASSERT_EQ(setups->item(Variant(2), item.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(NameOf(item.Get()), "Bench");
  ASSERT_EQ(setups->item(Variant("SPARE"), item.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(NameOf(item.Get()), "Spare");
  for (const Variant& missing : {Variant(0), Variant(4), Variant("nope")}) {
    EXPECT_EQ(setups->item(missing, item.ReleaseAndGetAddressOf()), kInvalidCallOrArgument);
    (void)TakeRaised();
  }
  // item is the default member: dispatch id 0 by name.
  Variant by_default;
  ASSERT_EQ(CallMethod(setups.Get(), "item", {Variant(1)}, &by_default), S_OK);
  std::vector<Variant> args{Variant("bench")};
  ASSERT_EQ(setups->Invoke(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, &by_default,
                           nullptr),
            S_OK);
  ComPtr<ISetupVexR7100Scope> bench;
  ASSERT_EQ(ComPtr<IUnknown>(by_default.Unknown()).As(&bench), S_OK);
  EXPECT_EQ(NameOf(bench.Get()), "Bench");
}

// Mended: Remove cleared LastInstrumentSetup only for the same text, not for
// a position or another letter case.
TEST_F(SetupsTest, RemovingTheLastInstrumentSetupClearsItByPositionOrAnyCase) {
  Add("Bench");
  Add("Spare");
  ASSERT_EQ(setups->put_LastInstrumentSetup(Bstr("Bench")), S_OK);
  ASSERT_EQ(setups->Remove(Variant(2)), S_OK);
  EXPECT_EQ(LastOf(setups.Get()), "Bench");
  ASSERT_EQ(setups->Remove(Variant(1)), S_OK);
  EXPECT_EQ(LastOf(setups.Get()), "");

  Add("Bench");
  ASSERT_EQ(setups->put_LastInstrumentSetup(Bstr("Bench")), S_OK);
  ASSERT_EQ(setups->Remove(Variant("BENCH")), S_OK);
  EXPECT_EQ(LastOf(setups.Get()), "");
  EXPECT_EQ(setups->Remove(Variant("BENCH")), kInvalidCallOrArgument);
  (void)TakeRaised();
}

TEST_F(SetupsTest, PersistenceWritesTheKeysAndReadsOnlySetupCountOfThem) {
  auto bench = Add("Bench");
  ASSERT_EQ(bench->put_Comments(Bstr("shelf")), S_OK);
  ASSERT_EQ(bench->GetFromInstrument(), S_OK);
  Add("Spare");
  ASSERT_EQ(setups->put_InitialDirectory(Bstr("/data")), S_OK);
  ASSERT_EQ(setups->put_GetLearnStringOnAdd(VARIANT_FALSE), S_OK);

  auto bag = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(setups->WriteProperties(bag.Get()), S_OK);
  const auto& values = bag->Values();
  EXPECT_EQ(values.at("SetupsInitialDirectory").BstrVal(), "/data");
  EXPECT_EQ(values.at("SetupsGetLearnStringOnAdd").BoolVal(), VARIANT_FALSE);
  EXPECT_EQ(values.at("LastInstrumentSetup").BstrVal(), "Bench");
  EXPECT_EQ(values.at("SetupCount").vt(), VT_I2);
  EXPECT_EQ(values.at("SetupCount").I2(), 2);
  EXPECT_EQ(values.at("SetupName1").BstrVal(), "Bench");
  EXPECT_EQ(values.at("SetupComments1").BstrVal(), "shelf");
  EXPECT_EQ(BytesOf(values.at("LearnString1")), "#15hello");
  EXPECT_EQ(values.at("Model1").BstrVal(), "R7152D");
  EXPECT_EQ(values.at("Version1").BstrVal(), "1.20");
  EXPECT_EQ(values.at("SetupName2").BstrVal(), "Spare");
  EXPECT_TRUE(values.at("LearnString2").IsEmpty());

  // Keys for a third setup are ignored: SetupCount says two.
  ASSERT_EQ(bag->Write(Bstr("SetupName3"), Variant("Ghost")), S_OK);
  auto restored = MakeObject<CSetupsVexR7100Scope>();
  ASSERT_EQ(restored->ReadProperties(bag.Get()), S_OK);
  std::int32_t count = 0;
  ASSERT_EQ(restored->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
  ComPtr<ISetupVexR7100Scope> first;
  ASSERT_EQ(restored->item(Variant(1), first.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(NameOf(first.Get()), "Bench");
  Variant learn;
  ASSERT_EQ(first->get_LearnString(&learn), S_OK);
  EXPECT_EQ(BytesOf(learn), "#15hello");
  EXPECT_EQ(LastOf(restored.Get()), "Bench");

  // An empty bag gives the defaults.
  auto fresh = MakeObject<CSetupsVexR7100Scope>();
  ASSERT_EQ(fresh->ReadProperties(MakeObject<MemoryPropertyBag>().Get()), S_OK);
  VARIANT_BOOL on_add = VARIANT_FALSE;
  ASSERT_EQ(fresh->get_GetLearnStringOnAdd(&on_add), S_OK);
  EXPECT_EQ(on_add, VARIANT_TRUE);
  ASSERT_EQ(fresh->get_Count(&count), S_OK);
  EXPECT_EQ(count, 0);
}

// What a control skips while loading, as a host's error log sees it.
class RecordingLog : public Object<IErrorLog> {
 public:
  HRESULT AddError(const Bstr& name, HRESULT, const Bstr& text) override {
    keys.push_back(name.Str());
    texts.push_back(text.Str());
    return S_OK;
  }
  std::vector<std::string> keys;
  std::vector<std::string> texts;
};

// A bag of another host, which cannot list its keys.
class ForeignBag : public Object<IPropertyBag> {
 public:
  HRESULT Read(const Bstr& name, Variant* value, IErrorLog* log) override {
    ++reads;
    return inner->Read(name, value, log);
  }
  HRESULT Write(const Bstr& name, const Variant& value) override {
    return inner->Write(name, value);
  }
  ComPtr<MemoryPropertyBag> inner = MakeObject<MemoryPropertyBag>();
  int reads = 0;
};

// Malformed entries are reported under their key and written back after
// the setups that loaded, whole, past the count; a copy carries them.
TEST_F(SetupsTest, MalformedEntriesAreReportedAndWrittenBackAfterTheSetups) {
  auto bag = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(bag->Write(Bstr("SetupCount"), Variant(std::int16_t{5})), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupName1"), Variant("Bench")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupName2"), Variant("bench")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupComments2"), Variant("second")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupName3"), Variant("a b")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupName4"), Variant("Spare")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("Model4"), Variant(std::int32_t{3})), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupComments5"), Variant("no name")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("SetupName7"), Variant("Late")), S_OK);
  auto log = MakeObject<RecordingLog>();
  auto loaded = MakeObject<CSetupsVexR7100Scope>();
  ASSERT_EQ(loaded->Load(bag.Get(), log.Get()), S_OK);
  std::int32_t count = 0;
  ASSERT_EQ(loaded->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_THAT(log->keys,
              ElementsAre("SetupName2", "SetupName3", "SetupName4", "SetupName5", "SetupName7"));
  EXPECT_THAT(log->texts[0], HasSubstr("taken by an earlier setup"));
  EXPECT_THAT(log->texts[2], HasSubstr("Model4 holds VT_I4"));
  EXPECT_THAT(log->texts[3], HasSubstr("no SetupName5"));
  EXPECT_THAT(log->texts[4], HasSubstr("past SetupCount (5)"));

  auto copy = MakeObject<CSetupsVexR7100Scope>();
  ASSERT_EQ(copy->Copy(loaded.Get()), S_OK);
  auto written = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(copy->WriteProperties(written.Get()), S_OK);
  const auto& values = written->Values();
  EXPECT_EQ(values.at("SetupCount").I2(), 1);
  EXPECT_EQ(values.at("SetupName1").BstrVal(), "Bench");
  EXPECT_EQ(values.at("SetupName2").BstrVal(), "bench");
  EXPECT_EQ(values.at("SetupComments2").BstrVal(), "second");
  EXPECT_EQ(values.at("SetupName3").BstrVal(), "a b");
  EXPECT_EQ(values.at("Model4").I4(), 3);
  EXPECT_FALSE(values.count("SetupName5"));
  EXPECT_EQ(values.at("SetupComments5").BstrVal(), "no name");
  EXPECT_EQ(values.at("SetupName6").BstrVal(), "Late");

  // Loaded again, the same entries are skipped again and nothing grows.
  auto again = MakeObject<CSetupsVexR7100Scope>();
  auto second_log = MakeObject<RecordingLog>();
  ASSERT_EQ(again->Load(written.Get(), second_log.Get()), S_OK);
  EXPECT_EQ(second_log->keys.size(), 5u);
  auto rewritten = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(again->WriteProperties(rewritten.Get()), S_OK);
  EXPECT_EQ(rewritten->Values().size(), values.size());
}

// A count that is no count is reported and never looped over: a bag that
// can list its keys gives its entries, another one is read up to its first
// missing name.
TEST_F(SetupsTest, ABadCountIsReportedAndNeverLoopedOver) {
  for (const Variant& count :
       {Variant(std::int32_t{2000000000}), Variant("many"), Variant(std::int16_t{-1})}) {
    auto foreign = MakeObject<ForeignBag>();
    ASSERT_EQ(foreign->Write(Bstr("SetupCount"), count), S_OK);
    ASSERT_EQ(foreign->Write(Bstr("SetupName1"), Variant("One")), S_OK);
    ASSERT_EQ(foreign->Write(Bstr("SetupName2"), Variant("Two")), S_OK);
    for (IPropertyBag* bag : {static_cast<IPropertyBag*>(foreign.Get()),
                              static_cast<IPropertyBag*>(foreign->inner.Get())}) {
      auto log = MakeObject<RecordingLog>();
      auto loaded = MakeObject<CSetupsVexR7100Scope>();
      ASSERT_EQ(loaded->Load(bag, log.Get()), S_OK);
      std::int32_t loaded_count = 0;
      ASSERT_EQ(loaded->get_Count(&loaded_count), S_OK);
      EXPECT_EQ(loaded_count, 2);
      EXPECT_THAT(log->keys, ElementsAre("SetupCount"));
    }
    EXPECT_LT(foreign->reads, 100);
  }
}

// Mended: Copy from the collection itself emptied it.
TEST_F(SetupsTest, CopyTakesAnotherCollectionAndCopyFromItselfChangesNothing) {
  Add("Bench")->GetFromInstrument();
  Add("Spare");
  ASSERT_EQ(setups->Copy(setups.Get()), S_OK);
  EXPECT_THAT(Names(), ElementsAre("Bench", "Spare"));

  auto other = MakeObject<CSetupsVexR7100Scope>();
  ComPtr<ISetupVexR7100Scope> old;
  ASSERT_EQ(other->Add(Bstr("Old"), old.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_EQ(other->Copy(setups.Get()), S_OK);
  std::int32_t count = 0;
  ASSERT_EQ(other->get_Count(&count), S_OK);
  EXPECT_EQ(count, 2);
  ComPtr<ISetupVexR7100Scope> copied;
  ASSERT_EQ(other->item(Variant("bench"), copied.ReleaseAndGetAddressOf()), S_OK);
  Bstr model;
  ASSERT_EQ(copied->get_Model(&model), S_OK);
  EXPECT_EQ(model, "R7152D");
  EXPECT_EQ(LastOf(other.Get()), "Bench");
  // A copy is its own object.
  ComPtr<ISetupVexR7100Scope> original;
  ASSERT_EQ(setups->item(Variant("bench"), original.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_NE(copied.Get(), original.Get());
}

TEST_F(SetupsTest, CompatibilityNeedsModelAndVersionAndOlderFilesMatchAnyVersion) {
  auto bench = Add("Bench");
  VARIANT_BOOL ok = VARIANT_TRUE;
  ASSERT_EQ(bench->IsLearnStringCompatible(Bstr("R7152D"), Bstr("1.20"), &ok), S_OK);
  EXPECT_FALSE(ok);  // nothing taken yet
  ASSERT_EQ(bench->GetFromInstrument(), S_OK);
  ASSERT_EQ(bench->IsLearnStringCompatible(Bstr("r7152d"), Bstr("1.20"), &ok), S_OK);
  EXPECT_TRUE(ok);
  ASSERT_EQ(bench->IsLearnStringCompatible(Bstr("R7152D"), Bstr("1.21"), &ok), S_OK);
  EXPECT_FALSE(ok);

  const std::string path = folder / "old.stp";
  WriteBytes(path, "stpABC\n1\nfrom the old tool\nVEXR7146C\n:SYSTEM:SETUP #13abc");
  ASSERT_EQ(bench->ReadFromFile(Bstr(path)), S_OK);
  EXPECT_EQ(NameOf(bench.Get()), "Bench");
  for (const char* version : {"1.00", "2.31.07", "X.XX.XX"}) {
    ASSERT_EQ(bench->IsLearnStringCompatible(Bstr("R7146C"), Bstr(version), &ok), S_OK);
    EXPECT_TRUE(ok) << version;
  }
  ASSERT_EQ(bench->IsLearnStringCompatible(Bstr("R7152D"), Bstr("1.20"), &ok), S_OK);
  EXPECT_FALSE(ok);
}

TEST_F(SetupsTest, FilesOfNeitherFormatAreNoSetupFiles) {
  auto bench = Add("Bench");
  const std::string path = folder / "notes.scp";
  WriteBytes(path, "just some notes\n");
  EXPECT_EQ(bench->ReadFromFile(Bstr(path)), kNotASetupFile);
  const RaisedError error = TakeRaised();
  EXPECT_EQ(error.source, "Open Setup File");
  EXPECT_EQ(error.description, "The selected file is not a setup file (" + path + ").");

  // Saved and loaded under any extension: the content decides.
  ASSERT_EQ(bench->GetFromInstrument(), S_OK);
  ASSERT_EQ(bench->put_Comments(Bstr("kept")), S_OK);
  const std::string saved = folder / "bench.txt";
  ASSERT_EQ(bench->SaveToFile(Bstr(saved)), S_OK);
  auto spare = Add("Spare");
  ASSERT_EQ(spare->ReadFromFile(Bstr(saved)), S_OK);
  Bstr comments;
  ASSERT_EQ(spare->get_Comments(&comments), S_OK);
  EXPECT_EQ(comments, "kept");
  EXPECT_EQ(NameOf(spare.Get()), "Spare");
}

// Mended: the learn string was kept before model and version were read, so
// a failure left new data with the old model.
TEST_F(SetupsTest, GetFromInstrumentKeepsNothingWhenAReadFails) {
  auto bench = Add("Bench");
  ASSERT_EQ(bench->GetFromInstrument(), S_OK);
  instrument->utilities->state = "#16second";
  instrument->utilities->model = "R7146C";
  instrument->utilities->fail_model = true;
  EXPECT_EQ(bench->GetFromInstrument(), E_FAIL);
  EXPECT_EQ(TakeRaised().description, "model query failed");
  Variant learn;
  ASSERT_EQ(bench->get_LearnString(&learn), S_OK);
  EXPECT_EQ(BytesOf(learn), "#15hello");
  Bstr model;
  ASSERT_EQ(bench->get_Model(&model), S_OK);
  EXPECT_EQ(model, "R7152D");
}

// Mended: empty data was checked only after the compatibility test, so a
// matching setup without data sent an empty block.
TEST_F(SetupsTest, SendRefusesEmptyDataFirstThenIncompatibleSetups) {
  auto bench = Add("Bench");
  ASSERT_EQ(bench->GetFromInstrument(), S_OK);
  auto empty = Add("Empty");
  // Matching model and version, no data.
  auto bag = MakeObject<MemoryPropertyBag>();
  ASSERT_EQ(bag->Write(Bstr("SetupName1"), Variant("Empty")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("Model1"), Variant("R7152D")), S_OK);
  ASSERT_EQ(bag->Write(Bstr("Version1"), Variant("1.20")), S_OK);
  ASSERT_EQ(empty->ReadProperties(bag.Get(), 1), S_OK);
  EXPECT_EQ(empty->SendToInstrument(), kSendSetupError);
  RaisedError error = TakeRaised();
  EXPECT_EQ(error.source, "Send Setup");
  EXPECT_EQ(error.description, "The setup data for the instrument is empty.");
  // No model and no data: empty.
  auto blank = Add("Blank");
  EXPECT_EQ(blank->SendToInstrument(), kSendSetupError);
  EXPECT_EQ(TakeRaised().description, "The setup data for the instrument is empty.");

  instrument->utilities->version = "1.21";
  EXPECT_EQ(bench->SendToInstrument(), kSendSetupError);
  EXPECT_EQ(TakeRaised().description, "The setup is not compatible with the instrument.");
  EXPECT_TRUE(instrument->utilities->written.empty());

  instrument->utilities->version = "1.20";
  ASSERT_EQ(setups->put_LastInstrumentSetup(Bstr("")), S_OK);
  ASSERT_EQ(bench->SendToInstrument(), S_OK);
  EXPECT_THAT(instrument->utilities->written, ElementsAre("#15hello"));
  EXPECT_EQ(LastOf(setups.Get()), "Bench");
}

TEST_F(SetupsTest, WithoutAnInstrumentObjectGetAndSendFailAndLog) {
  LogEntries log;
  auto lone = MakeObject<CSetupsVexR7100Scope>();
  ComPtr<ISetupVexR7100Scope> setup;
  ASSERT_EQ(lone->Add(Bstr("Bench"), setup.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_TRUE(FAILED(setup->GetFromInstrument()));
  (void)TakeRaised();
  EXPECT_THAT(log.All(), HasSubstr("Assertion: (Not (m_setup.CVexR7100EZPtr Is Nothing))"));
  EXPECT_THAT(log.All(), HasSubstr("Function: GetFromInstrument"));
}

// A removed setup keeps its collection alive while a client holds it; the
// collection and its setups end when the last reference goes.
TEST_F(SetupsTest, RemovedSetupStillReachesTheInstrument) {
  auto bench = Add("Bench");
  ASSERT_EQ(setups->Remove(Variant("Bench")), S_OK);
  setups = nullptr;
  ASSERT_EQ(bench->GetFromInstrument(), S_OK);
  ComPtr<ISetupsVexR7100Scope> parent;
  ASSERT_EQ(bench->get_ParentSetups(parent.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(LastOf(parent.Get()), "Bench");
}

TEST_F(SetupsTest, FactoryCreatesAnEmptyCollectionInTheCurrentFolder) {
  ComPtr<ISetupsVexR7100Scope> made;
  ASSERT_EQ(Vex9100CreateSetups(made.ReleaseAndGetAddressOf()), S_OK);
  Bstr folder_name;
  ASSERT_EQ(made->get_InitialDirectory(&folder_name), S_OK);
  EXPECT_EQ(folder_name.Str(), std::filesystem::current_path().string());
  std::int32_t count = -1;
  ASSERT_EQ(made->get_Count(&count), S_OK);
  EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace vex::control
