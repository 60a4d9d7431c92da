#include <gtest/gtest.h>

#include <thread>

#include "demo_calculator.h"
#include "vex/com/com.h"

using namespace vex::com;

namespace {

TEST(ErrorInfo, SetReadBackAndClearedByGet) {
  SetErrorInfo(0, nullptr);
  IErrorInfo* none = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &none), S_FALSE);
  EXPECT_EQ(none, nullptr);

  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.ReleaseAndGetAddressOf()), S_OK);
  create->SetDescription(Bstr("VexR7100EZ::Connect method failed."));
  create->SetSource(Bstr("VexR7100X.ErrorHandler.1"));
  create->SetHelpFile(Bstr("vexR7100.hlp"));
  create->SetHelpContext(1529);
  ComPtr<IErrorInfo> info = create.As<IErrorInfo>();
  ASSERT_EQ(SetErrorInfo(0, info.Get()), S_OK);
  info.Reset();

  EXPECT_EQ(PeekErrorDetails().description, "VexR7100EZ::Connect method failed.");
  EXPECT_TRUE(PeekErrorInfo()) << "peeking leaves the error installed";

  IErrorInfo* raw = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &raw), S_OK);
  ComPtr<IErrorInfo> taken = ComPtr<IErrorInfo>::Adopt(raw);
  Bstr text, source, file;
  std::uint32_t context = 0;
  taken->GetDescription(&text);
  taken->GetSource(&source);
  taken->GetHelpFile(&file);
  taken->GetHelpContext(&context);
  EXPECT_EQ(text, "VexR7100EZ::Connect method failed.");
  EXPECT_EQ(source, "VexR7100X.ErrorHandler.1");
  EXPECT_EQ(file, "vexR7100.hlp");
  EXPECT_EQ(context, 1529u);
  EXPECT_FALSE(PeekErrorInfo()) << "get hands the error over and clears it";

  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_POINTER);
  EXPECT_EQ(CreateErrorInfo(nullptr), E_POINTER);
}

TEST(ErrorInfo, EachThreadHasItsOwnCurrentError) {
  ReportRichError(E_FAIL, "main thread");
  std::string seen = "unset";
  std::thread([&] { seen = PeekErrorDetails().description.Str(); }).join();
  EXPECT_EQ(seen, "");
  EXPECT_EQ(TakeErrorDetails().description, "main thread");
}

TEST(ErrorInfo, AReportInsideALoadedServerReachesTheCaller) {
  ASSERT_EQ(RegisterServer(VEX_DEMO_SERVER), S_OK);
  ComPtr<IDispatch> calculator;
  ASSERT_EQ(CreateObjectByProgID("VexDemo.Calculator", &calculator), S_OK);
  std::vector<Variant> args{Variant(1), Variant(0), Variant(), Variant()};
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(InvokeByName(calculator.Get(), "Divide", DISPATCH_METHOD, args, nullptr), E_INVALIDARG);
  ErrorDetails details = TakeErrorDetails();
  EXPECT_EQ(details.description, "Calculator::Divide: division by zero.");
  EXPECT_EQ(details.source, "VexDemo.Calculator.1");
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(calculator.As(&support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(vexdemo::ICalculator::kIid), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IDispatch::kIid), S_FALSE);
}

}  // namespace
