// Late binding through the demonstration server's dispatch table: every
// parameter form and every error a late-bound caller can meet.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "demo_calculator.h"
#include "vex/com/com.h"

using namespace vex::com;

namespace {

class LateBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegisterServer(VEX_DEMO_SERVER), S_OK);
    ASSERT_EQ(CreateObjectByProgID("VexDemo.Calculator.1", &calc_), S_OK);
  }
  HRESULT Call(std::string_view name, std::vector<Variant>& args, Variant* result = nullptr,
               std::uint16_t flags = DISPATCH_METHOD) {
    return InvokeByName(calc_.Get(), name, flags, args, result);
  }
  ComPtr<IDispatch> calc_;
};

TEST_F(LateBinding, MembersAreFoundByNameInAnyLetterCase) {
  DISPID a = 0, b = 0;
  ASSERT_EQ(calc_->GetIDsOfNames("Add", &a), S_OK);
  ASSERT_EQ(calc_->GetIDsOfNames("aDD", &b), S_OK);
  EXPECT_EQ(a, b);
  EXPECT_EQ(calc_->GetIDsOfNames("Subtract", &a), DISP_E_UNKNOWNNAME);
  Variant sum;
  std::vector<Variant> args{Variant("1.5"), Variant(std::int16_t{2})};
  ASSERT_EQ(Call("ADD", args, &sum), S_OK);
  EXPECT_EQ(sum.vt(), VT_R8);
  EXPECT_DOUBLE_EQ(sum.R8(), 3.5);
  const DispatchTable* table = nullptr;
  ASSERT_EQ(calc_->GetTypeInfo(&table), S_OK);
  EXPECT_EQ(table->NearestNames("Greit", 1), std::vector<std::string>{"Greet"});
  EXPECT_EQ(table->NearestNames("precission", 1), std::vector<std::string>{"Precision"});
}

TEST_F(LateBinding, OptionalArgumentsTakeTheirDefaultsWhenOmittedOrMissing) {
  Variant text;
  std::vector<Variant> none;
  ASSERT_EQ(Call("Greet", none, &text), S_OK);
  EXPECT_EQ(text.BstrVal(), "Hello, World!");
  std::vector<Variant> missing_first{Variant::Missing(), Variant("Bye")};
  ASSERT_EQ(Call("Greet", missing_first, &text), S_OK);
  EXPECT_EQ(text.BstrVal(), "Bye, World!");
  std::vector<Variant> both{Variant("Ann"), Variant("Hi")};
  ASSERT_EQ(Call("Greet", both, &text), S_OK);
  EXPECT_EQ(text.BstrVal(), "Hi, Ann!");
}

TEST_F(LateBinding, OutAndInOutParametersAreWrittenBack) {
  std::vector<Variant> by_value{Variant(17), Variant(5), Variant(), Variant()};
  ASSERT_EQ(Call("Divide", by_value), S_OK);
  EXPECT_EQ(by_value[2].I4(), 3);
  EXPECT_EQ(by_value[3].I4(), 2);

  std::int32_t quotient = 0;
  double remainder = 0;
  std::vector<Variant> by_ref{Variant(-7), Variant(2), Variant::ByRef(&quotient), Variant::ByRef(&remainder)};
  ASSERT_EQ(Call("Divide", by_ref), S_OK);
  EXPECT_EQ(quotient, -3);
  EXPECT_EQ(remainder, -1.0) << "written through the reference, converted to its type";

  Variant held(21);
  std::vector<Variant> inout{Variant::ByRef(&held)};
  ASSERT_EQ(Call("Twice", inout), S_OK);
  EXPECT_EQ(held.R8(), 42.0);
}

