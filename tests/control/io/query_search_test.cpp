// Identification and search against the simulator (over TCP, a pty mapped
// as a COM port, the simulated GPIB bus) and against small peers of the
// test's own that answer without a comma or not at all.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "VexsimProcess.h"
#include "cquery_instrument.h"
#include "instrument_search.h"
#include "io_test_support.h"
#include "vex/com/class_registry.h"
#include "vex/com/error_info.h"
#include "vex/io/address.h"
#include "vex/ui/headless_toolkit.h"

namespace vex::control {
namespace {

const auto* const kLibraries = ::testing::AddGlobalTestEnvironment(new test::IoLibraries);

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

// A TCP peer that answers every line with `reply` (none when empty).
class LinePeer {
 public:
  explicit LinePeer(std::string reply) : reply_(std::move(reply)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    socklen_t size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      const int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      char buffer[256];
      ssize_t n;
      while ((n = read(fd, buffer, sizeof buffer)) > 0)
        if (!reply_.empty()) (void)!write(fd, reply_.data(), reply_.size());
      close(fd);
    });
  }
  ~LinePeer() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }
  std::string Address() const { return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }

 private:
  std::string reply_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(com::CreateObjectByProgID("VexIOUtils.IOManager", &manager_), com::S_OK);
    ASSERT_EQ(query_.Initialize(0, config_.Get(), manager_.Get()), com::S_OK);
    owner_ = toolkit_.AddWindow({0, 0, 400, 300});
  }
  std::int16_t Test(const std::string& address, std::string* reply = nullptr) {
    std::string text;
    std::int16_t code = -1;
    EXPECT_EQ(query_.Test(toolkit_, owner_, address, &text, &code), com::S_OK);
    if (reply) *reply = text;
    return code;
  }
  const std::string& Shown() const { return toolkit_.MessageBoxes().back().request.text; }

  com::ComPtr<CIOconfiguration> config_ = com::MakeObject<CIOconfiguration>();
  com::ComPtr<com::IUnknown> manager_;
  CQueryInstrument query_;
  ui::HeadlessToolkit toolkit_;
  ui::WindowHandle owner_ = 0;
};

