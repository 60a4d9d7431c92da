// The simulator that the I/O component tests talk to, started once per test
// program: raw TCP, a pty mapped as COM3, and VXI-11 (found through the port
// mapper), with GPIB board 0 the simulated bus of this process and board 1 a
// LAN/GPIB gateway over VXI-11. Transports are named; their addresses are
// known once the simulator runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "PortMapper.h"
#include "VexsimProcess.h"
#include "vex/io/io_interfaces.h"

namespace vex::io::test {

inline sim::test::Vexsim* g_sim = nullptr;
inline sim::test::PortMapper* g_mapper = nullptr;

// Starts the simulator and points COM3 at its pty before anything in this
// process reads the port map.
class SimulatorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    g_mapper = new sim::test::PortMapper();
    ASSERT_TRUE(g_mapper->available()) << "no port mapper (rpcbind) could be reached or started";
    g_sim =
        new sim::test::Vexsim({"--model", "VDS3004A", "--tcp", "127.0.0.1:0", "--pty", "--vxi11"});
    ASSERT_GT(g_sim->port(), 0);
    std::string pty = g_sim->Endpoint("pty");
    ASSERT_FALSE(pty.empty());
    setenv("VEX_COM_PORTS", ("COM3=" + pty).c_str(), 1);
    setenv("VEX_GPIB_BOARDS", "0=sim,1=127.0.0.1", 1);
    ASSERT_EQ(com::RegisterServer(VEXIOUTILS_PATH), com::S_OK);
#ifdef VEXSIMBUS_PATH
    ASSERT_EQ(com::RegisterServer(VEXSIMBUS_PATH), com::S_OK);
#endif
  }
  void TearDown() override {
    delete g_sim;
    g_sim = nullptr;
    delete g_mapper;
    g_mapper = nullptr;
  }
};

// "Tcp", "Pty", "Vxi11", "GpibGateway" (with the gateway), and "Gpib" when
// the simulated bus is built.
inline std::vector<std::string> Transports(bool with_gateway) {
  std::vector<std::string> list{"Tcp", "Pty", "Vxi11"};
  if (with_gateway) list.push_back("GpibGateway");
#ifdef VEXSIMBUS_PATH
  list.push_back("Gpib");
#endif
  return list;
}

inline std::string AddressOf(const std::string& transport) {
  if (transport == "Tcp") return "TCPIP0::127.0.0.1::" + std::to_string(g_sim->port()) + "::SOCKET";
  if (transport == "Pty") return "COM3::Baud=115200,Handshake=DTR_DSR";
  if (transport == "Vxi11") return "TCPIP0::127.0.0.1::INSTR";
  if (transport == "GpibGateway") return "GPIB1::7::INSTR";
  return "GPIB0::7::INSTR";
}

}  // namespace vex::io::test
