// Boundary-layer case set-up and station preparation: the records, the
// Thwaites table, transition and trailing-edge stations, the capacity of the
// station tables and the pressure clip.
#include <gtest/gtest.h>

#include <cmath>

#include "boundary_layer_support.h"
#include "run_stop.h"

namespace tarn {
namespace {

using test::BoundaryLayerCase;
using test::uniform;

TEST(Thwaites, TableRowsAndEndRules) {
  float l = -1.0f, hbar = -1.0f;
  thwaites_lookup(-0.09f, l, hbar);
  EXPECT_FLOAT_EQ(l, 0.0f);
  EXPECT_FLOAT_EQ(hbar, 3.7f);
  thwaites_lookup(-0.5f, l, hbar);  // separated: held at the first row
  EXPECT_FLOAT_EQ(l, 0.0f);
  EXPECT_FLOAT_EQ(hbar, 3.7f);
  thwaites_lookup(0.0f, l, hbar);
  EXPECT_FLOAT_EQ(l, 0.22f);
  EXPECT_FLOAT_EQ(hbar, 2.61f);
  thwaites_lookup(0.25f, l, hbar);
  EXPECT_FLOAT_EQ(l, 0.5f);
  EXPECT_FLOAT_EQ(hbar, 2.0f);
  thwaites_lookup(0.3f, l, hbar);  // beyond the table: the last two rows extended
  EXPECT_NEAR(l, 0.537f, 1.0e-5f);
  EXPECT_NEAR(hbar, 1.93f, 1.0e-5f);
  thwaites_lookup(0.11f, l, hbar);  // half-way between the rows 0.1 and 0.12
  EXPECT_NEAR(l, 0.3705f, 1.0e-5f);
  EXPECT_NEAR(hbar, 2.255f, 1.0e-5f);
  thwaites_lookup(-0.088f, l, hbar);
  EXPECT_FLOAT_EQ(l, 0.015f);
  EXPECT_FLOAT_EQ(hbar, 3.62f);
  thwaites_lookup(std::nanf(""), l, hbar);  // no parameter: the separated row, nothing read outside the table
  EXPECT_FLOAT_EQ(l, 0.0f);
}

TEST_F(BoundaryLayerCase, CaseSetUpReadsTheRecordsAndPrintsTheTransitionLines) {
  units().capture(kListing);
  units().feed(kRunData,
               "      0.10     0.003    2     3.0E6      0.10      0.20      0.04    1\n"
               "   12    4    1    0.0002   0.00010\n");
  bl_case_setup(*fs_, 0);
  EXPECT_FLOAT_EQ(fs_->cpl.R, 3.0e6f);
  EXPECT_FLOAT_EQ(fs_->cpl.XTU, 0.1f);
  EXPECT_FLOAT_EQ(fs_->cpl.XTL, 0.2f);
  EXPECT_FLOAT_EQ(fs_->cpl.LB, 0.04f);
  EXPECT_EQ(fs_->cpl.IVPRINT, 2);
  EXPECT_EQ(fs_->cpl.FIRSTN, 12);
  EXPECT_EQ(fs_->cpl.NVISC, 4);
  EXPECT_FLOAT_EQ(fs_->cpl.DD21, 0.0002f);
  EXPECT_FLOAT_EQ(fs_->cpl.DD22, 0.0001f);
  EXPECT_FLOAT_EQ(bl().T0R, 1.008f);
  EXPECT_NEAR(bl().SL, 1.008 * 110.4 / 293.0, 1.0e-6);
  EXPECT_NEAR(bl().PINF, std::pow(1.008, -3.5), 1.0e-6);
  EXPECT_EQ(listing(), (std::vector<std::string>{
                           " R =  0.300E+07    TRANSITION PTS   XTU =    0.100   XTL =    0.200",
                           " INCREMENTS IN THETA AT TRANSITION:  U/S 0.200E-03  L/S 0.100E-03"}));

  // R = 0 keeps R, the transition positions and LB but takes GVISC; without
  // increments there is no increments line.
  fs_->cpl.DD21 = fs_->cpl.DD22 = 0.0f;
  units().capture(kListing);
  units().feed(kRunData, "      0.20     0.002    1       0.0      0.50      0.50      0.00    0\n");
  bl_case_setup(*fs_, 0);
  EXPECT_FLOAT_EQ(fs_->cpl.R, 3.0e6f);
  EXPECT_FLOAT_EQ(fs_->cpl.XTU, 0.1f);
  EXPECT_FLOAT_EQ(fs_->cpl.LB, 0.04f);
  EXPECT_FLOAT_EQ(fs_->cpl.GVISC, 0.2f);
  EXPECT_EQ(listing().size(), 1u);
}

TEST_F(BoundaryLayerCase, TransitionBetweenStationsIsInsertedAndOneOnAStationIsNot) {
  const int n = build_line(1, 21, 5, uniform);  // stations every 0.05
  surface_boundary_layer(*fs_, 1, 0.12f, 0.0f, 0);
  EXPECT_EQ(bl().N[0], n + 1);
  EXPECT_EQ(bl().INSERTED[0], 1);
  EXPECT_EQ(bl().ITR[0], 4);
  EXPECT_FLOAT_EQ(bl().X(4, 1), 0.12f);
  EXPECT_EQ(bl().ITE[0], 22);  // x = 1 already a station: no insertion
  EXPECT_NEAR(bl().PM(4, 1), 0.2f, 1.0e-6f);  // Mach number of the interpolated P/H

  build_line(2, 21, 5, uniform);
  surface_boundary_layer(*fs_, 2, 0.15f, 0.0f, 0);
  EXPECT_EQ(bl().N[1], n);
  EXPECT_EQ(bl().INSERTED[1], 0);
  EXPECT_EQ(bl().ITR[1], 4);
  EXPECT_EQ(bl().CF(1, 2), 0.0f);  // no friction at the stagnation point
  EXPECT_EQ(bl().PM(1, 2), 0.0f);
}

TEST_F(BoundaryLayerCase, TrailingEdgeStationIsExtrapolatedFromUpstreamOnly) {
  // Stations on y = x/10 with edge speed 1 + 0.1 x, then a wake station far
  // off that line: the inserted x = 1 continues the upstream line.
  const double xs[] = {0.0, 0.3, 0.6, 0.9, 1.5};
  for (int i = 1; i <= 5; ++i) add(1, i, xs[i - 1], xs[i - 1] < 1.0 ? xs[i - 1] / 10.0 : 5.0, 1.0 + 0.1 * xs[i - 1]);
  bl().PM(6, 1) = 9999.0f;
  prepare_stations(*fs_, 1, 0.3f, false);
  EXPECT_EQ(bl().ITE[0], 5);
  EXPECT_EQ(bl().N[0], 6);
  EXPECT_NEAR(bl().Y(5, 1), 0.1f, 1.0e-6f);
  EXPECT_NEAR(bl().UE(5), 1.1f, 2.0e-3f);

  // A station within 1.0E-5 of x = 1 is the trailing edge as it stands.
  add(2, 1, 0.0, 0.0, 1.0);
  add(2, 2, 0.5, 0.0, 1.0);
  add(2, 3, 1.0 + 5.0e-6, 0.0, 1.0);
  add(2, 4, 2.0, 0.0, 1.0);
  bl().PM(5, 2) = 9999.0f;
  prepare_stations(*fs_, 2, 0.5f, false);
  EXPECT_EQ(bl().ITE[1], 3);
  EXPECT_EQ(bl().N[1], 4);

  // No station reaches x = 1: the trailing edge is appended.
  add(2, 3, 0.8, 0.0, 1.0);
  bl().PM(4, 2) = 9999.0f;
  prepare_stations(*fs_, 2, 0.5f, false);
  EXPECT_EQ(bl().ITE[1], 4);
  EXPECT_EQ(bl().N[1], 4);
  EXPECT_EQ(bl().X(4, 2), 1.0f);
}

TEST_F(BoundaryLayerCase, TransitionInTheWakeStaysOnItsStationWhenTheTrailingEdgeIsInserted) {
  for (int i = 1; i <= 6; ++i) add(1, i, i <= 4 ? 0.3 * (i - 1) : 1.2 + 0.4 * (i - 5), 0.0, 1.0);
  bl().PM(7, 1) = 9999.0f;  // x = 0, 0.3, 0.6, 0.9, 1.2, 1.6
  prepare_stations(*fs_, 1, 1.4f, false);
  EXPECT_EQ(bl().ITE[0], 5);
  EXPECT_EQ(bl().ITR[0], 7);
  EXPECT_FLOAT_EQ(bl().X(bl().ITR[0], 1), 1.4f);
}

TEST_F(BoundaryLayerCase, TransitionAtTheStagnationPointStartsAtTheNextStation) {
  // Zero edge speed leaves no turbulent starting values at station 1.
  build_line(1, 21, 5, uniform);
  surface_boundary_layer(*fs_, 1, 0.0f, 0.0f, 0);
  EXPECT_EQ(bl().ITR[0], 2);
  EXPECT_TRUE(all_finite(1));
  EXPECT_GT(bl().THETA(bl().N[0], 1), 0.0f);
}

TEST_F(BoundaryLayerCase, PressureAtOrAboveStagnationIsClippedToASmallMachNumber) {
  build_line(1, 11, 0, uniform);
  bl().PM(4, 1) = 1.0f;
  bl().PM(5, 1) = 1.5f;
  prepare_stations(*fs_, 1, 0.5f, false);
  const double clipped = std::sqrt(5.0 * (std::pow(1.0 / double(0.99999988f), 1.0 / 3.5) - 1.0));
  EXPECT_NEAR(bl().PM(4, 1), clipped, 1.0e-3 * clipped);
  EXPECT_EQ(bl().PM(5, 1), bl().PM(4, 1));
  EXPECT_GT(bl().UE(5), 0.0f);
}

// Largest line: 169 stations from x = 0 to 1 in equal steps.
class FullStationTable : public BoundaryLayerCase {
 protected:
  void SetUp() override {
    BoundaryLayerCase::SetUp();
    build_line(1, kMaxStations - 1, 0, uniform);
    for (int i = 1; i <= 3; ++i) add(2, i, 0.25 * i, 0.0, 1.0);  // must survive
  }
  void expect_lower_surface_untouched() {
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(bl().X(i, 2), 0.25f * i);
  }
  void expect_overflow_stop(float xt) {
    try {
      surface_boundary_layer(*fs_, 1, xt, 0.0f, 0);
      FAIL() << "the run went on";
    } catch (const RunStop& stop) {
      EXPECT_NE(stop.status, 0);
    }
    EXPECT_EQ(test::count_containing(listing(kListing), " * ARRAY OVERFLOW *"), 1);
    EXPECT_EQ(listing(kBrief), std::vector<std::string>{" * ARRAY OVERFLOW *"});
    expect_lower_surface_untouched();
  }
};

TEST_F(FullStationTable, LargestLineWithoutInsertionRuns) {
  surface_boundary_layer(*fs_, 1, 0.5f, 0.0f, 0);  // x = 0.5 is a station
  EXPECT_EQ(bl().N[0], kMaxStations - 1);
  EXPECT_TRUE(all_finite(1));
  expect_lower_surface_untouched();
}

TEST_F(FullStationTable, InsertingATransitionStationOverflowsAndStops) { expect_overflow_stop(0.501f); }

TEST_F(FullStationTable, FullTableWithoutEndMarkOverflowsAndStops) {
  add(1, kMaxStations, 1.5, 0.0, 1.0);
  expect_overflow_stop(0.5f);
}

}  // namespace
}  // namespace tarn
