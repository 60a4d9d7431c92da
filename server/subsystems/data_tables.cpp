#include "data_tables.h"

#include <algorithm>
#include <array>
#include <string>

#include "vex/imaging/save.h"
#include "vex/server/vexr7100.h"

namespace vex::server {

const MnemonicTable& AnalogChannelTable() {
  static const MnemonicTable table{{"CHAN1", 1}, {"CHAN2", 2}, {"CHAN3", 3},
                                   {"CHAN4", 4}, {"ANAL1", 1}, {"ANAL2", 2}};
  return table;
}

const MnemonicTable& LogicBitTable() {
  static const MnemonicTable table{
      {"DIG0", 0},     {"DIG1", 1},     {"DIG2", 2},     {"DIG3", 3},     {"DIG4", 4},
      {"DIG5", 5},     {"DIG6", 6},     {"DIG7", 7},     {"DIG8", 8},     {"DIG9", 9},
      {"DIG10", 10},   {"DIG11", 11},   {"DIG12", 12},   {"DIG13", 13},   {"DIG14", 14},
      {"DIG15", 15},   {"LCHAN0", 0},   {"LCHAN1", 1},   {"LCHAN2", 2},   {"LCHAN3", 3},
      {"LCHAN4", 4},   {"LCHAN5", 5},   {"LCHAN6", 6},   {"LCHAN7", 7},   {"LCHAN8", 8},
      {"LCHAN9", 9},   {"LCHAN10", 10}, {"LCHAN11", 11}, {"LCHAN12", 12}, {"LCHAN13", 13},
      {"LCHAN14", 14}, {"LCHAN15", 15}};
  return table;
}

const MnemonicTable& LogicPodTable() {
  static const MnemonicTable table{{"POD1", 1},      {"POD2", 2}, {"LCHAN0_7", 1},
                                   {"LCHAN8_15", 2}, {"POD1", 1}, {"POD2", 2}};
  return table;
}

const MnemonicTable& WaveformPointsTable() {
  static const MnemonicTable table{
      {"100", 100},   {"200", -1},    {"250", 250}, {"400", -1},  {"500", 500},   {"800", -1},
      {"1000", 1000}, {"2000", 2000}, {"2500", -1}, {"4000", 0},  {"5000", 0},    {"8000", 0},
      {"ALL", 0},     {"128", 100},   {"256", 250}, {"512", 500}, {"1024", 1000}, {"2048", 2000},
      {"8192", 0},    {"1000", 0},    {"2000", 0},  {"2048", 0}};
  return table;
}

const MnemonicTable& ScreenQueryTable() {
  static const MnemonicTable table{
      {"BMP,SCR", 0}, {"BMP,SCR", 2}, {"BMP,SCR", 3},        {"BMP,SCR", 4},
      {"BMP,SCR", 6}, {"BMP,SCR", 7}, {"BMP,SCR,GRAY", 100}, {"PCLC", -1},
      {"BMP,SCR", 0}, {"BMP,SCR", 1}, {"BMP,SCR", 2},        {"BMP,SCR", 3},
      {"BMP,SCR", 4}, {"BMP,SCR", 6}, {"BMP,SCR", 7},        {"PCL", 0}};
  return table;
}

std::optional<SaveParameters> SaveParametersOf(int image_format) {
  using namespace vex::imaging;
  switch (image_format) {
    case VexR7100_ImageFormat_BMP:
    case VexR7100_ImageFormat_HiResBMP:
      return SaveParameters{kFormatBmp, 8, kDefaultQualityFactor};
    case VexR7100_ImageFormat_GIF:
      return SaveParameters{kFormatGif, 8, kDefaultQualityFactor};
    case VexR7100_ImageFormat_WMF:
      return SaveParameters{kFormatWmf, 8, kDefaultQualityFactor};
    case VexR7100_ImageFormat_EMF:
      return SaveParameters{kFormatEmf, 8, kDefaultQualityFactor};
    case VexR7100_ImageFormat_TIF:
      return SaveParameters{kFormatTif, 8, kDefaultQualityFactor};
    case VexR7100_ImageFormat_JPG:
      // The quality factor is on the imaging component's scale (2 best, 255 smallest).
      return SaveParameters{kFormatJpeg, 24, 30};
    default:
      return std::nullopt;
  }
}

int ImageFormatOfFileName(std::string_view file_name) {
  struct Suffix {
    std::string_view text;
    int format;
  };
  static constexpr std::array<Suffix, 6> kSuffixes{{{".bmp", VexR7100_ImageFormat_BMP},
                                                    {".wmf", VexR7100_ImageFormat_WMF},
                                                    {".gif", VexR7100_ImageFormat_GIF},
                                                    {".tif", VexR7100_ImageFormat_TIF},
                                                    {".jpg", VexR7100_ImageFormat_JPG},
                                                    {".emf", VexR7100_ImageFormat_EMF}}};
  // The suffix begins at the last dot of the last path component.
  std::size_t slash = file_name.find_last_of('/');
  std::string_view base = slash == std::string_view::npos ? file_name : file_name.substr(slash + 1);
  std::size_t dot = base.find_last_of('.');
  if (dot == std::string_view::npos) return VexR7100_ImageFormat_BMP;
  std::string suffix(base.substr(dot));
  // ASCII only: the locale's case rules must not touch the bytes of UTF-8 names.
  std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  for (const auto& s : kSuffixes) {
    if (s.text == suffix) return s.format;
  }
  return VexR7100_ImageFormat_BMP;
}

}  // namespace vex::server
