#include <gtest/gtest.h>

#include "vex/com/com.h"

using namespace vex::com;

namespace {

struct IFirst : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("{11111111-0000-0000-0000-000000000001}");
  virtual int First() = 0;
};
struct ISecond : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("{11111111-0000-0000-0000-000000000002}");
  virtual int Second() = 0;
};
// Extends IFirst, so QueryInterface for IFirst must find it through the chain.
struct IThird : IFirst {
  using Base = IFirst;
  static constexpr IID kIid = MakeGuid("{11111111-0000-0000-0000-000000000003}");
  virtual int Third() = 0;
};

struct Counts {
  int constructed = 0, destroyed = 0, queries = 0;
};

class Counted : public Object<IThird, ISecond> {
 public:
  explicit Counted(Counts* counts) : counts_(counts) { ++counts_->constructed; }
  int First() override { return 1; }
  int Second() override { return 2; }
  int Third() override { return 3; }
  HRESULT QueryInterface(const IID& iid, void** out) override {
    ++counts_->queries;
    return Object::QueryInterface(iid, out);
  }

 protected:
  ~Counted() override { ++counts_->destroyed; }

 private:
  Counts* counts_;
};

TEST(ComPtr, CountsReferencesAcrossCopiesMovesAndSelfAssignment) {
  Counts counts;
  {
    ComPtr<Counted> a = MakeObject<Counted>(&counts);
    ComPtr<Counted> b = a;
    ComPtr<Counted> c = std::move(b);
    EXPECT_FALSE(b);
    auto& same = a;
    a = same;  // self-assignment
    auto& also = c;
    c = std::move(also);  // self-move keeps the reference
    ASSERT_TRUE(c);
    EXPECT_EQ(c->Third(), 3);
    a = nullptr;
    EXPECT_EQ(counts.destroyed, 0) << "c still holds the object";
    // The last holder replaced by a copy of itself must not destroy it first.
    ComPtr<Counted> last = c;
    c = nullptr;
    last = ComPtr<Counted>(last);
    EXPECT_EQ(counts.destroyed, 0);
  }
  EXPECT_EQ(counts.constructed, 1);
  EXPECT_EQ(counts.destroyed, 1);
}

TEST(ComPtr, QueryInterfaceWalksInterfaceChainsAndKeepsIdentity) {
  Counts counts;
  ComPtr<Counted> object = MakeObject<Counted>(&counts);
  ComPtr<ISecond> second;
  ASSERT_EQ(object.As(&second), S_OK);
  EXPECT_EQ(second->Second(), 2);
  ComPtr<IFirst> first;
  ASSERT_EQ(second.As(&first), S_OK) << "IFirst is reached through IThird's base";
  EXPECT_EQ(first->First(), 1);
  ComPtr<IDispatch> none;
  EXPECT_EQ(object.As(&none), E_NOINTERFACE);
  EXPECT_FALSE(none);
  EXPECT_TRUE(IsSameObject(first.Get(), second.Get()));
  EXPECT_GE(counts.queries, 3);
  EXPECT_EQ(object->QueryInterface(IFirst::kIid, nullptr), E_POINTER);

  Counts other_counts;
  auto other = MakeObject<Counted>(&other_counts);
  EXPECT_FALSE(IsSameObject(static_cast<ISecond*>(other.Get()), second.Get()));
  second.Reset();
  first.Reset();
  object.Reset();
  EXPECT_EQ(counts.destroyed, 1);
}

TEST(Guid, ParsesAndPrintsBothForms) {
  auto g = ParseGuid("{6E1B1F0A-5D1C-4C3E-9A51-0C8E2D7A4B10}");
  ASSERT_TRUE(g);
  EXPECT_EQ(GuidToString(*g), "{6E1B1F0A-5D1C-4C3E-9A51-0C8E2D7A4B10}");
  EXPECT_EQ(ParseGuid("6e1b1f0a-5d1c-4c3e-9a51-0c8e2d7a4b10"), g);
  EXPECT_FALSE(ParseGuid("{6E1B1F0A-5D1C-4C3E-9A51-0C8E2D7A4B1}"));
  EXPECT_FALSE(ParseGuid("{6E1B1F0A-5D1C-4C3E-9A51-0C8E2D7A4B1G}"));
  EXPECT_EQ(HresultName(DISP_E_PARAMNOTFOUND), "DISP_E_PARAMNOTFOUND");
  EXPECT_EQ(HresultHex(E_FAIL), "80004005");
  EXPECT_EQ(MakeObjectHresult(0x17C), MakeHresult(0x8004017Cu));
}

}  // namespace
