// The plot's arithmetic: fitting the data, zooming about the pointer and
// back out to the whole data, and mapping between pixels and data.
#include "vex/ui/plot_range.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "vex/ui/widgets.h"

namespace vex::ui {
namespace {

TEST(PlotRange, FitSkipsPointsThatAreNotFiniteAndWidensFlatData) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const PlotRange fit = FitRange({{"a", 0, {0, 1, 2}, {-1, nan, 3}}, {"b", 0, {5}, {1}}});
  EXPECT_DOUBLE_EQ(fit.x_low, 0);
  EXPECT_DOUBLE_EQ(fit.x_high, 5);
  EXPECT_DOUBLE_EQ(fit.y_low, -1.2);
  EXPECT_DOUBLE_EQ(fit.y_high, 3.2);
  const PlotRange flat = FitRange({{"c", 0, {1, 1}, {2, 2}}});
  EXPECT_LT(flat.x_low, flat.x_high);
  EXPECT_LT(flat.y_low, flat.y_high);
  EXPECT_EQ(FitRange({}), (PlotRange{0, 1, -0.05, 1.05}));
}

TEST(PlotRange, ZoomKeepsThePointUnderThePointerAndStopsAtTheWholeData) {
  const PlotRange full{0, 10, -5, 5};
  const PlotRange in = ZoomRange(full, full, 2.5, 0, 1);
  EXPECT_DOUBLE_EQ(in.x_low, 0.5);
  EXPECT_DOUBLE_EQ(in.x_high, 8.5);
  EXPECT_DOUBLE_EQ(in.y_low, -4);
  // The point keeps its place: a quarter of the way across before and after.
  EXPECT_DOUBLE_EQ((2.5 - in.x_low) / (in.x_high - in.x_low), 0.25);
  EXPECT_EQ(ZoomRange(in, full, 2.5, 0, -1).x_high, full.x_high);
  EXPECT_EQ(ZoomRange(in, full, 2.5, 0, -5), full);
  // A span too small for doubles stays as it is.
  const PlotRange tiny{1, 1 + 1e-12, 0, 1};
  EXPECT_EQ(ZoomRange(tiny, full, 1, 0.5, 3).x_high, tiny.x_high);
}

TEST(PlotRange, PixelsAndDataMapBothWays) {
  const PlotRange view{0, 2, -1, 1};
  const Rect area{10, 20, 200, 100};
  EXPECT_DOUBLE_EQ(PixelX(view, area, 1), 110);
  EXPECT_DOUBLE_EQ(PixelY(view, area, 1), 20);
  EXPECT_DOUBLE_EQ(DataX(view, area, 110), 1);
  EXPECT_DOUBLE_EQ(DataY(view, area, 120), -1);
}

TEST(PlotWidget, WheelAndDoubleClickReportAViewChangeOnlyWhenTheViewMoves) {
  Plot plot(nullptr, "plot");
  int changes = 0;
  plot.OnViewChange([&] { ++changes; });
  plot.SetSeries({{"CHAN1", 0xCCA600, {0, 1}, {0, 1}}});
  plot.UserDoubleClick();
  EXPECT_EQ(changes, 0);
  plot.UserWheel(1, 0.5, 0.5);
  EXPECT_EQ(changes, 1);
  EXPECT_NE(plot.View(), plot.FullRange());
  plot.UserDoubleClick();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(plot.View(), plot.FullRange());
  plot.SetEnabled(false);
  plot.UserWheel(1, 0.5, 0.5);
  EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace vex::ui
