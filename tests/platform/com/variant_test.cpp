#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

Variant Convert(const Variant& v, VARTYPE vt, HRESULT* hr) {
  Variant out;
  *hr = v.ChangeType(vt, &out);
  return out;
}

// The conversions every instrument reply goes through; run once in the C
// locale and once with a comma as the decimal point.
void CheckReplyConversions() {
  HRESULT hr;
  Variant d = Convert(Variant("+1.000E-03\n"), VT_R8, &hr);
  ASSERT_EQ(hr, S_OK);
  EXPECT_DOUBLE_EQ(d.R8(), 0.001);
  Variant i = Convert(Variant("+32\n"), VT_I4, &hr);
  ASSERT_EQ(hr, S_OK);
  EXPECT_EQ(i.I4(), 32);
  EXPECT_EQ(Convert(Variant("-113"), VT_I4, &hr).I4(), -113);
  Convert(Variant("abc"), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  Convert(Variant("1,5"), VT_R8, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH) << "a comma is never a decimal point";
  Convert(Variant(1e10), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  Convert(Variant("1e10"), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(Variant(0.001), VT_BSTR, &hr).BstrVal().Str(), "0.001");
  EXPECT_EQ(Convert(Variant(1e-9), VT_BSTR, &hr).BstrVal().Str(), "1e-09");
  EXPECT_EQ(Convert(Variant(2.5), VT_BSTR, &hr).BstrVal().Str(), "2.5");
  EXPECT_EQ(ParseDoubleLenient("  2.5V"), 2.5);
  EXPECT_EQ(FormatDouble(-0.125), "-0.125");
}

TEST(VariantConversion, InstrumentRepliesAndNumbersInTheCLocale) { CheckReplyConversions(); }

TEST(VariantConversion, SameResultsWhileTheLocaleUsesADecimalComma) {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* set = std::setlocale(LC_ALL, "de_DE.UTF-8");
  ASSERT_NE(set, nullptr) << "the de_DE.UTF-8 locale must be installed (locale-gen) for this test";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  CheckReplyConversions();
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(VariantConversion, BooleansAreMinusOneAndZeroBothWays) {
  HRESULT hr;
  Variant t(true);
  EXPECT_EQ(t.vt(), VT_BOOL);
  EXPECT_EQ(t.BoolVal(), -1);
  EXPECT_EQ(Convert(t, VT_I4, &hr).I4(), -1);
  EXPECT_EQ(Convert(Variant(false), VT_I2, &hr).I2(), 0);
  EXPECT_EQ(Convert(Variant(1), VT_BOOL, &hr).BoolVal(), VARIANT_TRUE);
  EXPECT_EQ(Convert(Variant(-1), VT_BOOL, &hr).BoolVal(), VARIANT_TRUE);
  EXPECT_EQ(Convert(Variant(0.0), VT_BOOL, &hr).BoolVal(), VARIANT_FALSE);
  EXPECT_EQ(Convert(Variant("True"), VT_BOOL, &hr).BoolVal(), VARIANT_TRUE);
  EXPECT_EQ(Convert(Variant("false"), VT_BOOL, &hr).BoolVal(), VARIANT_FALSE);
  EXPECT_EQ(Convert(Variant("-1"), VT_BOOL, &hr).BoolVal(), VARIANT_TRUE);
  EXPECT_EQ(Convert(t, VT_BSTR, &hr).BstrVal().Str(), "True");
  Convert(Variant("maybe"), VT_BOOL, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
}

TEST(VariantConversion, RoundingRangesAndSpecialTypes) {
  HRESULT hr;
  EXPECT_EQ(Convert(Variant(2.5), VT_I4, &hr).I4(), 2) << "half rounds to even";
  EXPECT_EQ(Convert(Variant(3.5), VT_I4, &hr).I4(), 4);
  EXPECT_EQ(Convert(Variant(-2.5), VT_I2, &hr).I2(), -2);
  Convert(Variant(40000), VT_I2, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  Convert(Variant(std::nan("")), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  Convert(Variant(-1), VT_UI1, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(Variant(), VT_I4, &hr).I4(), 0);
  EXPECT_EQ(hr, S_OK);
  Variant empty_text = Convert(Variant(), VT_BSTR, &hr);
  EXPECT_FALSE(empty_text.BstrVal().IsNull());
  Convert(Variant::Null(), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  Convert(Variant(""), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  Convert(Variant::Missing(), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(nullptr, nullptr, 0, VT_I4), E_POINTER);
}

TEST(VariantConversion, InPlaceChangeAndReferences) {
  Variant v("42");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(v.vt(), VT_I4);
  EXPECT_EQ(v.I4(), 42);

  std::int32_t target = 0;
  Variant ref = Variant::ByRef(&target);
  EXPECT_EQ(ref.Dereferenced().I4(), 0);
  ASSERT_EQ(ref.AssignThrough(Variant("7")), S_OK);
  EXPECT_EQ(target, 7);
  EXPECT_EQ(ref.AssignThrough(Variant("x")), DISP_E_TYPEMISMATCH);
  Bstr text;
  Variant sref = Variant::ByRef(&text);
  ASSERT_EQ(sref.AssignThrough(Variant(1.5)), S_OK);
  EXPECT_EQ(text, "1.5");
}

TEST(Bstr, NullDiffersFromEmpty) {
  Bstr null, empty = Bstr::Empty(), text("abc");
  EXPECT_TRUE(null.IsNull());
  EXPECT_FALSE(empty.IsNull());
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_FALSE(null == empty);
  EXPECT_EQ(null.View(), empty.View());
  Bstr copy = text;
  EXPECT_EQ(copy, text);
  Bstr moved = std::move(copy);
  EXPECT_TRUE(copy.IsNull());
  EXPECT_EQ(moved.Str(), "abc");
  Variant vnull{Bstr::Null()}, vempty{Bstr::Empty()};
  EXPECT_TRUE(Variant(vnull).BstrVal().IsNull()) << "a copied variant keeps a null string null";
  EXPECT_FALSE(Variant(vempty).BstrVal().IsNull());
}

TEST(Variant, CopiesAreDeepAndMovesHandOver) {
  Variant a("text");
  Variant b = a;
  EXPECT_NE(a.BstrVal().CStr(), b.BstrVal().CStr());
  Variant c = std::move(a);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(c.BstrVal(), "text");
  c = c;  // self-assignment keeps the value
  EXPECT_EQ(c.BstrVal(), "text");
  EXPECT_EQ(VarTypeName(VT_ARRAY | VT_UI1), "VT_ARRAY|VT_UI1");
}

}  // namespace
