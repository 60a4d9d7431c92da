// Runs vexsim with --vxi11 and talks to its core channel through a VXI-11
// client built on the generated stubs, found through the port mapper on
// 127.0.0.1 (started here when none runs) or, failing that, at the port the
// program prints.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <rpc/pmap_clnt.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "PortMapper.h"
#include "VexsimProcess.h"
#include "vxi11.h"

namespace {

using namespace vex::sim::test;

constexpr long kFlagEnd = 0x08;
constexpr long kFlagTermChar = 0x80;
constexpr long kReasonRequestCount = 0x01;
constexpr long kReasonTermChar = 0x02;
constexpr long kReasonEnd = 0x04;

PortMapper* g_mapper = nullptr;

// One VXI-11 client connection to the simulator.
class Client {
 public:
  Client(int port, bool through_mapper) {
    if (through_mapper) {
      client_ = clnt_create("127.0.0.1", DEVICE_CORE, DEVICE_CORE_VERSION, "tcp");
    } else {
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<uint16_t>(port));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      int sock = RPC_ANYSOCK;
      client_ = clnttcp_create(&a, DEVICE_CORE, DEVICE_CORE_VERSION, &sock, 0, 0);
    }
  }
  ~Client() {
    if (client_ != nullptr) clnt_destroy(client_);
  }
  bool ok() const { return client_ != nullptr; }

  // The link id, or the negated error code.
  long Link(const std::string& device) {
    Create_LinkParms p{};
    p.device = const_cast<char*>(device.c_str());
    Create_LinkResp r{};
    if (create_link_1(&p, &r, client_) != RPC_SUCCESS) return -1000;
    return r.error == 0 ? r.lid : -r.error;
  }

  long Write(long lid, const std::string& data, bool end = true) {
    Device_WriteParms p{};
    p.lid = lid;
    p.io_timeout = 2000;
    p.flags = end ? kFlagEnd : 0;
    p.data.data_len = static_cast<u_int>(data.size());
    p.data.data_val = const_cast<char*>(data.data());
    Device_WriteResp r{};
    if (device_write_1(&p, &r, client_) != RPC_SUCCESS) return -1000;
    EXPECT_EQ(r.error != 0 || r.size == data.size(), true);
    return r.error;
  }

  struct ReadResult {
    long error = -1000;  // -1000: the call itself failed
    long reason = 0;
    std::string data;
  };
  ReadResult Read(long lid, unsigned long size = 65536, unsigned long timeout_ms = 2000,
                  bool term_char = false) {
    Device_ReadParms p{};
    p.lid = lid;
    p.requestSize = size;
    p.io_timeout = timeout_ms;
    p.flags = term_char ? kFlagTermChar : 0;
    p.termChar = '\n';
    Device_ReadResp r{};
    ReadResult out;
    if (device_read_1(&p, &r, client_) != RPC_SUCCESS) return out;
    out.error = r.error;
    out.reason = r.reason;
    out.data.assign(r.data.data_val, r.data.data_len);
    xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), reinterpret_cast<char*>(&r));
    return out;
  }

  // Reads one whole reply (until END).
  std::string Ask(long lid, const std::string& message) {
    if (Write(lid, message) != 0) return "<write failed>";
    std::string all;
    for (int i = 0; i < 100; ++i) {
      ReadResult r = Read(lid);
      if (r.error != 0) return all + "<error " + std::to_string(r.error) + ">";
      all += r.data;
      if (r.reason & kReasonEnd) return all;
    }
    return all + "<no end>";
  }

  long Generic(long lid, int which, unsigned char* stb = nullptr) {
    Device_GenericParms p{};
    p.lid = lid;
    p.io_timeout = 1000;
    Device_Error e{};
    enum clnt_stat s = RPC_SUCCESS;
    if (which == 0) {
      s = device_clear_1(&p, &e, client_);
    } else if (which == 1) {
      Device_ReadStbResp r{};
      s = device_readstb_1(&p, &r, client_);
      e.error = r.error;
      if (stb != nullptr) *stb = r.stb;
    } else if (which == 2) {
      s = device_trigger_1(&p, &e, client_);
    } else if (which == 3) {
      s = device_remote_1(&p, &e, client_);
    } else {
      s = device_local_1(&p, &e, client_);
    }
    return s == RPC_SUCCESS ? e.error : -1000;
  }
  long Clear(long lid) { return Generic(lid, 0); }
  long StatusByte(long lid, unsigned char* stb) { return Generic(lid, 1, stb); }

  long Lock(long lid) {
    Device_LockParms p{};
    p.lid = lid;
    Device_Error e{};
    return device_lock_1(&p, &e, client_) == RPC_SUCCESS ? e.error : -1000;
  }
  long Unlock(long lid) {
    Device_Error e{};
    return device_unlock_1(&lid, &e, client_) == RPC_SUCCESS ? e.error : -1000;
  }
  long Destroy(long lid) {
    Device_Error e{};
    return destroy_link_1(&lid, &e, client_) == RPC_SUCCESS ? e.error : -1000;
  }

 private:
  CLIENT* client_ = nullptr;
};