TEST_F(QueryTest, OverTcpTheReplyIsClassifiedAndShown) {
  sim::test::Vexsim sim({"--tcp", "127.0.0.1:0"});
  const std::string address = "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET";
  std::string reply;
  EXPECT_EQ(Test(address, &reply), 0);
  // Counted after the first exchange, which opens the process's traffic log.
  const int before = OpenDescriptors();
  EXPECT_EQ(Test(address, &reply), 0);
  EXPECT_EQ(reply.find_first_of("\r\n"), std::string::npos);
  EXPECT_NE(reply.find("VEXAN"), std::string::npos);
  EXPECT_EQ(toolkit_.MessageBoxes().back().request.flags, 65600u);
  EXPECT_EQ(toolkit_.MessageBoxes().back().request.title, "Vexan 8100 Instrument Test Result");
  EXPECT_EQ(Shown().rfind("Success -- Instrument was found", 0), 0u);
  EXPECT_NE(Shown().find("At address:\r\n    " + address), std::string::npos);
  // The serial query on a non-serial address is the wrong kind.
  std::int16_t code = 0;
  ASSERT_EQ(query_.RS232IDNQuery(address, &reply, &code), com::S_OK);
  EXPECT_EQ(code, 6);
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(QueryTest, CommaLessReplyIsCodeThreeAndSilenceIsCodeFour) {
  LinePeer plain("HELLO\n");
  EXPECT_EQ(Test(plain.Address()), 3);
  EXPECT_NE(Shown().find("not an IEEE 488.2 compliant"), std::string::npos);
  LinePeer silent("");
  EXPECT_EQ(Test(silent.Address()), 4);
  EXPECT_EQ(Shown().rfind("Instrument NOT found.", 0), 0u);
  EXPECT_NE(Shown().find("exclude this address"), std::string::npos);
  EXPECT_EQ(CQueryInstrument::IsValidInstrument(""), 4);
  EXPECT_EQ(CQueryInstrument::IsValidInstrument("A,ANY MODEL,1,2"), 0);
}

TEST_F(QueryTest, SerialPortsOverAPtyAndAMissingPort) {
  const int before = OpenDescriptors();
  {
    sim::test::Vexsim sim({"--pty"});
    const std::string pty = sim.Endpoint("pty");
    ASSERT_FALSE(pty.empty());
    setenv("VEX_COM_PORTS", ("COM2=" + pty + ",COM3=/dev/vex-no-such-port").c_str(), 1);

    // DTR/DSR: success without the handshake caution.
    ASSERT_EQ(config_->SetActiveAddress("COM2::Handshake=DTR_DSR"), com::S_OK);
    EXPECT_EQ(Test("COM2::Handshake=DTR_DSR"), 0);
    EXPECT_EQ(Shown().find("Caution"), std::string::npos);
    EXPECT_NE(Shown().find("At address:\r\n    COM2"), std::string::npos);

    // XOn/XOff at 19200 (the port's own rate from the address): the caution.
    ASSERT_EQ(config_->SetActiveAddress("COM2::Baud=19200"), com::S_OK);
    std::string reply;
    EXPECT_EQ(Test("COM2::Baud=19200", &reply), 0);
    EXPECT_NE(Shown().find("Caution -- The Handshake setting"), std::string::npos);
    EXPECT_EQ(reply.find_first_of("\r\n"), std::string::npos);

    // The I/O component opens the server's form with its explicit handshake.
    EXPECT_EQ(config_->AutomationServerAddress(), "COM2::Baud=19200,Handshake=XON_XOFF");
    com::ComPtr<io::IIOManager> typed;
    ASSERT_EQ(manager_.As(&typed), com::S_OK);
    for (const char* address :
         {"COM2::Handshake=XON_XOFF", "COM2::Baud=19200,Handshake=XON_XOFF"}) {
      com::ComPtr<io::IIO> io;
      ASSERT_EQ(typed->CreateIO(com::Bstr(address), io.ReleaseAndGetAddressOf()), com::S_OK)
          << address;
      com::ComPtr<io::IIOConnection> connection;
      ASSERT_EQ(io->get_Connection(connection.ReleaseAndGetAddressOf()), com::S_OK);
      EXPECT_EQ(connection->Close(), com::S_OK);
    }

    EXPECT_EQ(Test("COM3"), 5);
    EXPECT_EQ(Shown(), "This I/O port was NOT found.\r\n\r\nAt address:\r\n    COM3");
    unsetenv("VEX_COM_PORTS");
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

// An address the grammar refuses fails the test with the grammar's message
// before anything is opened: no verdict box, no port, and at once (a probe
// of a port would wait out its 2.5 s timeout).
TEST_F(QueryTest, ARefusedAddressIsNeverProbed) {
  for (const char* bad : {"COM1::Parity=Z", "COM1::Baud=12345", "GPIB0::7 7::INSTR",
                          "TCPIP0::bad host::INSTR", "USB0::1::2::3::INSTR"}) {
    SCOPED_TRACE(bad);
    const auto start = std::chrono::steady_clock::now();
    std::string reply;
    std::int16_t code = -1;
    EXPECT_EQ(query_.Test(toolkit_, owner_, bad, &reply, &code), kInvalidPropertyValue);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(com::TakeErrorDetails().description.Str(), io::ParseAddress(bad).status().message());
    EXPECT_EQ(code, -1);
    EXPECT_TRUE(toolkit_.MessageBoxes().empty());
  }
}

// A serial probe takes what its address asks for; what a bare port leaves
// out (as the search probes it) comes from the port's search criteria.
TEST_F(QueryTest, ASerialProbeUsesTheAddressThenThePortsCriteria) {
  ASSERT_EQ(config_->SetBaudRate(2, 38400), com::S_OK);
  ASSERT_EQ(config_->SetHandshake(2, kHandshakeDtrDsr), com::S_OK);
  ProbeRequest request;
  bool applicable = false;
  ASSERT_EQ(query_.PrepareRS232("COM2", &request, &applicable), com::S_OK);
  EXPECT_TRUE(applicable);
  EXPECT_EQ(request.baud, 38400);
  EXPECT_EQ(request.handshake, kHandshakeDtrDsr);
  EXPECT_EQ(request.data_bits, 8);
  EXPECT_EQ(request.stop_bits, 1);
  ASSERT_EQ(
      query_.PrepareRS232("COM2::Baud=115200,Handshake=NONE,Size=7,Stop=2", &request, &applicable),
      com::S_OK);
  EXPECT_EQ(request.baud, 115200);
  EXPECT_EQ(request.handshake, io::RS232_HandShake_None);
  EXPECT_EQ(request.data_bits, 7);
  EXPECT_EQ(request.stop_bits, 2);
  ASSERT_EQ(query_.PrepareRS232("COM2::Size=5,Stop=1.5", &request, &applicable), com::S_OK);
  EXPECT_EQ(request.stop_bits, 15);
  EXPECT_EQ(request.baud, 38400);
}

class RecordingSink : public InstrumentSearch::Sink {
 public:
  void Progress(const std::string& text, std::int32_t, std::int32_t) override {
    texts.push_back(text);
  }
  void PortNotListed(const std::string&, const std::string& message) override {
    not_listed.push_back(message);
  }
  std::vector<std::string> texts;
  std::vector<std::string> not_listed;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SearchTest, BusWithTwoInstrumentsAndAnExcludedAddress) {
  // The environment of this test program puts instruments at 7, 9 and 17.
  com::ComPtr<com::IUnknown> manager;
  ASSERT_EQ(com::CreateObjectByProgID("VexIOUtils.IOManager", &manager), com::S_OK);
  setenv("VEX_COM_PORTS",
         "COM1=/dev/vex-none-1,COM2=/dev/vex-none-2,COM3=/dev/vex-none-3,"
         "COM4=/dev/vex-none-4",
         1);
  const int before = OpenDescriptors();
  const std::string log_path = VEX_IO_LOG_PATH;
  const std::size_t log_start = ReadFile(log_path).size();

  auto config = com::MakeObject<CIOconfiguration>();
  for (int p = 1; p <= 4; ++p) ASSERT_EQ(config->SetRS232PortIncluded(p, false), com::S_OK);
  ASSERT_EQ(config->SetGPIBPortIncludes(0, 9, false), com::S_OK);
  ASSERT_EQ(config->SetActiveAddress("GPIB0::17::INSTR"), com::S_OK);
  InstrumentSearch search;
  RecordingSink sink;
  ASSERT_EQ(search.Run(*config, manager.Get(), 0, &sink), com::S_OK);
  ASSERT_EQ(search.Rows().size(), 2u);
  EXPECT_EQ(search.Rows()[0].address, "GPIB0::7");
  EXPECT_EQ(search.Rows()[1].address, "GPIB0::17");
  EXPECT_TRUE(search.Rows()[0].supported);
  EXPECT_EQ(search.Rows()[0].manufacturer, "VEXAN TECHNOLOGIES");
  EXPECT_EQ(search.ActiveRow(), 1);
  EXPECT_TRUE(search.SilentPorts().empty());
  EXPECT_EQ(sink.texts.front(), "Finding installed I/O Ports");
  EXPECT_EQ(sink.texts.back(), "Search Complete.");
  bool installed = false;
  ASSERT_EQ(config->GPIBPortInstalled(0, &installed), com::S_OK);
  EXPECT_TRUE(installed);

  // The excluded address was never spoken to.
  const std::string traffic = ReadFile(log_path).substr(log_start);
  EXPECT_NE(traffic.find("GPIB0::7::INSTR >"), std::string::npos) << traffic;
  EXPECT_NE(traffic.find("GPIB0::17::INSTR >"), std::string::npos);
  EXPECT_EQ(traffic.find("GPIB0::9::INSTR"), std::string::npos);

  // "GPIB0::1" is not the row of "GPIB0::17::INSTR", nor COM1 of COM12.
  EXPECT_FALSE(InstrumentSearch::RowMatchesAddress("GPIB0::1", "GPIB0::17::INSTR"));
  EXPECT_TRUE(InstrumentSearch::RowMatchesAddress("COM1", "COM1::Baud=19200"));
  EXPECT_FALSE(InstrumentSearch::RowMatchesAddress("COM1", "COM12"));
  unsetenv("VEX_COM_PORTS");
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST(SearchTest, SilentComPortsAreListedAndProbedTogether) {
  com::ComPtr<com::IUnknown> manager;
  ASSERT_EQ(com::CreateObjectByProgID("VexIOUtils.IOManager", &manager), com::S_OK);
  // Two ptys on which nothing answers, and one port with the simulator.
  int masters[2];
  std::string names[2];
  for (int i = 0; i < 2; ++i) {
    masters[i] = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(masters[i], 0);
    ASSERT_EQ(grantpt(masters[i]), 0);
    ASSERT_EQ(unlockpt(masters[i]), 0);
    names[i] = ptsname(masters[i]);
  }
  sim::test::Vexsim sim({"--pty"});
  setenv("VEX_COM_PORTS",
         ("COM1=" + names[0] + ",COM2=" + sim.Endpoint("pty") + ",COM3=" + names[1]).c_str(), 1);
  auto config = com::MakeObject<CIOconfiguration>();
  for (int p = 0; p < 4; ++p) ASSERT_EQ(config->SetGPIBPortIncluded(p, false), com::S_OK);
  ASSERT_EQ(config->SetRS232PortIncluded(4, false), com::S_OK);
  ASSERT_EQ(config->SetActiveAddress("COM2"), com::S_OK);
  InstrumentSearch search;
  RecordingSink sink;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(search.Run(*config, manager.Get(), 0, &sink), com::S_OK);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(search.Rows().size(), 1u);
  EXPECT_EQ(search.Rows()[0].address, "COM2");
  EXPECT_EQ(search.ActiveRow(), 0);
  EXPECT_EQ(search.SilentPorts(), (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_NE(search.SilentPortsText().find("    COM1\r\n    COM3\r\n"), std::string::npos);
  // Two silent ports cost one time-out, not two (a coarse bound, not a timing test).
  EXPECT_LT(elapsed, std::chrono::milliseconds(2 * kQueryTimeoutMs));
  unsetenv("VEX_COM_PORTS");
  for (int fd : masters) close(fd);
}

TEST(SearchTest, CancelStopsBeforeTheNextProbe) {
  com::ComPtr<com::IUnknown> manager;
  ASSERT_EQ(com::CreateObjectByProgID("VexIOUtils.IOManager", &manager), com::S_OK);
  auto config = com::MakeObject<CIOconfiguration>();
  for (int p = 1; p <= 4; ++p) ASSERT_EQ(config->SetRS232PortIncluded(p, false), com::S_OK);
  InstrumentSearch search;
  struct CancelAtFirstProbe : InstrumentSearch::Sink {
    InstrumentSearch* search;
    void Progress(const std::string& text, std::int32_t done, std::int32_t) override {
      if (done == 1) search->Cancel();
      (void)text;
    }
    void PortNotListed(const std::string&, const std::string&) override {}
  } sink;
  sink.search = &search;
  search.SetConcurrent(false);
  EXPECT_EQ(search.Run(*config, manager.Get(), 0, &sink), com::E_ABORT);
  EXPECT_EQ(search.Rows().size(), 1u);
  EXPECT_EQ(search.ProbeCount(), 3);
}

}  // namespace
}  // namespace vex::control
