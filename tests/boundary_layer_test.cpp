// Boundary layer and wake on station lines built here: the flat plate
// against Blasius and a turbulent drag law, the wake, pressure gradients up
// to separation, the HBAR limits, the listing rows and the monitors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "boundary_layer_support.h"

namespace tarn {
namespace {

using test::BoundaryLayerCase;
using test::count_containing;
using test::Suction;
using test::uniform;

TEST_F(BoundaryLayerCase, LaminarFlatPlateFollowsBlasius) {
  build_line(1, 101, 10, uniform);
  surface_boundary_layer(*fs_, 1, 1.0f, 0.0f, 0);
  EXPECT_EQ(bl().ITR[0], bl().ITE[0]);  // transition at the trailing edge: only the wake is turbulent
  const int i = station_at(1, 0.5f);
  ASSERT_GT(i, 0);
  const double r = 6.0e6, x = 0.5;
  const double blasius = 0.664 * x / std::sqrt(r * x);
  std::cout << "laminar plate: THETA(0.5)/Blasius = " << bl().THETA(i, 1) / blasius << '\n';
  EXPECT_NEAR(bl().THETA(i, 1) / blasius, 1.0, 0.03);
  // Zero-gradient shape factor of the table with its compressibility term,
  // and the skin friction against Blasius.
  EXPECT_NEAR(bl().DELSTAR(i, 1) / bl().THETA(i, 1), (1.0 + 0.2 * 0.04) * 3.61 - 1.0, 0.01);
  EXPECT_NEAR(bl().CF(i, 1) * std::sqrt(r * x), 0.664, 0.03);
  EXPECT_EQ(listing().size(), 1u);  // only the case line: no messages
}

TEST_F(BoundaryLayerCase, TurbulentFlatPlateFollowsTheSchlichtingLawAndTheWakeKeepsItsMomentum) {
  const int n = build_line(1, 101, 20, uniform);
  surface_boundary_layer(*fs_, 1, 0.05f, 0.0f, 0);
  const int ite = bl().ITE[0];
  ASSERT_EQ(bl().X(ite, 1), 1.0f);

  // Prandtl-Schlichting drag law of the turbulent plate, 2 THETA/x =
  // 0.455/(log10 Rx)^2.58, from a virtual origin at which the law gives the
  // laminar THETA at transition.
  const double r = 6.0e6;
  auto law = [r](double x) { return 0.5 * x * 0.455 / std::pow(std::log10(r * x), 2.58); };
  const double theta_tr = bl().THETA(bl().ITR[0], 1);
  double lo = 1.0e-6, hi = 0.05;  // bisection for the virtual turbulent length at transition
  for (int k = 0; k < 60; ++k) (law(0.5 * (lo + hi)) < theta_tr ? lo : hi) = 0.5 * (lo + hi);
  const double correlation = law(1.0 - 0.05 + lo);
  std::cout << "turbulent plate: THETA(1)/Prandtl-Schlichting = " << bl().THETA(ite, 1) / correlation << '\n';
  EXPECT_NEAR(bl().THETA(ite, 1) / correlation, 1.0, 0.10);

  // Wake: no friction and no pressure gradient: THETA stays, HBAR relaxes towards 1.
  for (int j = ite + 1; j <= n; ++j) {
    EXPECT_NEAR(bl().THETA(j, 1) / bl().THETA(ite, 1), 1.0, 0.02) << "x = " << bl().X(j, 1);
    EXPECT_EQ(bl().CF(j, 1), 0.0f);
  }
  auto h = [this](int j) { return bl().DELSTAR(j, 1) / bl().THETA(j, 1); };
  std::cout << "wake: THETA(2)/THETA(1) = " << bl().THETA(n, 1) / bl().THETA(ite, 1) << ", H at x = 1, 1.25, 2: "
            << h(ite) << ' ' << h(ite + 5) << ' ' << h(n) << '\n';
  for (int j = ite + 1; j <= n; ++j) EXPECT_LT(h(j), h(j - 1));
  EXPECT_GT(h(n), 1.0f);
  EXPECT_LT(h(n) - 1.0f, 0.5f * (h(ite) - 1.0f));
  EXPECT_EQ(count_containing(listing(), "VINT"), 0);
}

TEST_F(BoundaryLayerCase, AerofoilLikeAdverseGradientMarchesToTheLastWakeStation) {
  const int n = build_line(1, 81, 30, Suction{0.3});
  surface_boundary_layer(*fs_, 1, 0.06f, 0.0f, 0);
  EXPECT_EQ(bl().N[0], n + 1);  // transition inserted
  EXPECT_TRUE(all_finite(1));
  EXPECT_TRUE(listing().size() == 1u) << units().captured(kListing);  // no failure, limit or floor lines
  // The adverse gradient thickens the layer beyond the flat plate's.
  const int ite = bl().ITE[0];
  const float h_te = bl().DELSTAR(ite, 1) / bl().THETA(ite, 1);
  EXPECT_GT(h_te, 1.4f);
  EXPECT_LT(h_te, 2.5f);
  EXPECT_GT(bl().THETA(bl().N[0], 1), 0.0f);
}

TEST_F(BoundaryLayerCase, StronglyAdverseGradientReachesTheHbarLimitInsteadOfFailing) {
  build_line(2, 81, 20, Suction{0.6});
  surface_boundary_layer(*fs_, 2, 0.05f, 0.0f, 0);
  const auto lines = listing();
  EXPECT_GT(count_containing(lines, " HBAR MAX LIMIT REACHED"), 0);
  EXPECT_GT(count_containing(lines, " CF SET TO 0.000002 AT X=      0.9"), 0);
  EXPECT_NE(std::find(lines.begin(), lines.end(), " CF SET TO 0.000002 AT X=      1.000 ON SURFACE  2 (1=U/S, 2=L/S)"),
            lines.end());
  EXPECT_EQ(count_containing(lines, "VINT"), 0);
  EXPECT_TRUE(all_finite(2));
  // The floor 0.000002 on local dynamic pressure, referred to the free stream.
  const int ite = bl().ITE[1];
  const double m2 = double(bl().PM(ite, 2)) * bl().PM(ite, 2);
  const double floor = 2.0e-6 * m2 * std::pow(1.0 + 0.2 * m2, -3.5) / (0.04 * std::pow(1.008, -3.5));
  EXPECT_NEAR(bl().CF(ite, 2) / floor, 1.0, 1.0e-3);
  EXPECT_EQ(bl().CF(bl().N[1], 2), 0.0f);
}

TEST_F(BoundaryLayerCase, HighHbarEntrainmentLawActsOnlyAboveHbar16) {
  build_line(1, 81, 10, uniform);
  build_line(2, 81, 10, Suction{0.6});
  fs_->run.IVPSIGNED = 4;
  surface_boundary_layer(*fs_, 1, 0.05f, 0.0f, 0);
  surface_boundary_layer(*fs_, 2, 0.05f, 0.0f, 0);
  const float plate = bl().THETA(bl().N[0], 1), separated = bl().THETA(bl().ITE[1], 2);
  build_line(1, 81, 10, uniform);
  build_line(2, 81, 10, Suction{0.6});
  fs_->run.IVPSIGNED = -4;
  surface_boundary_layer(*fs_, 1, 0.05f, 0.0f, 0);
  surface_boundary_layer(*fs_, 2, 0.05f, 0.0f, 0);
  EXPECT_EQ(bl().THETA(bl().N[0], 1), plate);
  EXPECT_NE(bl().THETA(bl().ITE[1], 2), separated);
}

// Edge speeds from an XFOIL 6.99 viscous solution of NACA 0012 (M 0.5,
// alpha 2, R 6.0E+06, transition at 0.05): stagnation point, each surface
// to the trailing edge, and XFOIL's wake line for both.
TEST_F(BoundaryLayerCase, NacaSectionAgreesWithAnIndependentIntegralMethod) {
  const std::string path = test::shared_file("reference/xfoil/NACA0012_M0.5_a2_bl.dat");
  std::ifstream in(path);
  if (path.empty() || !in) GTEST_SKIP() << test::needs_shared("reference/xfoil/NACA0012_M0.5_a2_bl.dat");
  set_case(0.5f, 6.0e6f);
  std::vector<std::vector<double>> surface, wake;  // s x y Ue Dstar Theta Cf ...
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<double> row;
    for (double v; fields >> v;) row.push_back(v);
    (row.size() == 12 ? surface : wake).push_back(row);
  }
  size_t ist = 0;
  for (size_t k = 0; k < surface.size(); ++k)
    if (std::fabs(surface[k][3]) < std::fabs(surface[ist][3])) ist = k;
  const double xfoil_theta_te[2] = {surface.front()[5], surface.back()[5]};
  for (int ns = 1; ns <= 2; ++ns) {
    int i = 0;
    const int step = ns == 1 ? -1 : 1, end = ns == 1 ? -1 : int(surface.size());
    for (int k = int(ist); k != end; k += step) add(ns, ++i, surface[k][1], surface[k][2], std::fabs(surface[k][3]));
    for (const auto& w : wake) add(ns, ++i, w[1], w[2], w[3]);
    bl().PM(i + 1, ns) = 9999.0f;
    surface_boundary_layer(*fs_, ns, 0.05f, 0.0f, 0);
    EXPECT_TRUE(all_finite(ns));
    const float theta_te = bl().THETA(bl().ITE[ns - 1], ns);
    std::cout << "NACA 0012 surface " << ns << ": THETA(TE)/XFOIL = " << theta_te / xfoil_theta_te[ns - 1] << '\n';
    EXPECT_NEAR(theta_te / xfoil_theta_te[ns - 1], 1.0, 0.10);
  }
  EXPECT_EQ(listing().size(), 2u);  // the case lines only
}

TEST_F(BoundaryLayerCase, LaminarSeparationMovesTransitionForward) {
  // A laminar layer cannot stand the deceleration of a strong adverse gradient.
  build_line(1, 81, 5, Suction{0.6});
  surface_boundary_layer(*fs_, 1, 0.9f, 0.0f, 0);
  const int itr = bl().ITR[0];
  EXPECT_LT(bl().X(itr, 1), 0.9f);
  const std::string expected = " TRANSITION TAKEN AT" + format_fixed(bl().X(itr, 1), 10, 5) + "   FOR SURFACE 1 (1=U/S, 2=L/S)";
  const auto lines = listing();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], expected);
  EXPECT_EQ(lines[2].substr(0, 11), "  " + format_fixed(bl().X(itr + 1, 1), 9, 5));  // the separated station
  EXPECT_TRUE(all_finite(1));
}

