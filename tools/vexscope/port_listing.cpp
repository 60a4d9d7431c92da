#include "port_listing.h"

#include <iomanip>
#include <nlohmann/json.hpp>
#include <sstream>

#include "vex/io/address.h"
#include "vex/io/gpib_board_map.h"
#include "vex/io/port_map.h"

namespace vex::scope {
namespace {

std::string Describe(const PortRow& row) {
  if (row.kind == "usb") return "USB adapter " + (row.id.empty() ? row.resolved : row.id);
  if (row.kind == "uart") return "UART";
  if (row.kind == "pty") return "pty";
  if (row.kind == "no-uart") return "no UART behind the node";
  if (row.kind == "other") return "not a serial port";
  if (row.kind == "missing") return "missing";
  return "no port";
}

std::string HolderText(const PortRow& row) {
  if (row.kind == "missing" || row.kind == "none") return "-";
  if (!row.held) return "free";
  return row.holder_pid > 0 ? "held by process " + std::to_string(row.holder_pid) : "held";
}

}  // namespace

PortListing ListPorts(const io::DeviceRoot& root) {
  PortListing listing;
  const io::PortMap ports = io::PortMap::Load(root);
  const io::GpibBoardMap boards = io::GpibBoardMap::Load();
  for (int n = io::kFirstComPort; n <= io::kLastComPort; ++n) {
    PortRow row;
    row.name = "COM" + std::to_string(n);
    auto entry = ports.entries().find(n);
    if (entry == ports.entries().end()) {
      row.kind = io::SerialKindName(io::SerialKind::kUnassigned);
    } else {
      io::SerialDevice d = io::DescribeSerialDevice(entry->second.device, root);
      row.device = entry->second.device;
      row.kind = io::SerialKindName(d.kind);
      row.id = d.id;
      row.resolved = d.resolved;
      if (entry->second.pinned) row.origin = entry->second.origin;
      if (d.kind != io::SerialKind::kMissing) {
        io::PortHolder holder = io::ProbePortHolder(row.device);
        row.held = holder.held;
        row.holder_pid = holder.pid;
      }
    }
    listing.ports.push_back(std::move(row));
  }
  for (const auto& [number, board] : boards.Boards()) {
    // A gateway as the map names it: its port mapper's port only when not 111.
    std::string target = board.simulated ? "sim" : board.gateway_host;
    if (!board.simulated && board.gateway_port != io::kPortMapperPort) {
      if (target.find(':') != std::string::npos) target = "[" + target + "]";
      target += ":" + std::to_string(board.gateway_port);
    }
    listing.boards.push_back({"GPIB" + std::to_string(number), target, board.origin});
  }
  for (const auto& p : ports.problems()) listing.problems.push_back(p.ToString());
  for (const auto& p : boards.problems()) listing.problems.push_back(p.ToString());
  return listing;
}

void PrintPortListing(const PortListing& listing, std::ostream& out, bool json) {
  if (json) {
    nlohmann::json doc{{"ports", nlohmann::json::array()},
                       {"boards", nlohmann::json::array()},
                       {"problems", listing.problems}};
    for (const auto& p : listing.ports) {
      nlohmann::json row{{"name", p.name}, {"kind", p.kind}};
      row["device"] = p.device.empty() ? nlohmann::json() : nlohmann::json(p.device);
      if (!p.id.empty()) row["id"] = p.id;
      if (!p.resolved.empty()) row["resolved"] = p.resolved;
      row["source"] = p.device.empty() ? "none" : p.origin.empty() ? "found" : "port map";
      if (!p.origin.empty()) row["origin"] = p.origin;
      row["held"] = p.held;
      if (p.holder_pid > 0) row["holder_pid"] = p.holder_pid;
      doc["ports"].push_back(std::move(row));
    }
    for (const auto& b : listing.boards) {
      doc["boards"].push_back({{"name", b.name},
                               {"target", b.target},
                               {"kind", b.target == "sim" ? "simulated bus" : "VXI-11 gateway"},
                               {"origin", b.origin}});
    }
    out << doc.dump(2) << '\n';
    return;
  }
  for (const auto& p : listing.ports) {
    std::ostringstream line;
    line << std::left << std::setw(6) << p.name << std::setw(36)
         << (p.device.empty() ? "-" : p.device) << ' ' << std::setw(28) << Describe(p) << ' '
         << std::setw(22) << HolderText(p);
    if (!p.device.empty()) line << ' ' << (p.origin.empty() ? "found" : "port map, " + p.origin);
    std::string text = line.str();
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << '\n';
  }
  for (const auto& b : listing.boards) {
    std::ostringstream line;
    line << std::left << std::setw(6) << b.name << std::setw(36) << b.target << ' ' << std::setw(28)
         << (b.target == "sim" ? "simulated bus" : "VXI-11 gateway") << ' ' << std::setw(22) << "-"
         << ' ' << (b.origin == "default" ? "default" : "board map, " + b.origin);
    out << line.str() << '\n';
  }
  for (const auto& problem : listing.problems) out << "skipped: " << problem << '\n';
}

}  // namespace vex::scope
