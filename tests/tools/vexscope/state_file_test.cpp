// The state file's rules: new versus saved state, where the address comes
// from, and that a part's save touches only its own keys.
#include "state_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tool_errors.h"

namespace vex::scope {
namespace {

class StateFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vexscope-state-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    path_ = folder_ + "/state.json";
    unsetenv("VEXSCOPE_ADDRESS");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string folder_;
  std::string path_;
};

TEST_F(StateFileTest, MissingFileIsNewStateAndAnEmptyBagIsSaved) {
  StateFile fresh = StateFile::Open(path_);
  EXPECT_TRUE(fresh.HasFile());
  EXPECT_FALSE(fresh.IsSaved());
  EXPECT_FALSE(std::filesystem::exists(path_));  // opening writes nothing

  std::ofstream(path_) << R"({"format":"vexcom-property-bag","version":1,"values":{}})";
  StateFile empty = StateFile::Open(path_);
  EXPECT_TRUE(empty.IsSaved());

  StateFile none;
  EXPECT_FALSE(none.HasFile());
  EXPECT_FALSE(none.IsSaved());
  ASSERT_NE(none.Bag(), nullptr);
  none.SaveAddress("COM1");  // nothing to write to, no failure

  std::ofstream(path_) << "not json";
  EXPECT_THROW(StateFile::Open(path_), AutomationError);
}

TEST_F(StateFileTest, AddressComesFromOptionThenFileThenEnvironmentThenDefault) {
  StateFile state = StateFile::Open(path_);
  EXPECT_EQ(state.Address(std::nullopt), "GPIB0::7::INSTR");
  setenv("VEXSCOPE_ADDRESS", "COM3", 1);
  EXPECT_EQ(state.Address(std::nullopt), "COM3");
  state.SaveAddress("GPIB1::5::INSTR");
  StateFile again = StateFile::Open(path_);
  EXPECT_EQ(again.Address(std::nullopt), "GPIB1::5::INSTR");
  EXPECT_EQ(again.Address(std::string("COM2")), "COM2");
  unsetenv("VEXSCOPE_ADDRESS");
  // The default address is not stored.
  again.SaveAddress("GPIB0::7::INSTR");
  EXPECT_FALSE(StateFile::Open(path_).Value(kStateAddressKey).has_value());
}

TEST_F(StateFileTest, SaveWritesOwnKeysDropsDefaultsAndKeepsOthers) {
  StateFile state = StateFile::Open(path_);
  const StateKey setups_keys[] = {{"SetupCount", com::Variant(std::int32_t{0})}};
  state.Save(setups_keys, [](com::IPropertyBag* bag) {
    return bag->Write(com::Bstr("SetupCount"), com::Variant(std::int32_t{3}));
  });
  const StateKey io_keys[] = {{"DTROnly", com::Variant(false)},
                              {"ActiveAddressInstrumentID", com::Variant("")}};
  state.Save(io_keys, [](com::IPropertyBag* bag) {
    (void)bag->Write(com::Bstr("DTROnly"), com::Variant(true));
    return bag->Write(com::Bstr("ActiveAddressInstrumentID"), com::Variant("VEXAN,VDS3004A"));
  });
  // Back to defaults: the part's keys go, the other part's key stays.
  StateFile reread = StateFile::Open(path_);
  EXPECT_TRUE(reread.IsSaved());
  EXPECT_TRUE(reread.Value("DTROnly").has_value());
  reread.Save(io_keys, [](com::IPropertyBag* bag) {
    return bag->Write(com::Bstr("DTROnly"), com::Variant(false));
  });
  StateFile last = StateFile::Open(path_);
  EXPECT_FALSE(last.Value("DTROnly").has_value());
  EXPECT_FALSE(last.Value("ActiveAddressInstrumentID").has_value());
  ASSERT_TRUE(last.Value("SetupCount").has_value());
  EXPECT_EQ(last.Value("SetupCount")->I4(), 3);

  // A failing part commits nothing.
  EXPECT_THROW(last.Save(io_keys, [](com::IPropertyBag*) { return com::E_FAIL; }), AutomationError);
  EXPECT_TRUE(StateFile::Open(path_).Value("SetupCount").has_value());
}

TEST(StateFileValues, SameValueComparesTypeAndContent) {
  EXPECT_TRUE(StateFile::SameValue(com::Variant("a"), com::Variant("a")));
  EXPECT_FALSE(StateFile::SameValue(com::Variant("a"), com::Variant(false)));
  const std::uint8_t one[] = {1, 2, 3};
  const std::uint8_t two[] = {1, 2, 4};
  EXPECT_TRUE(StateFile::SameValue(com::Variant(com::SafeArray::FromBytes(one)),
                                   com::Variant(com::SafeArray::FromBytes(one))));
  EXPECT_FALSE(StateFile::SameValue(com::Variant(com::SafeArray::FromBytes(one)),
                                    com::Variant(com::SafeArray::FromBytes(two))));
}

}  // namespace
}  // namespace vex::scope
