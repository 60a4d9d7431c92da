#include <gtest/gtest.h>

#include <fstream>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

class NotifySink : public Object<IPropertyNotifySink> {
 public:
  HRESULT OnChanged(DISPID id) override {
    changed.push_back(id);
    return S_OK;
  }
  HRESULT OnRequestEdit(DISPID) override { return S_OK; }
  std::vector<DISPID> changed;
};

// A dispatch-only event sink, as a script host provides.
class MessageSink : public Object<IDispatch> {
 public:
  HRESULT SupportMessage(const Bstr& message) {
    messages.push_back(message.Str());
    return S_OK;
  }
  VEX_COM_IMPLEMENT_DISPATCH(MessageSink, Table())
  std::vector<std::string> messages;

 private:
  static const DispatchTable& Table() {
    static const DispatchTable table =
        DispatchTableBuilder<MessageSink>("Events")
            .Method("SupportMessage", 1, &MessageSink::SupportMessage)
            .Build();
    return table;
  }
};

TEST(ConnectionPoint, AdvisedSinksHearEventsUntilTheyUnadvise) {
  auto point = MakeObject<ConnectionPoint>(IPropertyNotifySink::kIid);
  auto sink = MakeObject<NotifySink>();
  std::uint32_t cookie = 0;
  ASSERT_EQ(point->Advise(sink->Identity(), &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  point->Fire([](IUnknown* s) { static_cast<IPropertyNotifySink*>(s)->OnChanged(7); });
  EXPECT_EQ(sink->changed, std::vector<DISPID>{7});
  ASSERT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), E_INVALIDARG);
  point->Fire([](IUnknown* s) { static_cast<IPropertyNotifySink*>(s)->OnChanged(8); });
  EXPECT_EQ(sink->changed.size(), 1u);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);

  auto messages = MakeObject<MessageSink>();
  auto events = MakeObject<ConnectionPoint>(MakeGuid("{22222222-0000-0000-0000-000000000001}"));
  ASSERT_EQ(events->Advise(messages->Identity(), &cookie), S_OK);
  Variant text("connected");
  events->FireDispatch(1, std::span<Variant>(&text, 1));
  EXPECT_EQ(messages->messages, std::vector<std::string>{"connected"});
}

// A sink that only implements IDispatch, advised on a typed event interface,
// must never reach a caller as that interface; it hears the event by name.
TEST(ConnectionPoint, DispatchOnlySinksOfATypedPointHearEventsByName) {
  auto point = MakeObject<ConnectionPoint>(IPropertyNotifySink::kIid);
  auto typed = MakeObject<NotifySink>();
  auto by_name = MakeObject<MessageSink>();
  std::uint32_t typed_cookie = 0, name_cookie = 0;
  ASSERT_EQ(point->Advise(typed->Identity(), &typed_cookie), S_OK);
  ASSERT_EQ(point->Advise(by_name->Identity(), &name_cookie), S_OK);
  int typed_calls = 0;
  point->Fire([&](IUnknown* s) {
    ++typed_calls;
    static_cast<IPropertyNotifySink*>(s)->OnChanged(3);
  });
  EXPECT_EQ(typed_calls, 1);
  EXPECT_EQ(typed->changed, std::vector<DISPID>{3});

  const Variant text("hello");
  EXPECT_EQ(point->FireByName("supportmessage", std::span<const Variant>(&text, 1)), S_OK);
  EXPECT_EQ(by_name->messages, std::vector<std::string>{"hello"});
  // A sink without the event's member is skipped; a failing sink's status comes back.
  EXPECT_EQ(point->FireByName("OtherEvent", {}), S_OK);
  EXPECT_EQ(point->FireByName("SupportMessage", {}), DISP_E_PARAMNOTOPTIONAL);
  ASSERT_EQ(point->Unadvise(name_cookie), S_OK);
  EXPECT_EQ(point->FireByName("SupportMessage", std::span<const Variant>(&text, 1)), S_OK);
  EXPECT_EQ(by_name->messages.size(), 1u);
}

TEST(Picture, HoldsMetafileBytesAndSavesThem) {
  IPictureDisp* raw = nullptr;
  EXPECT_EQ(CreateMetafilePicture({}, 1, 1, &raw), E_INVALIDARG);
  ASSERT_EQ(CreateMetafilePicture({1, 0, 0, 0, 9}, 640, 480, &raw), S_OK);
  auto picture = ComPtr<IPictureDisp>::Adopt(raw);
  Variant type, width;
  ASSERT_EQ(GetProperty(picture.Get(), "Type", &type), S_OK);
  EXPECT_EQ(type.I2(), PICTYPE_ENHMETAFILE);
  ASSERT_EQ(GetProperty(picture.Get(), "Width", &width), S_OK);
  EXPECT_EQ(width.I4(), 640);
  std::string path = std::string(VEX_TEST_TMP) + "/picture.emf";
  ASSERT_EQ(CallMethod(picture.Get(), "SaveAsFile", {Variant(path)}, nullptr), S_OK);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, std::string("\x01\x00\x00\x00\x09", 5));
  EXPECT_EQ(picture->SaveAsFile(Bstr("/nonexistent/dir/x.emf")), E_FAIL);
}

TEST(StringTable, LoadsByNumberWithFallbackAndLimit) {
  StringTable table{{1529, "not connected"}, {2, "\xC3\xA9t\xC3\xA9"}};
  EXPECT_EQ(table.Load(1529, 1024, "Unknown Error"), "not connected");
  EXPECT_EQ(table.Load(7, 1024, "Unknown Error"), "Unknown Error");
  EXPECT_EQ(table.Load(2, 2, ""), "\xC3\xA9") << "cut at a character boundary";
  EXPECT_EQ(table.Load(2, 1, ""), "");
}

}  // namespace
