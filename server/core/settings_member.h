// Steps shared by the instrument-setting members (acquisition to utilities).
// They run inside a member's body (CCoreVexR7100::RunMember): a transfer
// failure comes back as a status for the member to report with its own
// message, and a rule check that refuses the call throws Refusal with the
// status of its report.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core_member.h"
#include "mnemonic_table.h"

namespace vex::server::settings {

// The command the connected command set has, or a not-supported refusal.
inline std::string Require(CCoreVexR7100& core, std::optional<std::string> command) {
  if (!command) throw Refusal{core.NotSupported()};
  return std::move(*command);
}

// The word sent for `value`, or a refusal with `message` and `help_id`;
// nothing has been sent when it refuses.
inline std::string_view WordOrRefuse(CCoreVexR7100& core, const MnemonicTable& table,
                                     std::int32_t value, const char* message,
                                     std::uint32_t help_id) {
  auto word = table.WordOf(value);
  if (!word) throw Refusal{core.ReportErrorEx(message, com::E_FAIL, help_id)};
  return *word;
}

// The reply's value in `table`; a reply outside it is refused as not
// recognised.
inline std::int16_t ValueOrRefuse(CCoreVexR7100& core, const MnemonicTable& table,
                                  const Bstr& reply) {
  auto value = table.ValueOfReply(reply.View());
  if (!value) throw Refusal{core.ReportError(msg::kResponseNotRecognized, com::E_FAIL)};
  return *value;
}

// Sends `query` and maps the reply through `table`.
inline HRESULT QueryWord(CCoreVexR7100& core, std::string_view query, const MnemonicTable& table,
                         std::int16_t* value) {
  Bstr reply;
  HRESULT hr = core.QueryForBstrResult(query, &reply);
  if (FAILED(hr)) return hr;
  *value = ValueOrRefuse(core, table, reply);
  return com::S_OK;
}

// Sends `query` and reads the reply as on (-1) or off (0).
inline HRESULT QueryOnOff(CCoreVexR7100& core, std::string_view query, VARIANT_BOOL* state) {
  std::int16_t on = 0;
  HRESULT hr = QueryWord(core, query, OnOffTable(), &on);
  if (FAILED(hr)) return hr;
  *state = on == 1 ? com::VARIANT_TRUE : com::VARIANT_FALSE;
  return com::S_OK;
}

// Only -1 is true; every other value, 1 included, switches off.
inline std::string_view OnOffWord(VARIANT_BOOL state) {
  return state == com::VARIANT_TRUE ? "ON" : "OFF";
}

// The display state of analog channel `name` ("CHAN1" ...), as the
// channels' Enabled read gives it.
inline HRESULT QueryChannelShown(CCoreVexR7100& core, std::string_view name, VARIANT_BOOL* shown) {
  return QueryOnOff(core, std::string(name) + ":DISP?", shown);
}

}  // namespace vex::server::settings

namespace vex::server::settings {

// The size of a valid definite-length block (header and the data it
// announces); bytes after it are not part of the block.
inline std::size_t DefiniteBlockSize(const Variant& block) {
  auto bytes = block.Array()->Span<const std::uint8_t>();
  std::size_t digits = bytes[1] - '0';
  std::size_t length = 0;
  for (std::size_t i = 0; i < digits; ++i) length = length * 10 + (bytes[2 + i] - '0');
  return 2 + digits + length;
}

// Writes `text` immediately followed by the valid block `block` as one raw
// message: the header and exactly the data it announces, then the line feed
// that ends the message. Over a stream (a socket, a serial line) nothing
// else tells the instrument where the message ends, and an indefinite
// block ("#0") runs to it.
inline HRESULT WriteTextAndBlock(CCoreVexR7100& core, std::string_view text, const Variant& block) {
  auto bytes = block.Array()->Span<const std::uint8_t>();
  std::vector<std::uint8_t> message(text.begin(), text.end());
  message.insert(message.end(), bytes.begin(), bytes.begin() + DefiniteBlockSize(block));
  message.push_back('\n');
  io::IIO* io = core.IOObject();
  if (!io) return com::E_FAIL;
  return io->WriteBytes(static_cast<std::int32_t>(message.size()), SafeArray::FromBytes(message));
}

}  // namespace vex::server::settings