class Vxi11Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { g_mapper = new PortMapper; }
  static void TearDownTestSuite() {
    delete g_mapper;
    g_mapper = nullptr;
  }

  void SetUp() override {
    sim_ = std::make_unique<Vexsim>(std::vector<std::string>{"--vxi11", "--model", "VDS3004A"});
    const std::string endpoint = sim_->Endpoint("vxi11");
    ASSERT_TRUE(endpoint.starts_with("127.0.0.1:")) << sim_->banner();
    port_ = std::stoi(endpoint.substr(endpoint.rfind(':') + 1));
    if (!g_mapper->available()) {
      std::fprintf(stderr, "no port mapper here: connecting to port %d directly\n", port_);
    }
  }

  std::unique_ptr<Client> Connect() {
    auto c = std::make_unique<Client>(port_, g_mapper->available());
    EXPECT_TRUE(c->ok());
    return c;
  }

  std::unique_ptr<Vexsim> sim_;
  int port_ = 0;
};

TEST_F(Vxi11Test, RegistersWithThePortMapperWhileItRuns) {
  EXPECT_EQ(sim_->banner().find("tcp "), std::string::npos);  // --vxi11 alone
  if (!g_mapper->available()) GTEST_SKIP() << "no port mapper can run here";
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(pmap_getport(&a, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP), port_);
  EXPECT_EQ(sim_->Terminate(), 0);
  // A simulator that ends takes its registration with it.
  EXPECT_EQ(pmap_getport(&a, DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP), 0);
}

TEST_F(Vxi11Test, IdentifiesAndReadsALargeBlockInPieces) {
  auto c = Connect();
  ASSERT_TRUE(c->ok());
  const long lid = c->Link("inst0");
  ASSERT_GT(lid, 0);
  EXPECT_EQ(c->Ask(lid, "*IDN?\n"), "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00\n");
  // END ends a message without a line feed; without it the message waits.
  ASSERT_EQ(c->Write(lid, "*ID", false), 0);
  EXPECT_EQ(c->Read(lid, 100, 200).error, 15);
  EXPECT_EQ(c->Ask(lid, "N?"), "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00\n");

  // A million-byte ramp: read in pieces of at most 300,000 bytes, the first
  // stopped by the line feed byte when the read asks for the terminator.
  ASSERT_EQ(c->Write(lid, ":SIM:PATT ON;:WAV:POIN 1000000;:WAV:DATA?\n"), 0);
  auto first = c->Read(lid, 300000, 2000, true);
  ASSERT_EQ(first.error, 0);
  EXPECT_EQ(first.reason, kReasonTermChar);
  EXPECT_EQ(first.data, std::string("#801000000") + std::string("\0\1\2\3\4\5\6\7\10\11\n", 11));
  std::string block = first.data;
  int calls = 1;
  for (;;) {
    auto r = c->Read(lid, 300000);
    ASSERT_EQ(r.error, 0);
    ++calls;
    block += r.data;
    if (r.reason & kReasonEnd) {
      EXPECT_LE(r.data.size(), 300000u);
      break;
    }
    EXPECT_EQ(r.reason, kReasonRequestCount);
    EXPECT_EQ(r.data.size(), 300000u);
  }
  EXPECT_EQ(calls, 5);
  ASSERT_EQ(block.size(), 10u + 1'000'000u + 1u);
  for (std::size_t i = 0; i < 1'000'000; ++i) {
    ASSERT_EQ(static_cast<uint8_t>(block[10 + i]), static_cast<uint8_t>(i)) << i;
  }
  EXPECT_EQ(block.back(), '\n');

  // A request exactly the reply's size ends with both reasons.
  ASSERT_EQ(c->Write(lid, "*OPC?\n"), 0);
  auto exact = c->Read(lid, 2);
  EXPECT_EQ(exact.data, "1\n");
  EXPECT_EQ(exact.reason, kReasonRequestCount | kReasonEnd);

  EXPECT_EQ(c->Destroy(lid), 0);
  EXPECT_EQ(c->Write(lid, "*IDN?\n"), 4);
  EXPECT_EQ(c->Destroy(lid), 4);
}

