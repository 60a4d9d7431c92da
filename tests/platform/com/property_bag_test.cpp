#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

std::string TempPath(const char* name) {
  return std::string(VEX_TEST_TMP) + "/" + name;
}

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
  EXPECT_EQ(bag->Write(Bstr("Object"), Variant(static_cast<IUnknown*>(bag.Get()))),
            DISP_E_BADVARTYPE);
  ASSERT_EQ(bag->Write(Bstr("Text"), Variant("abc")), S_OK);
  Variant number(0);
  EXPECT_EQ(bag->Read(Bstr("Text"), &number, nullptr), DISP_E_TYPEMISMATCH);

  for (
      const char* corrupt :
      {"{ \"format\": \"vexcom-property-bag\", \"values\": ", "[1,2,3]",
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
  ASSERT_EQ(FilePropertyBag::Open(TempPath("bag-new.json"), &fresh), S_OK)
      << "a missing file is an empty bag";
  EXPECT_TRUE(fresh->Values().empty());
}

// Strings from outside (instrument replies, file names) may hold any bytes;
// the file keeps them exactly and in valid JSON, names as well as values.
TEST(PropertyBag, FileBagKeepsBytesThatAreNotUtf8) {
  const std::vector<std::string> texts = {
      "X\xff",
      "\xff"
      "bad.scp",
      "\xc3",
      "\xed\xa0\x80",  // a UTF-16 surrogate written as UTF-8
      std::string("a\0b", 3),
      "Gr\xc3\xb6\xc3\x9f"
      "e",
      "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",
      "\xc0\xaf",                      // an overlong "/"
      "{\"bytes-base64\": \"WP8=\"}",  // what the escaped form looks like, as text
      "bytes-base64:WP8="};
  std::string path = TempPath("bag-bytes.json");
  std::filesystem::remove(path);
  {
    ComPtr<FilePropertyBag> bag;
    ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      ASSERT_EQ(bag->Write(Bstr("Value" + std::to_string(i)), Variant(Bstr(texts[i]))), S_OK);
      ASSERT_EQ(bag->Write(Bstr(texts[i]), Variant(static_cast<std::int32_t>(i))), S_OK);
    }
    ASSERT_EQ(bag->Commit(), S_OK);
  }
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_NE(text.find("\"bytes-base64\": \"WP8=\""), std::string::npos) << text;
  EXPECT_NE(text.find("Gr\xc3\xb6\xc3\x9f"
                      "e"),
            std::string::npos)
      << "UTF-8 is kept as text";

  ComPtr<FilePropertyBag> bag;
  ASSERT_EQ(FilePropertyBag::Open(path, &bag), S_OK);
  EXPECT_EQ(bag->Values().size(), 2 * texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    Variant v;
    ASSERT_EQ(bag->Read(Bstr("Value" + std::to_string(i)), &v, nullptr), S_OK) << i;
    ASSERT_EQ(v.vt(), VT_BSTR);
    EXPECT_EQ(v.BstrVal().Str(), texts[i]) << i;
    v.Clear();
    ASSERT_EQ(bag->Read(Bstr(texts[i]), &v, nullptr), S_OK) << i;
    EXPECT_EQ(v.I4(), static_cast<std::int32_t>(i));
  }
}

TEST(PropertyBag, FilesNotUtf8OrWithABadEscapedFormFailToOpen) {
  const std::string head = R"({"format":"vexcom-property-bag","version":1,"values":{)";
  for (const std::string& corrupt :
       {head + "\"N\":{\"type\":\"VT_BSTR\",\"value\":\"X\xff\"}}}",
        head + "\"N\xff\":{\"type\":\"VT_I4\",\"value\":1}}}",
        head + R"("N":{"type":"VT_BSTR","value":{"bytes-base64":"***"}}}})",
        head + R"("N":{"type":"VT_BSTR","value":{"bytes-base64":"WP8=","x":1}}}})",
        head + R"("bytes-base64:WP8=":{"type":"VT_I4","value":1,"name-base64":"WQ=="}}})",
        head + R"("bytes-base64:AA==":{"type":"VT_I4","value":1,"name-base64":7}}})"}) {
    std::string path = TempPath("bag-corrupt-bytes.json");
    std::ofstream(path, std::ios::binary) << corrupt;
    ComPtr<FilePropertyBag> file;
    EXPECT_EQ(FilePropertyBag::Open(path, &file), E_FAIL) << corrupt;
    EXPECT_NE(TakeErrorDetails().description.Str().find("is corrupt"), std::string::npos);
  }
  // A file of before the escaped form: plain strings are read as they are.
  std::string path = TempPath("bag-plain.json");
  std::ofstream(path, std::ios::binary)
      << head + R"("bytes-base64:WP8=":{"type":"VT_BSTR","value":"bytes-base64:WP8="}}})";
  ComPtr<FilePropertyBag> file;
  ASSERT_EQ(FilePropertyBag::Open(path, &file), S_OK);
  Variant v;
  ASSERT_EQ(file->Read(Bstr("bytes-base64:WP8="), &v, nullptr), S_OK);
  EXPECT_EQ(v.BstrVal(), "bytes-base64:WP8=");
}

TEST(Utf8Text, TerminalTextShowsControlsAndBadBytesAsHex) {
  EXPECT_EQ(EscapeForTerminal("VEXAN,R7100\x1b[2J\x9b"
                              "31m\n"),
            "VEXAN,R7100\\x1b[2J\\x9b31m\n");
  EXPECT_EQ(EscapeForTerminal("a\\b\x7f\xc2\x9b\xc3\xa9\t"), "a\\\\b\\x7f\\xc2\\x9b\xc3\xa9\t");
  EXPECT_EQ(EscapeForTerminal(std::string("\0\xed\xa0\x80", 4)), "\\x00\\xed\\xa0\\x80");
  EXPECT_EQ(FirstInvalidUtf8("ok\xf4\x90\x80\x80"), 2u) << "above U+10FFFF";
  EXPECT_EQ(FirstInvalidUtf8("\xf0\x9f\x98\x80"), 4u);
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