TEST_F(LateBinding, PropertiesGetAndPutWithTheirTypes) {
  ASSERT_EQ(PutProperty(calc_.Get(), "Precision", Variant("12")), S_OK);
  Variant digits;
  ASSERT_EQ(GetProperty(calc_.Get(), "precision", &digits), S_OK);
  EXPECT_EQ(digits.vt(), VT_I2);
  EXPECT_EQ(digits.I2(), 12);
  Variant enabled;
  ASSERT_EQ(GetProperty(calc_.Get(), "Enabled", &enabled), S_OK);
  EXPECT_EQ(enabled.vt(), VT_BOOL);
  EXPECT_EQ(enabled.BoolVal(), VARIANT_TRUE);
  ASSERT_EQ(PutProperty(calc_.Get(), "Enabled", Variant(false)), S_OK);
  std::vector<Variant> args{Variant(1), Variant(1)};
  EXPECT_EQ(Call("Add", args), E_FAIL);
  EXPECT_EQ(TakeErrorDetails().description, "Calculator::Add: the calculator is disabled.");
}

TEST_F(LateBinding, CollectionsHaveADefaultMemberAndEnumerate) {
  for (double x : {1.0, 2.0, 3.0}) {
    std::vector<Variant> args{Variant(x), Variant(x)};
    ASSERT_EQ(Call("Add", args), S_OK);
  }
  Variant item;
  std::vector<Variant> index{Variant(2)};
  ASSERT_EQ(calc_->Invoke(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, index, &item, nullptr), S_OK);
  EXPECT_EQ(item.R8(), 4.0);
  Variant count;
  ASSERT_EQ(GetProperty(calc_.Get(), "Count", &count), S_OK);
  EXPECT_EQ(count.I4(), 3);

  Variant enumerator;
  ASSERT_EQ(calc_->Invoke(DISPID_NEWENUM, DISPATCH_PROPERTYGET, {}, &enumerator, nullptr), S_OK);
  ComPtr<IEnumVARIANT> e;
  ASSERT_EQ(ComPtr<IUnknown>(enumerator.Unknown()).As(&e), S_OK);
  Variant items[4];
  std::uint32_t fetched = 0;
  EXPECT_EQ(e->Next(4, items, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 3u);
  EXPECT_EQ(items[2].R8(), 6.0);
  ASSERT_EQ(e->Reset(), S_OK);
  ASSERT_EQ(e->Skip(2), S_OK);
  ComPtr<IEnumVARIANT> clone;
  ASSERT_EQ(e->Clone(clone.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(clone->Next(1, items, &fetched), S_OK);
  EXPECT_EQ(items[0].R8(), 6.0);
  EXPECT_EQ(e->Next(2, items, nullptr), E_INVALIDARG);

  std::vector<Variant> outside{Variant(9)};
  EXPECT_EQ(Call("Item", outside, &item), DISP_E_BADINDEX);
  EXPECT_EQ(TakeErrorDetails().description, "Calculator::Item: index 9 is outside 1 to 3.");
}

TEST_F(LateBinding, EachDispatchErrorIsReported) {
  std::vector<Variant> too_many{Variant(1), Variant(2), Variant(3)};
  EXPECT_EQ(Call("Add", too_many), DISP_E_BADPARAMCOUNT);
  std::vector<Variant> too_few{Variant(1)};
  std::uint32_t arg_error = 99;
  DISPID add = 0;
  ASSERT_EQ(calc_->GetIDsOfNames("Add", &add), S_OK);
  EXPECT_EQ(calc_->Invoke(add, DISPATCH_METHOD, too_few, nullptr, &arg_error), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(arg_error, 1u);
  std::vector<Variant> mismatch{Variant("one"), Variant(2)};
  EXPECT_EQ(calc_->Invoke(add, DISPATCH_METHOD, mismatch, nullptr, &arg_error), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_error, 0u);
  std::vector<Variant> overflow{Variant(70000)};
  EXPECT_EQ(Call("Precision", overflow, nullptr, DISPATCH_PROPERTYPUT), DISP_E_OVERFLOW);
  std::vector<Variant> none;
  EXPECT_EQ(calc_->Invoke(1234, DISPATCH_METHOD, none, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  std::vector<Variant> value{Variant(3)};
  EXPECT_EQ(Call("Count", value, nullptr, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND)
      << "a read-only property has no put";
  EXPECT_EQ(InvokeByName(calc_.Get(), "Nope", DISPATCH_METHOD, none, nullptr), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(InvokeByName(nullptr, "Add", DISPATCH_METHOD, none, nullptr), E_POINTER);
  EXPECT_EQ(calc_->GetIDsOfNames("Add", nullptr), E_POINTER);
}

}  // namespace
