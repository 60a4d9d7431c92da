// Analog waveform transfers: one channel as time and volts arrays, and every
// enabled channel (with the logic channels) as one table.
#include <cmath>
#include <string>

#include "data_tables.h"
#include "data_transfers.h"

namespace vex::server {
namespace {

constexpr std::uint32_t kHelpGetWaveformData = 11;
constexpr std::uint32_t kHelpGetAllWaveformData = 72;
constexpr std::uint32_t kHelpNotRecognized = 88;
constexpr std::uint32_t kHelpNoAnalogData = 32;

[[noreturn]] void RefuseReply(CCoreVexR7100& core, std::uint32_t help_id) {
  throw Refusal{core.ReportErrorEx(msg::kResponseNotRecognized, com::E_FAIL, help_id)};
}

// A reply field that the I/O component read as a number.
const Variant* NumberAt(const std::vector<Variant>& reply, std::size_t position) {
  if (position >= reply.size() || reply[position].vt() != com::VT_R8) return nullptr;
  return &reply[position];
}

}  // namespace

HRESULT ReadReply(CCoreVexR7100& core, std::int16_t format_code, bool binary, Variant* value) {
  io::IIO* io = core.IOObject();
  if (!io) return com::E_FAIL;
  struct TermCharScope {
    io::IIO* io;
    bool active = false;
    std::int16_t saved = 10;
    ~TermCharScope() {
      if (active) (void)io->put_TermChar(saved);
    }
  } term{io};
  if (binary && core.Model().IsSerial()) {
    (void)io->get_TermChar(&term.saved);
    (void)io->put_TermChar(-1);
    term.active = true;
  }
  com::ComPtr<io::IIOResponse> response;
  com::ComPtr<io::IIOResponseValues> values;
  HRESULT hr = io->Read(response.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = response->get_Values(values.ReleaseAndGetAddressOf());
  if (SUCCEEDED(hr)) hr = values->put_Format(format_code);
  if (SUCCEEDED(hr)) hr = values->get_Value(value);
  return hr;
}

HRESULT QueryList(CCoreVexR7100& core, std::string_view query, std::vector<Variant>* items) {
  HRESULT hr = core.SendWithNoArg(query);
  if (FAILED(hr)) return hr;
  Variant list;
  hr = ReadReply(core, io::kFormatNumbers, false, &list);
  if (FAILED(hr)) return hr;
  items->clear();
  if (const SafeArray* array = list.Array(); array && array->ElementType() == com::VT_VARIANT) {
    auto cells = array->Span<const Variant>();
    items->assign(cells.begin(), cells.end());
  } else {
    items->push_back(list.Dereferenced());
  }
  return com::S_OK;
}

std::int32_t PointCountOf(CCoreVexR7100& core, const std::vector<Variant>& reply,
                          std::uint32_t help_id) {
  const Variant* field = NumberAt(reply, reply.size() < 2 ? 0 : 1);
  double count = field ? field->R8() : -1;
  if (!(count >= 0 && count <= std::numeric_limits<std::int32_t>::max()) ||
      count != std::floor(count))
    RefuseReply(core, help_id);
  return static_cast<std::int32_t>(count);
}

double RealField(CCoreVexR7100& core, const std::vector<Variant>& reply, std::size_t position,
                 std::uint32_t help_id) {
  const Variant* field = NumberAt(reply, position);
  if (!field || !std::isfinite(field->R8())) RefuseReply(core, help_id);
  return field->R8();
}

std::int32_t IntegerField(CCoreVexR7100& core, const std::vector<Variant>& reply,
                          std::size_t position, std::uint32_t help_id) {
  const Variant* field = NumberAt(reply, position);
  std::int32_t value = 0;
  if (!field || FAILED(field->ToI4(&value))) RefuseReply(core, help_id);
  return value;
}

std::span<const std::uint8_t> BlockBytes(CCoreVexR7100& core, const Variant& block,
                                         std::int32_t count) {
  const SafeArray* array = block.Array();
  if (block.vt() != (com::VT_ARRAY | com::VT_UI1) || !array || array->Dims() != 1 ||
      array->ElementCount() < static_cast<std::size_t>(count))
    throw Refusal{core.ReportError(msg::kCorruptBlock, com::E_FAIL)};
  return array->Span<const std::uint8_t>();
}

std::span<const std::uint8_t> AnalogRecord::Samples() const {
  const SafeArray* array = samples.Array();
  return array ? array->Span<const std::uint8_t>().first(static_cast<std::size_t>(points))
               : std::span<const std::uint8_t>();
}

HRESULT ReadAnalogRecord(CCoreVexR7100& core, VexR7100_AnalogChannels channel,
                         AnalogRecord* record) {
  core.ExtendTimeoutIfSerial(5000);
  HRESULT hr = core.SendWithNoArg(":WAVeform:FORMat BYTE");
  if (FAILED(hr)) return hr;
  auto source = AnalogChannelTable().WordOf(channel);
  if (!source)
    throw Refusal{core.ReportErrorEx(msg::kNotRecognized, com::E_FAIL, kHelpNotRecognized)};
  hr = core.SendWithVariantArg(":WAV:SOUR ", Variant(*source));
  if (FAILED(hr)) return hr;

  std::vector<Variant> reply;
  hr = QueryList(core, ":WAV:POIN?", &reply);
  if (FAILED(hr)) return hr;
  const std::int32_t points = PointCountOf(core, reply, kHelpGetWaveformData);
  if (points == 0)
    throw Refusal{core.ReportErrorEx(msg::kNoAnalogData, com::E_UNEXPECTED, kHelpNoAnalogData)};

  hr = QueryList(core, ":WAV:PRE?", &reply);
  if (FAILED(hr)) return hr;
  WaveformScale scale;
  scale.x_increment = RealField(core, reply, 4, kHelpGetWaveformData);
  scale.x_origin = RealField(core, reply, 5, kHelpGetWaveformData);
  scale.x_reference = IntegerField(core, reply, 6, kHelpGetWaveformData);
  scale.y_increment = RealField(core, reply, 7, kHelpGetWaveformData);
  scale.y_origin = RealField(core, reply, 8, kHelpGetWaveformData);
  scale.y_reference = IntegerField(core, reply, 9, kHelpGetWaveformData);

  Variant block;
  hr = core.ReadBlock(":WAV:DATA?", io::kFormatBlockData, &block);
  if (FAILED(hr)) return hr;
  (void)BlockBytes(core, block, points);  // the count must not outrun the block
  record->samples = std::move(block);
  record->points = points;
  record->scale = scale;
  return com::S_OK;
}

HRESULT CCoreVexR7100::GetWaveformData(VexR7100_AnalogChannels channel, VexR7100_WaveformPoints,
                                       Variant* time, Variant* data) {
  if (!time || !data) return com::E_POINTER;
  return RunMember(msg::kGetWaveformDataFailed, kHelpGetWaveformData, [&]() -> HRESULT {
    AnalogRecord record;
    HRESULT hr = ReadAnalogRecord(*this, channel, &record);
    if (FAILED(hr)) return hr;
    SafeArray times, volts;
    hr = ScaleWaveform(record.Samples(), record.scale, &times, &volts);
    if (FAILED(hr)) return hr;
    *time = Variant(std::move(times));
    *data = Variant(std::move(volts));
    return com::S_OK;
  });
}

namespace {

// The model whose logic record, when as long as the analog record and longer
// than 500 points, does not belong in the table.
constexpr std::string_view kModelWithoutMixedTable = "R7175D";

// Cells of the table, first index (row) fastest.
class TableCells {
 public:
  TableCells(std::span<Variant> cells, std::size_t rows) : cells_(cells), rows_(rows) {}
  Variant& operator()(std::size_t row, std::size_t column) { return cells_[column * rows_ + row]; }

 private:
  std::span<Variant> cells_;
  std::size_t rows_;
};

}  // namespace

HRESULT CCoreVexR7100::GetAllWaveformData(VexR7100_WaveformPoints points, SafeArray* data) {
  if (!data) return com::E_POINTER;
  return RunComposite(
      *this, msg::kGetAllWaveformDataFailed, kHelpGetAllWaveformData, [&]() -> HRESULT {
        // Which analog channels show.
        std::vector<int> channels;
        for (int i = 1; i <= model_.AnalogChannels(); ++i) {
          auto name = ChannelName(i);
          if (!name) break;
          Bstr reply;
          HRESULT hr = QueryForBstrResult(std::string(*name) + ":DISP?", &reply);
          if (FAILED(hr)) return hr;
          auto on = OnOffTable().ValueOfReply(reply.View());
          if (!on)
            throw Refusal{
                ReportErrorEx(msg::kResponseNotRecognized, com::E_FAIL, kHelpGetAllWaveformData)};
          if (*on == 1) channels.push_back(i);
        }
        bool logic = model_.Entry().logic_channels == 16;
        if (logic && range_checking_) {
          std::int16_t mask = 0;
          HRESULT hr = get_EnableStatus(&mask);
          if (FAILED(hr)) return hr;
          logic = mask != 0;
        }
        if (channels.empty() && !logic)
          throw Refusal{ReportError(msg::kNoChannelsEnabled, com::E_UNEXPECTED)};

        // The records, each read as its own member would read it.
        std::vector<AnalogRecord> analog(channels.size());
        for (std::size_t c = 0; c < channels.size(); ++c) {
          HRESULT hr = RunMember(msg::kGetWaveformDataFailed, kHelpGetWaveformData, [&] {
            return ReadAnalogRecord(*this, static_cast<VexR7100_AnalogChannels>(channels[c]),
                                    &analog[c]);
          });
          if (FAILED(hr)) return hr;
        }
        LogicRecord digital;
        if (logic) {
          HRESULT hr = RunMember(msg::kGetLogicDataFailed, 9,
                                 [&] { return ReadLogicRecord(*this, points, &digital); });
          if (FAILED(hr)) {
            // No logic data, or a point count the logic channels cannot give,
            // leaves the analog columns.
            if (!IsCurrentError(msg::kNoLogicData, com::E_UNEXPECTED, hr) &&
                !IsCurrentError(msg::kIllegalPoints, com::E_FAIL, hr))
              return hr;
            com::SetErrorInfo(0, nullptr);
            logic = false;
            digital = LogicRecord{};
          }
        }

        // The time column is the last analog channel's, or the logic record's.
        const std::size_t na = analog.empty() ? 0 : static_cast<std::size_t>(analog.back().points);
        const std::size_t nl = logic ? static_cast<std::size_t>(digital.points) : 0;
        if (na == 0 && nl == 0) throw Refusal{ReportError(msg::kNoDataObtained, com::E_UNEXPECTED)};
        if (na != 0 && nl == na && nl > 500 && model_.Entry().name == kModelWithoutMixedTable) {
          logic = false;
        }
        const std::size_t n = na != 0 ? na : nl;
        std::vector<int> bits;
        if (logic) {
          for (int b = 0; b < 16; ++b)
            if (digital.mask & (1u << b)) bits.push_back(b);
        }

        const std::size_t rows = n + 1;
        const std::size_t columns = 1 + analog.size() + bits.size();
        if (rows > com::SafeArray::kMaxElements) return com::E_FAIL;
        SafeArray table;
        if (FAILED(SafeArray::Create(
                com::VT_VARIANT,
                {{static_cast<std::uint32_t>(rows), 0}, {static_cast<std::uint32_t>(columns), 0}},
                &table)))
          return com::E_FAIL;
        TableCells cell(table.Span<Variant>(), rows);

        cell(0, 0) = Variant("Time");
        for (std::size_t c = 0; c < channels.size(); ++c)
          cell(0, 1 + c) = Variant(*ChannelName(channels[c]));
        for (std::size_t k = 0; k < bits.size(); ++k)
          cell(0, 1 + analog.size() + k) = Variant("Dig" + std::to_string(bits[k]));

        if (na != 0) {
          const WaveformScale& s = analog.back().scale;
          for (std::size_t i = 0; i < n; ++i)
            cell(i + 1, 0) = Variant(TimeOfPoint(s.x_reference, s.x_increment, s.x_origin,
                                                 static_cast<std::int64_t>(i)));
        } else {
          for (std::size_t i = 0; i < n; ++i)
            cell(i + 1, 0) = Variant(TimeOfPoint(digital.x_reference, digital.x_increment,
                                                 digital.x_origin, static_cast<std::int64_t>(i)));
        }
        // A record shorter than the time column leaves its later cells empty.
        for (std::size_t c = 0; c < analog.size(); ++c) {
          const auto volts = VoltsTable(analog[c].scale);
          const auto samples = analog[c].Samples();
          const std::size_t count = std::min(n, samples.size());
          for (std::size_t i = 0; i < count; ++i) cell(i + 1, 1 + c) = Variant(volts[samples[i]]);
        }
        const std::size_t logic_rows = std::min(n, nl);
        for (std::size_t k = 0; k < bits.size(); ++k) {
          const std::size_t column = 1 + analog.size() + k;
          for (std::size_t i = 0; i < logic_rows; ++i)
            cell(i + 1, column) =
                Variant(static_cast<std::int16_t>((digital.Sample(i) >> bits[k]) & 1));
        }
        *data = std::move(table);
        return com::S_OK;
      });
}

}  // namespace vex::server
