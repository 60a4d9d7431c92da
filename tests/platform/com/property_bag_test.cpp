#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

std::string TempPath(const char* name) { return std::string(VEX_TEST_TMP) + "/" + name; }

TEST(PropertyBag, FileBagKeepsEveryValueAndItsType) {
  std::string path = TempPath("bag-roundtrip.json");
  std::filesystem::remove(path);
  {
    ComPtr<FilePropertyBag> bag;
    ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
    ASSERT_EQ(bag->Write(Bstr("DetectDeviceErrors"), Variant::Bool(VARIANT_TRUE)), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Timeout"), Variant(5000)), S_OK);
    ASSERT_EQ(bag->Write(Bstr("FontSize"), Variant(std::int16_t{8})), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Level"), Variant(0.001)), S_OK);
    ASSERT_EQ(bag->Write(Bstr("IOProgID"), Variant(Bstr::Null())), S_OK);
    ASSERT_EQ(bag->Write(Bstr("InstanceName"), Variant(Bstr::Empty())), S_OK);
    ASSERT_EQ(bag->Write(Bstr("Name"), Variant("Vexan \"Travium\"\n\xC3\xA9")), S_OK);
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(bag->Write(Bstr("Setup"), Variant(SafeArray::FromBytes(all))), S_OK);
    ASSERT_EQ(bag->Commit(), S_OK);
  }
  ComPtr<FilePropertyBag> bag;
  ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
  Variant v;
  ASSERT_EQ(bag->Read(Bstr("DetectDeviceErrors"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_BOOL);
  EXPECT_EQ(v.BoolVal(), VARIANT_TRUE);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Timeout"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_I4);
  EXPECT_EQ(v.I4(), 5000);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("FontSize"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_I2);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Level"), &v, nullptr), S_OK);
  EXPECT_EQ(v.R8(), 0.001);
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("IOProgID"), &v, nullptr), S_OK);
  EXPECT_EQ(v.vt(), VT_BSTR);
  EXPECT_TRUE(v.BstrVal().IsNull());
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("InstanceName"), &v, nullptr), S_OK);
  EXPECT_FALSE(v.BstrVal().IsNull());
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Name"), &v, nullptr), S_OK);
  EXPECT_EQ(v.BstrVal(), "Vexan \"Travium\"\n\xC3\xA9");
  v.Clear();
  ASSERT_EQ(bag->Read(Bstr("Setup"), &v, nullptr), S_OK);
  ASSERT_EQ(v.vt(), VT_ARRAY | VT_UI1);
  auto bytes = v.Array()->Span<const std::uint8_t>();
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(bytes[10], 10);
  EXPECT_EQ(bytes[255], 255);

  Variant as_text(Bstr::Empty());  // a typed read converts
  ASSERT_EQ(bag->Read(Bstr("Timeout"), &as_text, nullptr), S_OK);
  EXPECT_EQ(as_text.BstrVal(), "5000");
}

class RecordingLog : public Object<IErrorLog> {
 public:
  HRESULT AddError(const Bstr& name, HRESULT, const Bstr&) override {
    names.push_back(name.Str());
    return S_OK;
  }
  std::vector<std::string> names;
};

TEST(PropertyBag, MissingKeysUnstorableValuesAndCorruptFilesFailClearly) {
  auto bag = MakeObject<MemoryPropertyBag>();
  auto log = MakeObject<RecordingLog>();
  Variant v;
  EXPECT_EQ(bag->Read(Bstr("Timeout"), &v, log.Get()), E_INVALIDARG);
  EXPECT_EQ(TakeErrorDetails().description, "The property \"Timeout\" is not in the property bag.");
  EXPECT_EQ(log->names, std::vector<std::string>{"Timeout"});
  EXPECT_EQ(bag->Read(Bstr("Timeout"), nullptr, nullptr), E_POINTER);
  EXPECT_EQ(bag->Write(Bstr(), Variant(1)), E_INVALIDARG);
  EXPECT_EQ(bag->Write(Bstr("Object"), Variant(static_cast<IUnknown*>(bag.Get()))), DISP_E_BADVARTYPE);
  ASSERT_EQ(bag->Write(Bstr("Text"), Variant("abc")), S_OK);
  Variant number(0);
  EXPECT_EQ(bag->Read(Bstr("Text"), &number, nullptr), DISP_E_TYPEMISMATCH);

  for (const char* corrupt : {"{ \"format\": \"vexcom-property-bag\", \"values\": ", "[1,2,3]",
                              R"({"format":"vexcom-property-bag","version":1,"values":{"T":{"type":"VT_I4","value":"x"}}})",
                              R"({"format":"vexcom-property-bag","version":1,"values":{"B":{"type":"VT_ARRAY|VT_UI1","value":"***"}}})"}) {
    std::string path = TempPath("bag-corrupt.json");
    std::ofstream(path) << corrupt;
    ComPtr<FilePropertyBag> file;
    EXPECT_EQ(FilePropertyBag::Open(path, &file), E_FAIL) << corrupt;
    EXPECT_NE(TakeErrorDetails().description.Str().find("is corrupt"), std::string::npos);
    EXPECT_FALSE(file);
  }
  ComPtr<FilePropertyBag> fresh;
  std::filesystem::remove(TempPath("bag-new.json"));
  ASSERT_EQ(FilePropertyBag::Open(TempPath("bag-new.json"), &fresh), S_OK) << "a missing file is an empty bag";
  EXPECT_TRUE(fresh->Values().empty());
}

TEST(Base64, RoundTripsEveryLengthAndRejectsBadText) {
  std::vector<std::uint8_t> data;
  for (int n = 0; n < 10; ++n) {
    auto decoded = Base64Decode(Base64Encode(data));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, data);
    data.push_back(static_cast<std::uint8_t>(250 + n));
  }
  EXPECT_EQ(Base64Encode(std::vector<std::uint8_t>{'M', 'a'}), "TWE=");
  EXPECT_FALSE(Base64Decode("TWE"));
  EXPECT_FALSE(Base64Decode("T=E="));
  EXPECT_FALSE(Base64Decode("TW E"));
}

}  // namespace
