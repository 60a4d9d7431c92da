#include "settings_tables.h"

namespace vex::server {

const MnemonicTable& AcquisitionCountTable() {
  // Counts are sent with their sign; instruments answer with or without it.
  static const MnemonicTable table{{"+8", 8}, {"+64", 64}, {"+256", 256}, {"+1", 1},
                                   {"+4", 4}, {"+16", 16}, {"+32", 32},   {"+128", 128},
                                   {"8", 8},  {"64", 64},  {"256", 256},  {"1", 1},
                                   {"4", 4},  {"16", 16},  {"32", 32},    {"128", 128}};
  return table;
}

const MnemonicTable& AcquisitionTypeTable() {
  static const MnemonicTable table{{"NORM", 6}, {"AVER", 1}, {"PEAK", 2},
                                   {"GLIT", 3}, {"REAL", 4}, {"AUTO", 5}};
  return table;
}

const MnemonicTable& ProbeAttenuationTable() {
  static const MnemonicTable table{{"X1", 1}, {"X10", 10}, {"X20", 20}, {"X100", 100}};
  return table;
}

const MnemonicTable& ProbeCouplingTable() {
  static const MnemonicTable table{{"AC", 3}, {"DC", 1}, {"GND", 2}};
  return table;
}

const MnemonicTable& ProbeModeTable() {
  static const MnemonicTable table{{"AUT", 2}, {"MAN", 1}};
  return table;
}

const MnemonicTable& InputImpedanceTable() {
  static const MnemonicTable table{{"FIFT", 50}, {"ONEM", 1}};
  return table;
}

const MnemonicTable& TimeModeTable() {
  // "MAIN" and "WIND" are other instruments' names for normal and delayed.
  static const MnemonicTable table{{"NORM", 4}, {"DEL", 1},  {"XY", 2},
                                   {"ROLL", 3}, {"MAIN", 4}, {"WIND", 1}};
  return table;
}

const MnemonicTable& TimeReferenceTable() {
  // Right is sent in full; the short form is only recognised.
  static const MnemonicTable table{{"LEFT", 3}, {"CENT", 1}, {"RIGHT", 2}, {"RIGH", 2}};
  return table;
}

const MnemonicTable& TriggerCouplingTable() {
  static const MnemonicTable table{{"AC", 2}, {"DC", 1}};
  return table;
}

const MnemonicTable& TriggerModeTable() {
  // Replies may join the sweep mode and the trigger type; only the edge type
  // has a mode value. Single sweep and every other type read as -1, and -1
  // sends the single-sweep word.
  static const MnemonicTable table{
      {"AUTL", 3},      {"AUTO", 1},     {"NORM", 2},       {"SING", -1},     {"TV", -1},
      {"AUTL,EDGE", 3}, {"AUTL,TV", -1}, {"AUTL,GLIT", -1}, {"AUTL,ADV", -1}, {"AUTL,PATT", -1},
      {"AUTO,EDGE", 1}, {"AUTO,TV", -1}, {"AUTO,GLIT", -1}, {"AUTO,ADV", -1}, {"AUTO,PATT", -1},
      {"NORM,EDGE", 2}, {"NORM,TV", -1}, {"NORM,GLIT", -1}, {"NORM,ADV", -1}, {"NORM,PATT", -1}};
  return table;
}

const MnemonicTable& TriggerSlopeTable() {
  static const MnemonicTable table{{"NEG", 2}, {"POS", 1}};
  return table;
}

const MnemonicTable& TriggerSourceTable() {
  static const MnemonicTable table{
      {"CHAN1", 1},  {"CHAN2", 2},  {"CHAN3", 3},  {"CHAN4", 4},  {"EXT", 5},    {"LINE", 6},
      {"DIG0", 10},  {"DIG1", 11},  {"DIG2", 12},  {"DIG3", 13},  {"DIG4", 14},  {"DIG5", 15},
      {"DIG6", 16},  {"DIG7", 17},  {"DIG8", 18},  {"DIG9", 19},  {"DIG10", 20}, {"DIG11", 21},
      {"DIG12", 22}, {"DIG13", 23}, {"DIG14", 24}, {"DIG15", 25}, {"ANAL1", 1},  {"ANAL2", 2}};
  return table;
}

const MnemonicTable& MeasureSourceTable() {
  static const MnemonicTable table{
      {"CHAN1", 1},    {"CHAN2", 2},    {"CHAN3", 3},    {"CHAN4", 4},    {"DIG0", 10},
      {"DIG1", 11},    {"DIG2", 12},    {"DIG3", 13},    {"DIG4", 14},    {"DIG5", 15},
      {"DIG6", 16},    {"DIG7", 17},    {"DIG8", 18},    {"DIG9", 19},    {"DIG10", 20},
      {"DIG11", 21},   {"DIG12", 22},   {"DIG13", 23},   {"DIG14", 24},   {"DIG15", 25},
      {"ANAL1", 1},    {"ANAL2", 2},    {"LCHAN0", 10},  {"LCHAN1", 11},  {"LCHAN2", 12},
      {"LCHAN3", 13},  {"LCHAN4", 14},  {"LCHAN5", 15},  {"LCHAN6", 16},  {"LCHAN7", 17},
      {"LCHAN8", 18},  {"LCHAN9", 19},  {"LCHAN10", 20}, {"LCHAN11", 21}, {"LCHAN12", 22},
      {"LCHAN13", 23}, {"LCHAN14", 24}, {"LCHAN15", 25}};
  return table;
}

}  // namespace vex::server
