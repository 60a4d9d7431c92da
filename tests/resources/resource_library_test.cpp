// The resource library as a client sees it: registered, created by ProgID
// through the class registry, called by member name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "string_tables.h"
#include "vex/com/com.h"
#include "vex/resources/resource_lib.h"
#include "vexr7100_resources.h"

namespace vex::resources {
namespace {

using namespace vex::com;

class ResourceLibraryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(RegisterServer(VEX8100RESLIB_PATH), S_OK) << TakeErrorDetails().description.Str();
  }
  void SetUp() override {
    ASSERT_EQ(CreateObjectByProgID("VexR7100ResLib.VexR7100Resources", &object_), S_OK);
  }
  std::string Load(std::int32_t id) {
    Variant result;
    EXPECT_EQ(CallMethod(object_.Get(), "loadresstring", {Variant(id)}, &result), S_OK) << id;
    EXPECT_EQ(result.vt(), VT_BSTR);
    return result.BstrVal().Str();
  }

  ComPtr<IDispatch> object_;
};

TEST_F(ResourceLibraryTest, BothProgIDsNameOneClassWithItsTypeLibrary) {
  CLSID by_version, by_name;
  ASSERT_EQ(CLSIDFromProgID("VexR7100ResLib.VexR7100Resources.1", &by_version), S_OK);
  ASSERT_EQ(CLSIDFromProgID("VexR7100ResLib.VexR7100Resources", &by_name), S_OK);
  EXPECT_EQ(by_version, kVexR7100ResourcesClsid);
  EXPECT_EQ(by_name, kVexR7100ResourcesClsid);
  ClassRegistration entry;
  ASSERT_EQ(LookupClassEntry(kVexR7100ResourcesClsid, &entry), S_OK);
  EXPECT_EQ(entry.threading_model, "Apartment");
  EXPECT_TRUE(entry.programmable);

  const TypeLibrary* library = nullptr;
  ASSERT_EQ(LoadTypeLibrary("VexR7100ResLib", &library), S_OK);
  ASSERT_EQ(library->interfaces.size(), 1u);
  const DispatchTable& table = *library->interfaces[0];
  EXPECT_EQ(table.Doc(), "IResourceLib Interface");
  const MemberInfo* member = table.Find(1, MemberKind::kMethod);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->name, "LoadResString");
  EXPECT_EQ(member->doc, "Returns the localized resource string specified by the given id.");
  ASSERT_EQ(member->params.size(), 2u);
  EXPECT_EQ(member->params[0].name, "lID");
  EXPECT_EQ(member->params[1].name, "pbstrResource");

  ComPtr<IResourceLib> typed;
  EXPECT_EQ(ComPtr<IDispatch>(object_).As(&typed), S_OK);
}

TEST_F(ResourceLibraryTest, TextsComeBackByLanguageOffsetAndMissingOnesAreEmpty) {
  EXPECT_EQ(Load(606), "Get");
  EXPECT_EQ(Load(4606), StringTables::Compiled().Load(4606, 511));
  EXPECT_NE(Load(4606), "Get");
  EXPECT_FALSE(Load(4606).empty());
  // No translation holds the handshake message texts.
  EXPECT_FALSE(Load(281).empty());
  EXPECT_EQ(Load(1281), "");
  EXPECT_EQ(Load(6130), "");
  // Ids in no table at all still succeed.
  for (std::int32_t id : {0, 99, 999, 1010, 8000, -1, 2147483647}) EXPECT_EQ(Load(id), "") << id;
}

TEST(ResourceObjectTest, ALongestTextComesBackWholeAndALongerOneIsCutAtACharacter) {
  std::string longest;
  for (int i = 0; i < 511; ++i) longest += "\xE3\x81\x82";  // a hiragana, three bytes
  StringTables tables({{"xx", 0, "1\t\"" + longest + "\"\n2\t\"" + longest + "xyz\"\n"}});
  auto object = MakeObject<CVexR7100Resources>(tables);
  Bstr text;
  ASSERT_EQ(object->LoadResString(1, &text), S_OK);
  EXPECT_EQ(text.Str(), longest);
  ASSERT_EQ(object->LoadResString(2, &text), S_OK);
  EXPECT_EQ(text.Str(), longest);
  EXPECT_EQ(object->LoadResString(1, nullptr), E_POINTER);
}

}  // namespace
}  // namespace vex::resources