TEST_F(BoundaryLayerCase, TransitionAtTheLastStationLeavesTheLaminarValues) {
  build_line(1, 41, 0, uniform);
  surface_boundary_layer(*fs_, 1, 1.0f, 0.0f, kPrintBoundaryLayer);
  const int n = bl().N[0];
  EXPECT_EQ(bl().ITR[0], n);
  EXPECT_EQ(count_containing(listing(), "RTHETA AT TRANSITION"), 0);
  EXPECT_NEAR(bl().THETA(n, 1) / (0.664 / std::sqrt(6.0e6)), 1.0, 0.03);
}

TEST_F(BoundaryLayerCase, IncrementAtTransitionAddsToTheMomentumThickness) {
  build_line(1, 41, 0, uniform);
  surface_boundary_layer(*fs_, 1, 0.5f, 0.0f, 0);
  const float base = bl().THETA(bl().ITR[0], 1);
  build_line(1, 41, 0, uniform);
  surface_boundary_layer(*fs_, 1, 0.5f, 2.0e-4f, 0);
  EXPECT_NEAR(bl().THETA(bl().ITR[0], 1) - base, 2.0e-4f, 1.0e-7f);
}

TEST_F(BoundaryLayerCase, TablesListLaminarRowsOfFiveAndTurbulentRowsOfSixValues) {
  build_line(1, 21, 5, uniform);
  surface_boundary_layer(*fs_, 1, 0.12f, 0.0f, kPrintBoundaryLayer);
  const auto lines = listing();
  ASSERT_GT(lines.size(), 12u);
  EXPECT_EQ(lines[4], std::string(35, ' ') + "UPPER-SURFACE BOUNDARY-LAYER DATA");
  EXPECT_EQ(lines[7], " " + std::string(6, ' ') + "X       HBAR      DELSTAR        THETA        CFLOC        DELTA");
  EXPECT_EQ(lines[9].substr(0, 19), "    0.00000   2.355");
  int laminar = 0, turbulent = 0;
  bool after_transition = false;
  for (size_t k = 9; k < lines.size(); ++k) {
    if (lines[k].find("RTHETA AT TRANSITION") != std::string::npos) {
      after_transition = true;
      EXPECT_EQ(lines[k + 1].size(), lines[9].size());  // the transition row has five values
      ++k;
      continue;
    }
    (after_transition ? turbulent : laminar) += 1;
    EXPECT_EQ(lines[k].size(), after_transition ? 73u : 63u) << lines[k];
  }
  EXPECT_EQ(laminar, 4);     // x = 0, 0.05, 0.1 and the inserted 0.12
  EXPECT_EQ(turbulent, 23);  // 0.15 ... 1.0 and the wake

  // Switch 0 prints no table.
  build_line(2, 21, 5, uniform);
  units().capture(kListing);
  surface_boundary_layer(*fs_, 2, 0.12f, 0.0f, 0);
  EXPECT_TRUE(listing().empty());
}

