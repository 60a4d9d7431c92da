#include "waveform_scaling.h"

#include <algorithm>
#include <limits>

namespace vex::server {

std::array<double, 256> VoltsTable(const WaveformScale& scale) {
  std::array<double, 256> table{};
  for (std::size_t code = 0; code < table.size(); ++code)
    table[code] = VoltsOfCode(scale, static_cast<std::uint8_t>(code));
  return table;
}

namespace {

// The loops below run with the widest vectors the processor has; the
// results are the same in every version (the file is compiled without
// contraction into fused multiply-adds, which the AVX-512 version could use).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VEX_WIDEST_VECTORS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VEX_WIDEST_VECTORS
#endif

// Times of points first .. first + out.size() - 1.
VEX_WIDEST_VECTORS void ScaleTimesFrom(std::int32_t x_reference, double x_increment,
                                       double x_origin, std::int64_t first_point,
                                       std::span<double> out) {
  const std::int64_t n = static_cast<std::int64_t>(out.size());
  const std::int64_t lowest = first_point - static_cast<std::int64_t>(x_reference);
  const std::int64_t highest = lowest + n - 1;
  if (lowest >= std::numeric_limits<std::int32_t>::min() &&
      highest <= std::numeric_limits<std::int32_t>::max()) {
    // Every i − x reference fits 32 bits: a conversion the compiler can
    // vectorise, with the same value as the 64-bit difference.
    double* dest = out.data();
    const std::int32_t first = static_cast<std::int32_t>(lowest);
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(n); ++i)
      dest[i] = static_cast<double>(first + i) * x_increment + x_origin;
    return;
  }
  for (std::int64_t i = 0; i < n; ++i)
    out[static_cast<std::size_t>(i)] =
        TimeOfPoint(x_reference, x_increment, x_origin, first_point + i);
}

void ScaleTimesFrom(const WaveformScale& s, std::int64_t first_point, std::span<double> out) {
  ScaleTimesFrom(s.x_reference, s.x_increment, s.x_origin, first_point, out);
}

// The formula itself, in 32 bits where the reference allows, so that the
// compiler converts several samples per instruction.
VEX_WIDEST_VECTORS void ScaleVoltsDirect(const WaveformScale& s,
                                         std::span<const std::uint8_t> samples,
                                         std::span<double> out) {
  const std::uint8_t* in = samples.data();
  double* dest = out.data();
  const std::size_t n = std::min(samples.size(), out.size());
  const std::int32_t reference = s.y_reference;
  const double increment = s.y_increment, origin = s.y_origin;
  if (reference >= std::numeric_limits<std::int32_t>::min() + 255) {
    for (std::size_t i = 0; i < n; ++i)
      dest[i] =
          static_cast<double>(reference - static_cast<std::int32_t>(in[i])) * increment - origin;
    return;
  }
  for (std::size_t i = 0; i < n; ++i) dest[i] = VoltsOfCode(s, in[i]);
}

// Both arrays in one pass, like a plain loop storing into the two: point
// first + i gets its time and the volts of its sample.
VEX_WIDEST_VECTORS void ScaleBoth(std::int32_t first, double x_increment, double x_origin,
                                  std::int32_t y_reference, double y_increment, double y_origin,
                                  const std::uint8_t* in, double* times, double* volts,
                                  std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i) {
    times[i] = static_cast<double>(first + i) * x_increment + x_origin;
    volts[i] = static_cast<double>(y_reference - static_cast<std::int32_t>(in[i])) * y_increment -
               y_origin;
  }
}

}  // namespace

void ScaleTimes(std::int32_t x_reference, double x_increment, double x_origin,
                std::span<double> out) {
  ScaleTimesFrom(x_reference, x_increment, x_origin, 0, out);
}

com::HRESULT ScaleWaveform(std::span<const std::uint8_t> samples, const WaveformScale& scale,
                           com::SafeArray* time, com::SafeArray* volts) {
  const auto n = static_cast<std::uint32_t>(samples.size());
  if (samples.size() > com::SafeArray::kMaxElements) return com::E_OUTOFMEMORY;
  com::SafeArray t, v;
  com::HRESULT hr = com::SafeArray::Create(com::VT_R8, {{n, 0}}, &t);
  if (com::SUCCEEDED(hr)) hr = com::SafeArray::Create(com::VT_R8, {{n, 0}}, &v);
  if (com::FAILED(hr)) return hr;
  auto times = t.Span<double>();
  auto values = v.Span<double>();
  // In one pass where every index and code difference fits 32 bits (the
  // conversions the processor does several at a time); otherwise in blocks
  // with the 64-bit forms.
  const std::int64_t lowest = -static_cast<std::int64_t>(scale.x_reference);
  const std::int64_t highest = lowest + static_cast<std::int64_t>(n) - 1;
  if (n <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) &&
      lowest >= std::numeric_limits<std::int32_t>::min() &&
      highest <= std::numeric_limits<std::int32_t>::max() &&
      scale.y_reference >= std::numeric_limits<std::int32_t>::min() + 255) {
    ScaleBoth(static_cast<std::int32_t>(lowest), scale.x_increment, scale.x_origin,
              scale.y_reference, scale.y_increment, scale.y_origin, samples.data(), times.data(),
              values.data(), static_cast<std::int32_t>(n));
  } else {
    constexpr std::size_t kBlock = 2048;
    for (std::size_t start = 0; start < n; start += kBlock) {
      const std::size_t count = std::min<std::size_t>(kBlock, n - start);
      ScaleTimesFrom(scale, static_cast<std::int64_t>(start), times.subspan(start, count));
      ScaleVoltsDirect(scale, samples.subspan(start, count), values.subspan(start, count));
    }
  }
  *time = std::move(t);
  *volts = std::move(v);
  return com::S_OK;
}

}  // namespace vex::server
