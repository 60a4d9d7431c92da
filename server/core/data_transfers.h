// The data transfers of the core object: analog waveform records, logic
// records and screen images. Members of the core object are built from these
// steps; GetAllWaveformData combines the per-channel and logic reads.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core_member.h"
#include "waveform_scaling.h"

namespace vex::server {

// Reads one reply in the reply format `format_code`. Binary replies on a
// serial line are read with the termination character off, and it is put
// back however the read ends.
HRESULT ReadReply(CCoreVexR7100& core, std::int16_t format_code, bool binary, Variant* value);
// Sends `query` and reads its reply as a comma-separated list.
HRESULT QueryList(CCoreVexR7100& core, std::string_view query, std::vector<Variant>* items);

// Reply fields. A reply that does not hold what is asked for is refused with
// the not-recognised report (help id of the member), so no garbage or
// negative number goes on into a transfer.
// The point count of a ":WAV:POIN?" reply: element 0, or element 1 when the
// reply has a mode keyword before it.
std::int32_t PointCountOf(CCoreVexR7100& core, const std::vector<Variant>& reply,
                          std::uint32_t help_id);
// Element `position` of a preamble as a finite real or a 32-bit integer.
double RealField(CCoreVexR7100& core, const std::vector<Variant>& reply, std::size_t position,
                 std::uint32_t help_id);
std::int32_t IntegerField(CCoreVexR7100& core, const std::vector<Variant>& reply,
                          std::size_t position, std::uint32_t help_id);
// The byte data of a block read with the data formats; refused as a corrupt
// block when it holds fewer than `count` bytes.
std::span<const std::uint8_t> BlockBytes(CCoreVexR7100& core, const Variant& block,
                                         std::int32_t count);

// The pattern of members made of other members: connected check, the body,
// and on failure a report of `failure_message` with the cause. The members
// inside check device errors themselves, so none follows here.
template <class Body>
HRESULT RunComposite(CCoreVexR7100& core, std::string_view failure_message, std::uint32_t help_id,
                     Body&& body) {
  if (!core.Connected()) return core.NotConnected();
  struct Restore {
    CCoreVexR7100& core;
    ~Restore() { core.RestoreTransferState(); }
  } restore{core};
  HRESULT hr = com::S_OK;
  try {
    hr = body();
  } catch (const Refusal& refusal) {
    return refusal.status;
  } catch (const std::bad_alloc&) {
    hr = com::E_OUTOFMEMORY;
  } catch (...) {
    hr = com::E_FAIL;
  }
  if (FAILED(hr)) return core.ReportExceptionEx(failure_message, hr, help_id);
  return hr;
}

// One analog channel's record as read: the raw samples (a byte array, at
// least `points` long) and the preamble that scales them.
struct AnalogRecord {
  Variant samples;
  std::int32_t points = 0;
  WaveformScale scale;
  std::span<const std::uint8_t> Samples() const;
};

// The transfers of GetWaveformData up to the scaling; throws Refusal for the
// rule checks, returns a failing status for a failing transfer.
HRESULT ReadAnalogRecord(CCoreVexR7100& core, VexR7100_AnalogChannels channel,
                         AnalogRecord* record);

// The logic channels' record as read: the bytes of each pod that was read
// (pod 1 is D0 to D7, pod 2 D8 to D15), the point count and the time scale.
struct LogicRecord {
  LogicRecord() = default;
  // Moves keep the views valid (the pods' arrays stay where they are).
  LogicRecord(LogicRecord&&) = default;
  LogicRecord& operator=(LogicRecord&&) = default;
  LogicRecord(const LogicRecord&) = delete;
  LogicRecord& operator=(const LogicRecord&) = delete;

  std::uint16_t mask = 0;  // the enable mask the read used
  std::int32_t points = 0;
  Variant pod1, pod2;  // empty when the pod was not read or had no points
  double x_increment = 0, x_origin = 0;
  std::int32_t x_reference = 0;

  // The masked 16-bit state of point i (i < points).
  std::uint16_t Sample(std::size_t i) const {
    unsigned low = low_.empty() ? 0u : low_[i];
    unsigned high = high_.empty() ? 0u : high_[i];
    return static_cast<std::uint16_t>(((high << 8) | low) & mask);
  }
  void Bind();  // points the sample views at the pods' bytes

 private:
  std::span<const std::uint8_t> low_, high_;
};

// The transfers of GetLogicData, as ReadAnalogRecord.
HRESULT ReadLogicRecord(CCoreVexR7100& core, VexR7100_WaveformPoints points, LogicRecord* record);

// The core's logic read with the enable mask it used as a fourth output.
HRESULT GetLogicData(CCoreVexR7100& core, VexR7100_WaveformPoints points, Variant* time,
                     Variant* data, std::uint16_t* mask);

// The raw screen image: a BMP file image as a byte array, fetched as BMP from
// instruments of command set 4 and decoded from a PCL dump from the others.
HRESULT QueryScreenImage(CCoreVexR7100& core, VexR7100_ImageFormat format, Variant* image);

}  // namespace vex::server
