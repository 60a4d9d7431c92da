// The host rule shared by LAN addresses and the GPIB board map, and the
// "host[:port]" form of a board map's gateway. Nothing here is looked up.
#include "vex/io/host_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vex::io {
namespace {

TEST(HostNameTest, NumericAddressesAndRfc1123NamesAreTaken) {
  for (const std::string& host : std::vector<std::string>{
           "localhost", "scope-7.lab.example", "a", "1host.example", "10.0.0.5", "255.255.255.255",
           "::1", "fe80::1%eth0", "2001:db8::42", "x.y2k", std::string(63, 'a') + ".example",
           std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." +
               std::string(61, 'd')}) {
    SCOPED_TRACE(host);
    EXPECT_TRUE(CheckHost(host).ok()) << CheckHost(host).message();
  }
}

TEST(HostNameTest, EveryOtherHostIsRefusedSayingWhy) {
  struct Case {
    std::string host;
    const char* reason;
  };
  const Case cases[] = {
      {"", "the host is empty"},
      {"bogus host", "host \"bogus host\" holds a blank"},
      {"scope\t7", "holds a blank"},
      {"scope_7.lab", "\"_\" is not allowed"},
      {"a..b", "empty label"},
      {"scope.lab.", "empty label"},
      {".lab", "empty label"},
      {"-scope.lab", "starts or ends with '-'"},
      {"scope-.lab", "starts or ends with '-'"},
      {std::string(64, 'a') + ".lab", "longer than 63 characters"},
      {std::string(250, 'a') + ".lab", "longer than 253 characters"},
      {"999.1.1.1", "is not an IPv4 address"},
      {"1.2.3", "is not an IPv4 address"},
      {"1.2.3.4.5", "is not an IPv4 address"},
      {"10.0.0.256", "is not an IPv4 address"},
      {"::g", "is not an IPv6 address"},
      {"fe80::1%", "bad IPv6 zone"},
      {"h\xc3\xa9te", "\"\\xC3\" is not allowed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    const Status st = CheckHost(c.host);
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.code(), Errc::kInvalidArgument);
    EXPECT_NE(st.message().find(c.reason), std::string::npos) << st.message();
  }
}

TEST(HostNameTest, HostPortTakesAnOptionalPortAndBracketsForIpv6) {
  struct Good {
    const char* text;
    const char* host;
    int port;
  };
  const Good good[] = {
      {"10.0.0.7", "10.0.0.7", 111},
      {"10.0.0.7:1024", "10.0.0.7", 1024},
      {"gw.lab:65535", "gw.lab", 65535},
      {"[::1]", "::1", 111},
      {"[::1]:5111", "::1", 5111},
      {"fe80::1%eth0", "fe80::1%eth0", 111},
      {"gateway.example", "gateway.example", 111},
  };
  for (const Good& g : good) {
    SCOPED_TRACE(g.text);
    auto r = ParseHostPort(g.text, 111);
    ASSERT_TRUE(r.ok()) << r.status().message();
    EXPECT_EQ(r->host, g.host);
    EXPECT_EQ(r->port, g.port);
  }
  struct Bad {
    const char* text;
    const char* reason;
  };
  const Bad bad[] = {
      {"127.0.0.1:99999", "port \"99999\" is not a number from 1 to 65535"},
      {"127.0.0.1:0", "port \"0\""},
      {"127.0.0.1:+80", "port \"+80\""},
      {"127.0.0.1:http", "port \"http\""},
      {"127.0.0.1:", "no port after ':'"},
      {"[::1", "'[' without its ']'"},
      {"[::1]5111", "not \":port\""},
      {"[10.0.0.1]:111", "in brackets is not an IPv6 address"},
      {"bogus host", "holds a blank"},
      {"bogus host:111", "holds a blank"},
      {"", "the host is empty"},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.text);
    auto r = ParseHostPort(b.text, 111);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.status().message().find(b.reason), std::string::npos) << r.status().message();
  }
}

}  // namespace
}  // namespace vex::io