TEST_F(BoundaryLayerCase, SkinFrictionIsReferredToTheFreeStreamDynamicPressure) {
  set_case(0.5f, 6.0e6f);
  build_line(1, 41, 0, [](double) { return 1.2; });
  surface_boundary_layer(*fs_, 1, 0.05f, 0.0f, kPrintBoundaryLayer);
  // Local-pressure CF as printed in the row at x = 0.5.
  const int i = station_at(1, 0.5f);
  float printed = 0.0f;
  for (const auto& line : listing())
    if (line.substr(0, 11) == "    0.50000") printed = std::stof(line.substr(50, 10));
  ASSERT_GT(printed, 0.0f);
  const double m2 = double(bl().PM(i, 1)) * bl().PM(i, 1);
  const double q_ratio = m2 * std::pow(1.0 + 0.2 * m2, -3.5) / (0.25 * std::pow(1.05, -3.5));
  EXPECT_NEAR(bl().CF(i, 1) / (printed * q_ratio), 1.0, 5.0e-3);
  EXPECT_GT(q_ratio, 1.2);
}

// The entrainment equations at a chosen state: station 3 of a plate.
class Entrainment : public BoundaryLayerCase {
 protected:
  void SetUp() override {
    BoundaryLayerCase::SetUp();
    build_line(1, 11, 5, uniform);
    prepare_stations(*fs_, 1, 0.5f, false);
    units().capture(kListing);
  }
};

