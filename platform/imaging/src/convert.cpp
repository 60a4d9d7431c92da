#include "vex/imaging/convert.h"

#include <array>
#include <new>
#include <unordered_map>
#include <utility>

#include "vex/imaging/status.h"

namespace vex::imaging {
namespace {

std::uint32_t Pack(Color c) {
  return (static_cast<std::uint32_t>(c.red) << 16) | (static_cast<std::uint32_t>(c.green) << 8) |
         c.blue;
}

constexpr std::array<Color, 16> kVgaPalette = {{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

int SquaredDistance(Color a, Color b) {
  const int dr = a.red - b.red;
  const int dg = a.green - b.green;
  const int db = a.blue - b.blue;
  return dr * dr + dg * dg + db * db;
}

unsigned NearestVga(Color c) {
  unsigned best = 0;
  for (unsigned i = 1; i < kVgaPalette.size(); ++i) {
    if (SquaredDistance(c, kVgaPalette[i]) < SquaredDistance(c, kVgaPalette[best])) best = i;
  }
  return best;
}

unsigned CubeLevel(std::uint8_t value) {
  return (static_cast<unsigned>(value) * 5 + 127) / 255;
}

unsigned CubeIndex(Color c) {
  return CubeLevel(c.red) * 36 + CubeLevel(c.green) * 6 + CubeLevel(c.blue);
}

std::vector<Color> CubePalette() {
  std::vector<Color> palette;
  for (unsigned r = 0; r < 6; ++r) {
    for (unsigned g = 0; g < 6; ++g) {
      for (unsigned b = 0; b < 6; ++b) {
        palette.push_back(Color{static_cast<std::uint8_t>(r * 51),
                                static_cast<std::uint8_t>(g * 51),
                                static_cast<std::uint8_t>(b * 51)});
      }
    }
  }
  return palette;
}

bool IsWhite(Color c) {
  // Rec. 601 luma in integers.
  return (299 * c.red + 587 * c.green + 114 * c.blue) / 1000 >= 128;
}

// Colours in order of first appearance, or false when there are more than
// `limit`.
bool CollectColors(const Bitmap& in, std::size_t limit, std::vector<Color>* colors,
                   std::unordered_map<std::uint32_t, unsigned>* index_of) {
  for (int y = 0; y < in.height(); ++y) {
    for (int x = 0; x < in.width(); ++x) {
      const Color c = in.PixelColor(x, y);
      if (index_of->emplace(Pack(c), static_cast<unsigned>(colors->size())).second) {
        if (colors->size() == limit) return false;
        colors->push_back(c);
      }
    }
  }
  return true;
}

int ToIndexed(const Bitmap& in, int bits, Bitmap* result) {
  const std::size_t limit = std::size_t{1} << bits;
  if (in.indexed() && in.palette().size() <= limit) {
    // The palette fits: keep it and every index as it is.
    (void)result->SetPalette(in.palette());
    for (int y = 0; y < in.height(); ++y) {
      for (int x = 0; x < in.width(); ++x) result->SetIndex(x, y, in.Index(x, y));
    }
    return SUCCESS;
  }
  std::vector<Color> colors;
  std::unordered_map<std::uint32_t, unsigned> index_of;
  if (CollectColors(in, limit, &colors, &index_of)) {
    (void)result->SetPalette(std::move(colors));
    for (int y = 0; y < in.height(); ++y) {
      for (int x = 0; x < in.width(); ++x)
        result->SetIndex(x, y, index_of[Pack(in.PixelColor(x, y))]);
    }
    return SUCCESS;
  }
  if (bits == 8) {
    (void)result->SetPalette(CubePalette());
  } else if (bits == 4) {
    (void)result->SetPalette(std::vector<Color>(kVgaPalette.begin(), kVgaPalette.end()));
  } else {
    (void)result->SetPalette({Color{0, 0, 0}, Color{255, 255, 255}});
  }
  for (int y = 0; y < in.height(); ++y) {
    for (int x = 0; x < in.width(); ++x) {
      const Color c = in.PixelColor(x, y);
      const unsigned index = bits == 8   ? CubeIndex(c)
                             : bits == 4 ? NearestVga(c)
                                         : (IsWhite(c) ? 1 : 0);
      result->SetIndex(x, y, index);
    }
  }
  return SUCCESS;
}

}  // namespace

int ConvertBitsPerPixel(const Bitmap& in, int bits_per_pixel, Bitmap* out) {
  if (out == nullptr) return ERROR_INV_PARAMETER;
  if (in.empty()) return ERROR_NO_BITMAP;
  if (!IsSupportedBitsPerPixel(bits_per_pixel)) return ERROR_BITPERPIXEL;
  try {
    if (bits_per_pixel == in.bits_per_pixel()) {
      *out = in;
      return SUCCESS;
    }
    Bitmap result;
    if (const int status = Bitmap::Create(in.width(), in.height(), bits_per_pixel, &result);
        status != SUCCESS) {
      return status;
    }
    if (bits_per_pixel <= 8) {
      if (const int status = ToIndexed(in, bits_per_pixel, &result); status != SUCCESS) {
        return status;
      }
    } else {
      for (int y = 0; y < in.height(); ++y) {
        for (int x = 0; x < in.width(); ++x) result.SetPixelColor(x, y, in.PixelColor(x, y));
      }
    }
    *out = std::move(result);
  } catch (const std::bad_alloc&) {
    return ERROR_NO_MEMORY;
  }
  return SUCCESS;
}

}  // namespace vex::imaging
