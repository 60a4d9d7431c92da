#include "command_table.h"

#include <array>

namespace vex::server {
namespace {

// One list of command strings; the table holds indexes into it (0: none).
constexpr std::array<std::string_view, 56> kStrings{
    "",  // 0: no command
    ":CHANx:RANG ",
    ":ANALx:RANG ",
    ":CHANx:OFFS ",
    ":ANALx:OFFS ",
    ":CHANx:PMOD ",
    ":ANALx:PMOD ",
    ":CHANx:PROB ",
    ":ANALx:PROB ",
    ":CHANx:PROB:EC ",
    ":ANALx:COUP ",
    ":CHANx:BWL ",
    ":ANALx:BWL ",
    ":MEAS:FREQ ",
    ":MEAS:PER ",
    ":MEAS:PWID ",
    ":MEAS:NWID ",
    ":MEAS:RIS ",
    ":MEAS:FALL ",
    ":MEAS:DUTY ",
    ":MEAS:VRMS ",
    ":MEAS:VMAX ",
    ":MEAS:VMIN ",
    ":MEAS:VAV ",
    ":MEAS:VPP ",
    "",  // 25: the empty template of id 18
    ":TIM:RANG ",
    ":TIM:WIND:DEL ",
    ":TIM:REF ",
    ":TRIG:SOUR ",
    ":TRIG:EDGE:SOUR ",
    ":TRIG:SLOP ",
    ":TRIG:EDGE:SLOP ",
    ":TRIG:LEV ",
    ":TRIG:EDGE:LEV ",
    ":ACQ:POIN ",
    ":WAV:POIN NORM,",
    ":TRIG:MODE SING;:AST",
    ":SING",
    ":RUNS",
    ":DITH ",
    ":ACQ:DITH ",
    ":TRIG:HOLD ",
    ":CHANx:INP ",
    ":MEAS:VAMP ",
    ":MEAS:PRES ",
    ":MEAS:OVER ",
    ":SYST:LOCK ",
    ":DISP:TEXT BLAN",
    ":DISP:TEXT BLAN;INV ON;ROW 18;COL 6;LINE ",
    ":TRIG:COUP ",
    ":TRIG:EDGE:COUP ",
    ":TRIG:MODE ",
    ":TRIG:MODE AUTO;:RUN",
    ":PRIN ",
    ":DISP:DATA ",
};

enum S : std::uint8_t {
  NONE = 0,
  CH_RANG,
  AN_RANG,
  CH_OFFS,
  AN_OFFS,
  CH_PMOD,
  AN_PMOD,
  CH_PROB,
  AN_PROB,
  CH_EC,
  AN_COUP,
  CH_BWL,
  AN_BWL,
  M_FREQ,
  M_PER,
  M_PWID,
  M_NWID,
  M_RIS,
  M_FALL,
  M_DUTY,
  M_VRMS,
  M_VMAX,
  M_VMIN,
  M_VAV,
  M_VPP,
  EMPTY,
  T_RANG,
  T_WDEL,
  T_REF,
  TR_SOUR,
  TR_ESOUR,
  TR_SLOP,
  TR_ESLOP,
  TR_LEV,
  TR_ELEV,
  A_POIN,
  W_POIN,
  SING_AST,
  SING,
  RUNS,
  DITH,
  A_DITH,
  TR_HOLD,
  CH_INP,
  M_VAMP,
  M_PRES,
  M_OVER,
  LOCK,
  TXT_BLAN,
  TXT_LINE,
  TR_COUP,
  TR_ECOUP,
  TR_MODE,
  RUN,
  PRIN,
  DISP_DATA,
};

constexpr std::array<std::array<std::uint8_t, kCommandSetCount>, kCommandCount> kTable{{
    {CH_RANG, AN_RANG, NONE, CH_RANG, CH_RANG},      // 0 channel range
    {CH_OFFS, AN_OFFS, NONE, CH_OFFS, CH_OFFS},      // 1 channel offset
    {CH_PMOD, AN_PMOD, NONE, NONE, CH_PMOD},         // 2 probe sense mode
    {CH_PROB, AN_PROB, NONE, CH_PROB, CH_PROB},      // 3 probe attenuation
    {CH_EC, AN_COUP, NONE, CH_EC, CH_EC},            // 4 input coupling
    {CH_BWL, AN_BWL, NONE, CH_BWL, CH_BWL},          // 5 bandwidth limit
    {M_FREQ, M_FREQ, M_FREQ, M_FREQ, M_FREQ},        // 6 frequency
    {M_PER, M_PER, M_PER, M_PER, M_PER},             // 7 period
    {M_PWID, M_PWID, M_PWID, M_PWID, M_PWID},        // 8 positive width
    {M_NWID, M_NWID, M_NWID, M_NWID, M_NWID},        // 9 negative width
    {M_RIS, M_RIS, NONE, M_RIS, M_RIS},              // 10 rise time
    {M_FALL, M_FALL, NONE, M_FALL, M_FALL},          // 11 fall time
    {M_DUTY, M_DUTY, M_DUTY, M_DUTY, M_DUTY},        // 12 duty cycle
    {M_VRMS, M_VRMS, NONE, M_VRMS, M_VRMS},          // 13 RMS voltage
    {M_VMAX, M_VMAX, NONE, M_VMAX, M_VMAX},          // 14 maximum voltage
    {M_VMIN, M_VMIN, NONE, M_VMIN, M_VMIN},          // 15 minimum voltage
    {M_VAV, M_VAV, NONE, M_VAV, M_VAV},              // 16 average voltage
    {M_VPP, M_VPP, NONE, M_VPP, M_VPP},              // 17 peak-to-peak voltage
    {EMPTY, EMPTY, EMPTY, EMPTY, EMPTY},             // 18 (empty)
    {T_RANG, T_RANG, T_RANG, T_RANG, T_RANG},        // 19 timebase range
    {T_WDEL, T_WDEL, T_WDEL, T_WDEL, T_WDEL},        // 20 window delay
    {T_REF, T_REF, T_REF, T_REF, T_REF},             // 21 timebase reference
    {TR_SOUR, TR_ESOUR, NONE, TR_SOUR, TR_ESOUR},    // 22 trigger source
    {TR_SLOP, TR_ESLOP, NONE, TR_SLOP, TR_ESLOP},    // 23 trigger slope
    {TR_LEV, TR_ELEV, NONE, TR_LEV, TR_LEV},         // 24 trigger level
    {A_POIN, W_POIN, A_POIN, A_POIN, A_POIN},        // 25 acquisition points
    {SING_AST, SING, RUNS, SING_AST, SING},          // 26 single acquisition
    {DITH, A_DITH, NONE, DITH, NONE},                // 27 dither
    {TR_HOLD, TR_HOLD, NONE, TR_HOLD, TR_HOLD},      // 28 trigger holdoff
    {NONE, NONE, NONE, CH_INP, CH_INP},              // 29 input impedance
    {M_VAMP, M_VAMP, NONE, M_VAMP, M_VAMP},          // 30 amplitude
    {M_PRES, M_PRES, NONE, M_PRES, M_PRES},          // 31 preshoot
    {M_OVER, M_OVER, NONE, M_OVER, M_OVER},          // 32 overshoot
    {LOCK, LOCK, LOCK, LOCK, NONE},                  // 33 panel lock
    {TXT_BLAN, TXT_BLAN, TXT_BLAN, TXT_BLAN, NONE},  // 34 clear display text
    {TXT_LINE, TXT_LINE, TXT_LINE, TXT_LINE, NONE},  // 35 display text line
    {TR_COUP, TR_COUP, NONE, TR_COUP, TR_ECOUP},     // 36 trigger coupling
    {TR_MODE, TR_MODE, TR_MODE, TR_MODE, TR_MODE},   // 37 trigger mode
    {RUN, RUN, RUN, RUN, NONE},                      // 38 run
    {PRIN, PRIN, PRIN, PRIN, DISP_DATA},             // 39 screen image
}};

}  // namespace

std::optional<std::string> CommandTemplate(int command_set, int id) {
  if (id < 0 || id >= kCommandCount || command_set < 0 || command_set >= kCommandSetCount)
    return std::nullopt;
  std::uint8_t index = kTable[id][command_set];
  // Id 18 holds an empty template in every set; an empty header sent to an
  // instrument is a fault, so it counts as no command.
  if (index == NONE || index == EMPTY) return std::nullopt;
  return std::string(kStrings[index]);
}

std::optional<std::string> SetForm(int command_set, int id) {
  return CommandTemplate(command_set, id);
}

std::optional<std::string> QueryForm(int command_set, int id) {
  auto text = CommandTemplate(command_set, id);
  if (text) text->back() = '?';
  return text;
}

std::optional<std::string> ChannelForm(int command_set, int id, int channel) {
  auto text = CommandTemplate(command_set, id);
  if (text && text->size() > 5 && channel >= 1 && channel <= 9)
    (*text)[5] = static_cast<char>('0' + channel);
  return text;
}

std::optional<std::string> ChannelQueryForm(int command_set, int id, int channel) {
  auto text = ChannelForm(command_set, id, channel);
  if (text) text->back() = '?';
  return text;
}

}  // namespace vex::server
