// Results as vexscope prints them, and waveform tables turned into columns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "measurement_text.h"
#include "result_printer.h"
#include "vex/com/safearray.h"
#include "waveform_data.h"
#include "waveform_plot.h"

namespace vex::scope {
namespace {

using com::SafeArray;
using com::Variant;

// The table GetAllWaveformData returns: rows in the first dimension, a
// header row, here with a channel record one point shorter than the time.
Variant Table() {
  SafeArray table;
  EXPECT_EQ(SafeArray::Create(com::VT_VARIANT, {{3, 0}, {3, 0}}, &table), com::S_OK);
  const Variant cells[3][3] = {{Variant("Time"), Variant("CHAN1"), Variant("Dig0")},
                               {Variant(-0.5), Variant(1.25), Variant(std::int16_t{1})},
                               {Variant(0.5), Variant(), Variant(std::int16_t{0})}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(table.PutElement({r, c}, cells[r][c]), com::S_OK);
  return Variant(std::move(table));
}

TEST(ResultText, ScalarsArraysAndNamedValues) {
  EXPECT_EQ(ScalarText(Variant(0.1)), "0.1");
  EXPECT_EQ(ScalarText(Variant(1e-9)), "1e-09");
  EXPECT_EQ(ScalarText(Variant(true)), "true");
  EXPECT_EQ(ScalarText(Variant(std::int32_t{-3})), "-3");
  EXPECT_EQ(ScalarText(Variant("text")), "text");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("plain"), "plain");

  std::ostringstream out;
  ResultPrinter text(out, false);
  SafeArray list;
  ASSERT_EQ(SafeArray::Create(com::VT_R8, {{3, 0}}, &list), com::S_OK);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(list.PutElement({i}, Variant(i * 0.5)), com::S_OK);
  text.PrintValue(Variant(SafeArray(list)));
  EXPECT_EQ(out.str(), "0\n0.5\n1\n");

  out.str("");
  text.PrintValue(Table());
  EXPECT_EQ(out.str(), "Time,CHAN1,Dig0\n-0.5,1.25,1\n0.5,,0\n");

  // Several out values print by name; a retval comes first.
  out.str("");
  CallResult result;
  result.retval = NamedValue{"Value", Variant(std::int32_t{7})};
  result.outs = {{"ErrorNumber", Variant(std::int32_t{-113})},
                 {"ErrorDescription", Variant("Undefined header")}};
  text.Print(result);
  EXPECT_EQ(out.str(), "Value=7\nErrorNumber=-113\nErrorDescription=Undefined header\n");

  // A member without a value prints nothing.
  out.str("");
  text.Print(CallResult{});
  EXPECT_EQ(out.str(), "");
}

TEST(ResultJson, ValuesParseBackWithTheirTypes) {
  std::ostringstream out;
  ResultPrinter json(out, true);
  CallResult result;
  result.outs = {{"TestResult", Variant(std::int32_t{0})}, {"ResultMessage", Variant("ok")}};
  json.Print(result);
  json.PrintValue(Variant(0.002));
  json.PrintValue(Table());
  std::istringstream lines(out.str());
  std::string line;
  std::getline(lines, line);
  auto object = nlohmann::json::parse(line);
  EXPECT_EQ(object["TestResult"], 0);
  EXPECT_EQ(object["ResultMessage"], "ok");
  std::getline(lines, line);
  EXPECT_EQ(nlohmann::json::parse(line).get<double>(), 0.002);
  std::getline(lines, line);
  auto table = nlohmann::json::parse(line);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0][1], "CHAN1");
  EXPECT_EQ(table[1][1], 1.25);
  EXPECT_TRUE(table[2][1].is_null());
  EXPECT_EQ(table[1][2], 1);
}

TEST(WaveformColumns, TableAndChannelArrays) {
  const WaveformSet set = FromTable(Table());
  EXPECT_EQ(set.time, (std::vector<double>{-0.5, 0.5}));
  ASSERT_EQ(set.columns.size(), 2u);
  EXPECT_EQ(set.columns[0].name, "CHAN1");
  EXPECT_EQ(set.columns[0].values[0], 1.25);
  EXPECT_TRUE(std::isnan(set.columns[0].values[1]));
  const WaveformSet analog = AnalogOnly(set);
  ASSERT_EQ(analog.columns.size(), 1u);

  std::ostringstream csv;
  WriteWaveformCsv(csv, set, false);
  EXPECT_EQ(csv.str(), "time,CHAN1,Dig0\n-0.5,1.25,1\n0.5,,0\n");

  SafeArray times = SafeArray::FromBytes(std::vector<std::uint8_t>{1, 2});
  SafeArray volts;
  ASSERT_EQ(SafeArray::Create(com::VT_R8, {{3, 0}}, &volts), com::S_OK);
  // Arrays of different lengths are not a waveform.
  EXPECT_ANY_THROW(FromChannelArrays(Variant(std::move(times)), Variant(std::move(volts)), "x"));
  EXPECT_ANY_THROW(FromTable(Variant(1.0)));
}

TEST(PlotTicks, NiceStepsCoverTheRange) {
  AxisTicks t = NiceTicks(-0.0005, 0.0005, 10);
  EXPECT_DOUBLE_EQ(t.step, 0.0001);
  ASSERT_EQ(t.values.size(), 11u);
  EXPECT_NEAR(t.values.front(), -0.0005, 1e-12);
  EXPECT_NEAR(t.values.back(), 0.0005, 1e-12);
  t = NiceTicks(-4.4, 4.4, 8);
  EXPECT_DOUBLE_EQ(t.step, 2);
  EXPECT_DOUBLE_EQ(t.values.front(), -4);
  // A flat trace still gets an axis.
  t = NiceTicks(3, 3, 8);
  EXPECT_GE(t.values.size(), 2u);
  EXPECT_LE(t.values.front(), 3);
  EXPECT_GE(t.values.back(), 3);
}

TEST(MeasurementText, FourDigitsWithAPrefixAndTheUnit) {
  EXPECT_EQ(EngineeringText(999.9875, "Hz"), "1.000 kHz");  // rounding moves the prefix
  EXPECT_EQ(EngineeringText(2000, "Hz"), "2.000 kHz");
  EXPECT_EQ(EngineeringText(0.001, "s"), "1.000 ms");
  EXPECT_EQ(EngineeringText(8e-08, "s"), "80.00 ns");
  EXPECT_EQ(EngineeringText(-0.0023705, "V"), "-2.371 mV");
  EXPECT_EQ(EngineeringText(2.828427, "V"), "2.828 V");
  EXPECT_EQ(EngineeringText(50.00382, "%"), "50.00 %");
  EXPECT_EQ(EngineeringText(0, "V"), "0 V");
  EXPECT_EQ(EngineeringText(-2.37e-16, "V"), "0 V");  // the mean of a sine, computed
  EXPECT_EQ(EngineeringText(2.5e-12, "s"), "2.500 ps");
  EXPECT_EQ(EngineeringText(9.9e37, "Hz"), "n/a");
  EXPECT_EQ(EngineeringText(std::nan(""), "V"), "n/a");
  EXPECT_EQ(MeasurementUnit("NegativePulseWidth"), "s");
  EXPECT_EQ(MeasurementUnit("PeakToPeakVolts"), "V");
  EXPECT_EQ(MeasurementText("RiseTime", Variant(2.5e-4)), "250.0 µs");
  EXPECT_EQ(MeasurementText("RiseTime", Variant("none")), "none");
}

}  // namespace
}  // namespace vex::scope