TEST_F(Vxi11Test, FaultsTimeoutsClearAndStatusByte) {
  auto c = Connect();
  ASSERT_TRUE(c->ok());
  const long lid = c->Link("INST1");
  ASSERT_GT(lid, 0);

  // No answer: the read gives up after its io_timeout with error 15.
  ASSERT_EQ(c->Write(lid, ":SIM:FAUL NOAN;*IDN?\n"), 0);
  auto start = Clock::now();
  EXPECT_EQ(c->Read(lid, 100, 300).error, 15);
  EXPECT_GE(Clock::now() - start, 300ms);

  // A slow reply due after the timeout stays for the next read.
  ASSERT_EQ(c->Write(lid, ":SIM:FAUL:DEL 400;:SIM:FAUL SLOW;*IDN?\n"), 0);
  EXPECT_EQ(c->Read(lid, 100, 100).error, 15);
  auto late = c->Read(lid, 100, 2000);
  EXPECT_EQ(late.error, 0);
  EXPECT_EQ(late.data, "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00\n");

  // Status byte: message available until read; device clear drops the reply.
  ASSERT_EQ(c->Write(lid, ":SIM:FAUL NONE;*IDN?\n"), 0);
  unsigned char stb = 0;
  EXPECT_EQ(c->StatusByte(lid, &stb), 0);
  EXPECT_EQ(stb & 0x10, 0x10);
  EXPECT_EQ(c->Clear(lid), 0);
  EXPECT_EQ(c->StatusByte(lid, &stb), 0);
  EXPECT_EQ(stb & 0x10, 0);
  EXPECT_EQ(c->Read(lid, 100, 100).error, 15);
  EXPECT_EQ(c->Generic(lid, 2), 0);  // trigger, remote and local are accepted
  EXPECT_EQ(c->Generic(lid, 3), 0);
  EXPECT_EQ(c->Generic(lid, 4), 0);
  EXPECT_EQ(c->Generic(99, 2), 4);

  // A lock keeps other links out until it is released.
  auto other = Connect();
  const long lid2 = other->Link("inst0");
  ASSERT_GT(lid2, 0);
  EXPECT_EQ(c->Lock(lid), 0);
  EXPECT_EQ(other->Write(lid2, "*IDN?\n"), 11);
  EXPECT_EQ(other->Unlock(lid2), 12);
  EXPECT_EQ(c->Unlock(lid), 0);
  EXPECT_EQ(other->Ask(lid2, "*IDN?\n"), "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00\n");

  // The drop fault sends half the block and closes the connection.
  ASSERT_EQ(c->Write(lid, ":SIM:FAUL DROP;:WAV:POIN 1000;:WAV:DATA?\n"), 0);
  auto cut = c->Read(lid, 100000);
  EXPECT_EQ(cut.error, 0);
  EXPECT_LT(cut.data.size(), 1011u);
  EXPECT_EQ(c->Read(lid, 100, 200).error, -1000);
  // The other connection carries on.
  EXPECT_EQ(other->Ask(lid2, ":WAV:POIN?\n"), "1000\n");
}

TEST_F(Vxi11Test, GatewayNameReachesTheInstrumentAtItsAddress) {
  auto c = Connect();
  ASSERT_TRUE(c->ok());
  const long direct = c->Link("inst0");
  const long gateway = c->Link("gpib0,7");
  ASSERT_GT(direct, 0);
  ASSERT_GT(gateway, 0);
  EXPECT_NE(direct, gateway);
  EXPECT_EQ(c->Ask(gateway, "*IDN?\n"), "VEXAN TECHNOLOGIES,VDS3004A,SIM000001,A.03.00\n");
  // One instrument behind both names.
  ASSERT_EQ(c->Write(direct, ":TIM:RANG 2e-3\n"), 0);
  EXPECT_EQ(c->Ask(gateway, ":TIM:RANG?\n"), "+2.000000E-03\n");
  // Other addresses and names are not there.
  EXPECT_EQ(c->Link("gpib0,5"), -3);
  EXPECT_EQ(c->Link("gpib1,7"), -3);
  EXPECT_EQ(c->Link("scope"), -3);
}

TEST(Vxi11Program, GatewayAddressAndErrorFormatOptions) {
  Vexsim sim(
      {"--vxi11", "--gateway-address", "12", "--error-format", "SHORT", "--tcp", "127.0.0.1:0"});
  const std::string endpoint = sim.Endpoint("vxi11");
  ASSERT_FALSE(endpoint.empty()) << sim.banner();
  EXPECT_NE(sim.Endpoint("tcp"), "");
  Client c(std::stoi(endpoint.substr(endpoint.rfind(':') + 1)), false);
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(c.Link("gpib0,7"), -3);
  const long lid = c.Link("gpib0,12");
  ASSERT_GT(lid, 0);
  EXPECT_EQ(c.Ask(lid, ":NOPE;:SYST:ERR?\n"), "-113\n");
  EXPECT_EQ(c.Ask(lid, ":SIM:ERRF LONG;:NOPE;:SYST:ERR?\n"), "-113,\"Undefined header\"\n");
  EXPECT_EQ(sim.Terminate(), 0);
  Vexsim bad({"--gateway-address", "31"});
  EXPECT_EQ(bad.Terminate(), 2);
}

}  // namespace
