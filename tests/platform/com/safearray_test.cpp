#include <gtest/gtest.h>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

TEST(SafeArray, CreationChecksItsArguments) {
  SafeArray a;
  EXPECT_EQ(SafeArray::Create(VT_I4, {}, &a), E_INVALIDARG);
  EXPECT_EQ(SafeArray::Create(VT_I4, {{1, 0}, {1, 0}, {1, 0}}, &a), E_INVALIDARG);
  EXPECT_EQ(SafeArray::Create(VT_NULL, {{1, 0}}, &a), DISP_E_BADVARTYPE);
  EXPECT_EQ(SafeArray::Create(VT_I4, {{1, 0}}, nullptr), E_POINTER);
  EXPECT_EQ(SafeArray::Create(VT_R8, {{0x80000000u, 0}, {0x80000000u, 0}}, &a), E_OUTOFMEMORY);
  for (VARTYPE vt : {VT_UI1, VT_I2, VT_I4, VT_R8, VT_BOOL, VT_BSTR, VT_VARIANT, VT_DISPATCH}) {
    ASSERT_EQ(SafeArray::Create(vt, {{3, 1}}, &a), S_OK) << VarTypeName(vt);
    EXPECT_EQ(a.ElementType(), vt);
    EXPECT_EQ(a.ElementCount(), 3u);
  }
}

TEST(SafeArray, OneDimensionWithLowerBoundChecksItsIndices) {
  SafeArray a;
  ASSERT_EQ(SafeArray::Create(VT_I4, {{4, 1}}, &a), S_OK);
  std::int32_t lb = 0, ub = 0;
  ASSERT_EQ(a.GetLBound(1, &lb), S_OK);
  ASSERT_EQ(a.GetUBound(1, &ub), S_OK);
  EXPECT_EQ(lb, 1);
  EXPECT_EQ(ub, 4);
  EXPECT_EQ(a.GetLBound(2, &lb), DISP_E_BADINDEX);
  EXPECT_EQ(a.PutElement({1}, Variant("10")), S_OK);
  EXPECT_EQ(a.PutElement({4}, Variant(40)), S_OK);
  EXPECT_EQ(a.PutElement({0}, Variant(0)), DISP_E_BADINDEX);
  EXPECT_EQ(a.PutElement({5}, Variant(0)), DISP_E_BADINDEX);
  EXPECT_EQ(a.PutElement({1, 1}, Variant(0)), E_INVALIDARG);
  EXPECT_EQ(a.PutElement({2}, Variant("x")), DISP_E_TYPEMISMATCH);
  Variant v;
  ASSERT_EQ(a.GetElement({1}, &v), S_OK);
  EXPECT_EQ(v.I4(), 10);
  EXPECT_EQ(a.Span<std::int32_t>()[3], 40);
  EXPECT_TRUE(a.Span<double>().empty()) << "typed access refuses the wrong element type";
}

TEST(SafeArray, TwoDimensionsWithLowerBoundsStoreColumnsContiguously) {
  SafeArray table;
  // 3 rows numbered 0..2, 2 columns numbered 1..2.
  ASSERT_EQ(SafeArray::Create(VT_VARIANT, {{3, 0}, {2, 1}}, &table), S_OK);
  for (int row = 0; row < 3; ++row) {
    for (int col = 1; col <= 2; ++col)
      ASSERT_EQ(table.PutElement({row, col}, Variant(row * 10 + col)), S_OK);
  }
  std::size_t offset = 0;
  ASSERT_EQ(table.Offset(std::vector<std::int32_t>{2, 2}, &offset), S_OK);
  EXPECT_EQ(offset, 5u);
  EXPECT_EQ(table.Span<Variant>()[1].I4(), 11) << "the first index varies fastest";
  EXPECT_EQ(table.Span<Variant>()[3].I4(), 2);
  Variant v;
  ASSERT_EQ(table.GetElement({1, 2}, &v), S_OK);
  EXPECT_EQ(v.I4(), 12);
  EXPECT_EQ(table.GetElement({3, 1}, &v), DISP_E_BADINDEX);
  EXPECT_EQ(table.GetElement({0, 0}, &v), DISP_E_BADINDEX);
  EXPECT_EQ(table.GetElement({0, 3}, &v), DISP_E_BADINDEX);
}

TEST(SafeArray, CopiesAreDeepAndMovesAreNot) {
  SafeArray a = SafeArray::FromBytes(std::vector<std::uint8_t>{1, 2, 3});
  SafeArray copy = a;
  copy.Span<std::uint8_t>()[0] = 9;
  EXPECT_EQ(a.Span<std::uint8_t>()[0], 1);
  const std::uint8_t* storage = a.Span<std::uint8_t>().data();
  SafeArray moved = std::move(a);
  EXPECT_EQ(moved.Span<std::uint8_t>().data(), storage);

  Variant holder(std::move(moved));
  EXPECT_EQ(holder.vt(), VT_ARRAY | VT_UI1);
  Variant deep = holder;
  EXPECT_NE(deep.Array(), holder.Array());
  EXPECT_NE(deep.Array()->Span<std::uint8_t>().data(), holder.Array()->Span<std::uint8_t>().data());
  SafeArray* inside = holder.Array();
  Variant taken = std::move(holder);
  EXPECT_EQ(taken.Array(), inside);
  EXPECT_TRUE(holder.IsEmpty());

  SafeArray strings;
  ASSERT_EQ(SafeArray::Create(VT_BSTR, {{2, 0}}, &strings), S_OK);
  ASSERT_EQ(strings.PutElement({0}, Variant("a")), S_OK);
  SafeArray strings_copy = strings;
  ASSERT_EQ(strings_copy.PutElement({0}, Variant("b")), S_OK);
  EXPECT_EQ(strings.Span<Bstr>()[0], "a");
  EXPECT_TRUE(strings.Span<Bstr>()[1].IsNull());
}

TEST(SafeArray, AdoptedBlockBytesStartAfterTheirHeaderWithoutACopy) {
  ByteVector block{'#', '1', '3', 'a', 'b', 'c'};
  const std::uint8_t* storage = block.data();
  SafeArray a = SafeArray::AdoptBytes(std::move(block), 3);
  ASSERT_EQ(a.ElementCount(), 3u);
  EXPECT_EQ(a.Span<std::uint8_t>().data(), storage + 3) << "the data stays where it was read";
  std::int32_t ub = -1;
  ASSERT_EQ(a.GetUBound(1, &ub), S_OK);
  EXPECT_EQ(ub, 2);
  Variant v;
  ASSERT_EQ(a.GetElement({0}, &v), S_OK);
  EXPECT_EQ(v.UI1(), 'a');
  ASSERT_EQ(a.PutElement({2}, Variant(std::uint8_t{'z'})), S_OK);
  SafeArray copy = a;
  ASSERT_EQ(copy.GetElement({2}, &v), S_OK);
  EXPECT_EQ(v.UI1(), 'z');
  EXPECT_EQ(std::string(copy.Span<std::uint8_t>().begin(), copy.Span<std::uint8_t>().end()), "abz");
  EXPECT_EQ(SafeArray::AdoptBytes(ByteVector{'#', '0'}, 5).ElementCount(), 0u)
      << "a skip past the end leaves an empty array";

  // Arrays the runtime creates still start out zero, whatever the allocator.
  SafeArray doubles;
  ASSERT_EQ(SafeArray::Create(VT_R8, {{1024, 0}}, &doubles), S_OK);
  for (double d : doubles.Span<double>()) ASSERT_EQ(d, 0.0);
}

}  // namespace