TEST_F(Entrainment, EdgeConditionsFollowTheEnergyEquationAndSutherlandsLaw) {
  set_case(0.6f, 4.0e6f);
  EntrainmentEquations eq(*fs_, bl().ITE[0]);
  float me2 = 0.0f, tsk = 0.0f, rux = 0.0f;
  eq.edge_conditions(1.0f, me2, tsk, rux);  // the free stream itself
  EXPECT_NEAR(me2, 0.36f, 1.0e-6f);
  EXPECT_NEAR(tsk, 293.0 / 1.072, 1.0e-3);
  EXPECT_NEAR(rux / 4.0e6f, 1.0f, 1.0e-6f);
  // Faster edge: static temperature from the energy equation, density from
  // the isentropic law, viscosity from Sutherland's law with 114 K.
  const double u = 1.3, tinf = 293.0 / 1.072, t = tinf * (1.0 + 0.2 * 0.36 * (1.0 - u * u));
  const double mu_ratio = std::pow(t / tinf, 1.5) * (tinf + 114.0) / (t + 114.0);
  const double rho_ratio = std::pow(t / tinf, 2.5);
  eq.edge_conditions(float(u), me2, tsk, rux);
  EXPECT_NEAR(me2, u * u * 0.6 * 0.6 * tinf / t, 1.0e-5);
  EXPECT_NEAR(tsk, t, 1.0e-3);
  EXPECT_NEAR(rux / (4.0e6 * rho_ratio * u / mu_ratio), 1.0, 1.0e-5);
}

