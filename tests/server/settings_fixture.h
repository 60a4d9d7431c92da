// A connected core for the instrument-setting tests, with a model record of
// the test's choosing (command set, trace memories) in place of the table's.
#pragma once

#include <gmock/gmock.h>

#include <array>
#include <functional>

#include "core_fixture.h"
#include "model_table.h"
#include "vex/server/vexr7100.h"

namespace vex::test {

using namespace vex::server;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

inline constexpr const char* kIdn = "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00";
inline constexpr const char* kNotSupported =
    "This method (or property) is not supported for the currently connected instrument.";
inline constexpr const char* kNotLegal =
    "This method or an input value is not legal for the currently connected instrument.";
inline constexpr const char* kNotRecognized =
    "One or more of the input values are not recognized by the instrument automation server.";
inline constexpr const char* kReplyNotRecognized =
    "The SCPI response string received from the instrument is not recognized by the instrument "
    "automation server.";
inline constexpr const char* kEnumNotRecognized =
    "This enumeration value is not recognized by the instrument automation server.";

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

class SettingsTest : public CoreTest {
 protected:
  // Connects a VDS3004A ("Storage Module" adds the measurement/storage
  // option), then installs a model of command set `set`.
  void Connect(int set = 4, std::string type = "GPIB") {
    ASSERT_EQ(Attach(kIdn, std::move(type)), S_OK);
    UseSet(set);
  }
  void UseSet(int set, bool traces = false, std::int32_t first = 0, std::int32_t last = 2) {
    ModelEntry entry;
    entry.name = "VDS3004A";
    entry.analog_channels = 4;
    entry.command_set = static_cast<std::uint8_t>(set);
    entry.traces_supported = traces;
    entry.first_trace = first;
    entry.last_trace = last;
    core->SetModelForTesting(entry);
  }
  // A rule refusal: its status, text and help id, and nothing sent.
  void ExpectRefusal(HRESULT hr, HRESULT status, std::string_view text, std::uint32_t help_id) {
    EXPECT_EQ(hr, status);
    ErrorDetails details = Details();
    EXPECT_EQ(details.description.View(), text);
    EXPECT_EQ(details.help_context, help_id);
    EXPECT_THAT(io->sent, IsEmpty());
    io->sent.clear();
  }
  // A refused reference after the sweep mode was read.
  void ExpectRefusalAfterQuery(HRESULT hr) {
    EXPECT_EQ(hr, E_FAIL);
    ErrorDetails details = Details();
    EXPECT_EQ(details.description.View(), kNotLegal);
    EXPECT_EQ(details.help_context, 92u);
    EXPECT_THAT(Sent(), ElementsAre(":TIM:MODE?"));
  }
  std::vector<std::string> Sent() {
    std::vector<std::string> sent = std::move(io->sent);
    io->sent.clear();
    return sent;
  }
};

}  // namespace vex::test
