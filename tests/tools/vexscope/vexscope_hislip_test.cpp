// vexscope over HiSLIP against the simulator's HiSLIP server, both built
// here: the whole path from an address to a scaled waveform, on IPv4 and
// IPv6, in both modes of the server, and the refusals a user meets first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "ToolProcess.h"
#include "VexsimProcess.h"

namespace vex::scope::test {
namespace {

using ::testing::HasSubstr;

bool HasIpv6Loopback() {
  const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

class HislipScope : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    unsetenv("VEXSCOPE_ADDRESS");
    if (!std::getenv("VEXCOM_REGISTRY"))
      setenv("VEXCOM_REGISTRY", (std::string(VEX_TEST_TMP) + "/hislip-registry.json").c_str(), 1);
  }
  void SetUp() override {
    std::vector<std::string> args = {"--hislip"};
    if (GetParam()) args.push_back("--hislip-overlapped");
    sim_ = std::make_unique<sim::test::Vexsim>(args);
    v4_ = sim_->Endpoint("hislip");  // the first line: 127.0.0.1:PORT
    ASSERT_FALSE(v4_.empty());
    port_ = v4_.substr(v4_.rfind(':') + 1);
  }
  std::string Address(const std::string& host, const std::string& sub = "hislip0") const {
    return "TCPIP0::" + host + "::" + sub + "," + port_ + "::INSTR";
  }
  ToolRun Scope(const std::string& address, std::vector<std::string> args) {
    args.insert(args.begin(), {"-a", address});
    return RunTool(VEXSCOPE_PATH, std::move(args), {}, std::chrono::seconds(60));
  }

  std::unique_ptr<sim::test::Vexsim> sim_;
  std::string v4_;
  std::string port_;
};

TEST_P(HislipScope, IdentifiesSetsAndReadsAWaveform) {
  ToolRun idn = Scope(Address("127.0.0.1"), {"idn"});
  ASSERT_EQ(idn.status, 0) << idn.err;
  EXPECT_THAT(idn.out, HasSubstr("model=VDS3014A"));

  ToolRun set = Scope(Address("127.0.0.1"), {"set", "Timebase.HorizontalRange", "0.002"});
  ASSERT_EQ(set.status, 0) << set.err;
  ToolRun get = Scope(Address("127.0.0.1"), {"get", "Timebase.HorizontalRange"});
  EXPECT_EQ(get.out, "0.002\n") << get.err;

  ToolRun wave = Scope(Address("127.0.0.1"), {"--json", "waveform", "1"});
  ASSERT_EQ(wave.status, 0) << wave.err;
  const auto json = nlohmann::json::parse(wave.out);
  EXPECT_EQ(json["volts"].size(), 1000u);

  // The same instrument on ::1, when the host has it.
  if (!HasIpv6Loopback()) GTEST_SKIP() << "no ::1 here";
  ToolRun v6 = Scope(Address("[::1]"), {"get", "Timebase.HorizontalRange"});
  EXPECT_EQ(v6.out, "0.002\n") << v6.err;
}

TEST_P(HislipScope, AWrongSubAddressOrPortFailsAtOnceSayingWhy) {
  const auto start = std::chrono::steady_clock::now();
  ToolRun wrong = Scope(Address("127.0.0.1", "hislip7"), {"idn"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_THAT(wrong.err, HasSubstr("unknown sub-address \"hislip7\""));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  ToolRun bad = Scope("TCPIP0::127.0.0.1::hislip0,70000::INSTR", {"idn"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.err, HasSubstr("invalid address"));
}

INSTANTIATE_TEST_SUITE_P(Modes, HislipScope, ::testing::Bool(), [](const auto& info) {
  return info.param ? "Overlapped" : "Synchronized";
});

}  // namespace
}  // namespace vex::scope::test