TEST_F(Entrainment, HbarAtItsUpperLimitStopsGrowingAndIsReportedAfterTheStep) {
  EntrainmentEquations eq(*fs_, bl().ITE[0]);
  eq.set_interval(3);
  float f[3] = {}, y[3] = {3.4f, 1.0e-3f, 0.0f};
  eq(kDerivative, f, bl().S(2), y);
  EXPECT_GT(f[0], 0.0f);  // without entrainment the layer thickens
  y[0] = 3.6f;
  eq(kDerivative, f, bl().S(2), y);
  EXPECT_EQ(y[0], kHbarMax);
  EXPECT_EQ(f[0], 0.0f);
  EXPECT_TRUE(listing().empty());  // reported at the end of the step only
  eq(kAuxiliary, f, bl().S(3), y);
  EXPECT_EQ(listing(), std::vector<std::string>{" HBAR MAX LIMIT REACHED"});
  y[0] = 2.0f;
  eq(kAuxiliary, f, bl().S(3), y);
  EXPECT_EQ(listing().size(), 1u);  // reported once
}

TEST_F(Entrainment, HbarAtOrBelowOneIsRaisedAndReported) {
  EntrainmentEquations eq(*fs_, bl().ITE[0]);
  eq.set_interval(3);
  float f[3] = {7.0f, 7.0f, 7.0f}, y[3] = {1.0f, 1.0e-3f, 0.0f};
  eq(kAuxiliary, f, bl().S(3), y);
  EXPECT_EQ(y[0], 1.0001f);
  EXPECT_EQ(f[0], 7.0f);  // the auxiliary mode leaves F alone
  EXPECT_EQ(listing(), std::vector<std::string>{" HBAR MIN LIMIT REACHED"});
}

TEST_F(Entrainment, WakeHasNoFrictionAndEntrainmentIsHeldAboveItsFloor) {
  EntrainmentEquations eq(*fs_, bl().ITE[0]);
  eq.set_interval(bl().ITE[0] + 1);
  float f[3] = {}, y[3] = {1.5f, 1.0e-3f, -0.02f};
  eq(kDerivative, f, bl().S(eq.J - 1), y);
  EXPECT_EQ(eq.CFH, 0.0f);
  EXPECT_EQ(f[1], 0.0f);  // no friction, no gradient: THETA constant
  EXPECT_EQ(y[2], -0.009f);
  eq.set_interval(3);
  y[2] = 0.0f;
  eq(kEquilibrium, f, bl().S(2), y);
  EXPECT_GT(y[2], 0.0f);  // equilibrium entrainment of an attached layer
  EXPECT_GT(eq.CFH, 1.0e-3f);
}

TEST_F(BoundaryLayerCase, MonitorsRecordTheFirstStationReachingEachPosition) {
  bl().KMON = 1;
  bl().XK(1) = 0.5f;
  bl().AK(1) = 1.25f;
  const int n = build_line(1, 101, 5, uniform);
  bl().X(52, 1) = 0.5005f;  // a second station near the monitored position
  surface_boundary_layer(*fs_, 1, 0.05f, 0.0f, kPrintBoundaryLayer);
  ASSERT_EQ(bl().N[0], n);
  const int i = station_at(1, 0.5f);
  EXPECT_EQ(test::lines_of(units().captured(kCoefficients)),
            std::vector<std::string>{"    1       1  1   1.2500000   0.5000000" + format_fixed(bl().THETA(i, 1), 12, 7)});
  EXPECT_EQ(bl().TK(1), bl().THETA(i, 1));
  const int ite = bl().ITE[0];
  const double h = bl().DELSTAR(ite, 1) / bl().THETA(ite, 1);
  EXPECT_NEAR(bl().HTE, (h + 1.0) / (1.0 + 0.178 * 0.04) - 1.0, 1.0e-4);
  EXPECT_GT(bl().DTE, bl().DELSTAR(ite, 1));
  EXPECT_NEAR(bl().X96, 0.96f, 0.01f);
  EXPECT_NEAR(bl().X94, 0.94f, 0.01f);
  const float dte = bl().DTE, x96 = bl().X96;

  // The other surface, reaching the same positions, changes nothing.
  build_line(2, 101, 5, Suction{0.3});
  surface_boundary_layer(*fs_, 2, 0.05f, 0.0f, kPrintBoundaryLayer);
  EXPECT_EQ(test::lines_of(units().captured(kCoefficients)).size(), 1u);
  EXPECT_EQ(bl().DTE, dte);
  EXPECT_EQ(bl().X96, x96);
}

}  // namespace
}  // namespace tarn
