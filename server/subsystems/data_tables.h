// The keyword tables of the data transfers (waveforms, logic channels and
// screen images) and the file formats a screen image can be saved in.
#pragma once

#include <optional>
#include <string_view>

#include "mnemonic_table.h"

namespace vex::server {

// Analog sources: a code is sent as its CHAN word; the ANAL words are only
// recognised in replies.
const MnemonicTable& AnalogChannelTable();
// DIG0 to DIG15, then the LCHAN names some instruments report.
const MnemonicTable& LogicBitTable();
const MnemonicTable& LogicPodTable();
// Point counts an instrument reports, with the enumeration value each stands
// for (-1 for counts the enumeration lacks).
const MnemonicTable& WaveformPointsTable();
// The argument of the screen query by image format; format 5 (EMF) has none.
const MnemonicTable& ScreenQueryTable();

// How a bitmap is written for an image format, in the imaging component's
// terms.
struct SaveParameters {
  int file_format;
  int bits_per_pixel;
  int quality_factor;
};
std::optional<SaveParameters> SaveParametersOf(int image_format);

// The image format a file name's suffix asks for (compared in lower case);
// BMP for any suffix not in the table, and for none.
int ImageFormatOfFileName(std::string_view file_name);

}  // namespace vex::server
