// The potential-flow solver on a circular cylinder, where the mapping is the
// identity (metric 1, scale 1) and incompressible flow is known exactly:
// perturbation potential s cos(theta') plus the vortex, with the circulation
// 4 pi sin(alpha) that puts the rear stagnation point on the cut.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "free_stream/free_stream.h"
#include "potential/potential.h"
#include "results/results.h"
#include "run_files.h"
#include "support.h"
#include "run/run.h"
#include "units.h"

namespace tarn {
namespace {

std::unique_ptr<FlowState> cylinder(int n, int mr, float em, float alp_deg) {
  auto fs = std::make_unique<FlowState>();
  fs->grid.NSG = n;
  fs->grid.MR = mr;
  fs->run.NP = n + 1;
  grid_constants(*fs);
  for (int k = 1; k <= fs->grid.MR1; ++k)
    for (int i = 1; i <= fs->grid.N2; ++i) fs->pot.H(i, k) = 1.0f;
  fs->map.SIGMA = fs->map.RSIGMA = 1.0f;
  fs->gas.EM = em;
  form_gas_constants(*fs);
  fs->pot.EP = 0.8f;
  fs->pot.QCP = 0.25f;
  form_ep_weights(*fs);
  fs->ALP = alp_deg / kDegPerRad;
  initialise_field(*fs);
  fs->run.MACHCHANGED = 0;
  return fs;
}

class Quiet : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int unit : {kConsoleOut, kListing, kBrief, kHistory, kCoefficients}) units().capture(unit);
  }
};

void run_stage(FlowState& fs, int sweeps, float tol = 0.0f) {
  fs.run.NS = sweeps;
  fs.run.TOL = tol;
  iteration_stage(fs);
}

using Cylinder = Quiet;

TEST_F(Cylinder, IncompressibleFlowConvergesToTheExactCirculationAndSurfaceSpeed) {
  float alp = 5.0f;
  auto fs = cylinder(64, 16, 0.05f, alp);
  run_stage(*fs, 300);
  float exact = 4.0f * kPi * std::sin(alp / kDegPerRad);
  EXPECT_NEAR(fs->pot.GAM, exact, 0.01f * exact);
  // Surface speed 2 |sin(theta')| away from the stagnation points (within the
  // second-order error of the differences).
  const Grid& g = fs->grid;
  for (int i = 4; i <= g.NSG - 2; i += 5) {
    float u = (fs->pot.P(i + 1, 1) - fs->pot.P(i - 1, 1)) * g.R2DTH - g.SIN(i);
    float theta = static_cast<float>(i - 1) * g.DTH;
    float exact_u = -2.0f * std::sin(theta + alp / kDegPerRad) + exact / kTwoPi;
    EXPECT_NEAR(u, exact_u, 0.02f) << "i = " << i;
  }
}

TEST_F(Cylinder, CorrectionFallsSteadilyAndAConvergedFieldGivesZeroCorrection) {
  auto fs = cylinder(64, 16, 0.3f, 3.0f);
  run_stage(*fs, 1);
  float first = fs->pot.RESMAX;
  run_stage(*fs, 600);
  EXPECT_LT(fs->pot.RESMAX, 1.0e-3f * first);
  float gam = fs->pot.GAM;
  relaxation_sweep(*fs);
  EXPECT_LT(fs->pot.RESMAX, 2.0e-6f);
  EXPECT_NEAR(fs->pot.GAM, gam, 1.0e-5f);
}

TEST_F(Cylinder, ZeroIncidenceConvergesToZeroCirculation) {
  auto fs = cylinder(64, 16, 0.3f, 0.0f);
  run_stage(*fs, 600);
  EXPECT_NEAR(fs->pot.GAM, 0.0f, 1.0e-5f);
  EXPECT_NEAR(2.0f * fs->pot.GAM / fs->map.SIGMA, 0.0f, 2.0e-5f);
}

TEST_F(Cylinder, SubsonicFlowIsIndependentOfTheSupersonicParameters) {
  auto a = cylinder(64, 16, 0.2f, 2.0f);
  auto b = cylinder(64, 16, 0.2f, 2.0f);
  b->pot.EP = 0.0f;
  b->pot.QCP = 1.0f;
  form_ep_weights(*b);
  run_stage(*a, 20);
  run_stage(*b, 20);
  for (int k = 1; k <= a->grid.MR1; ++k)
    for (int i = 1; i <= a->grid.N2; ++i) ASSERT_EQ(a->pot.P(i, k), b->pot.P(i, k));
}

TEST_F(Cylinder, HeldCirculationChangesOnlyOnceWhenTheFactorIsZero) {
  auto fs = cylinder(64, 16, 0.3f, 0.0f);
  fs->pot.F = 0.0f;
  fs->pot.DGHELD = 0.1f;  // a lift-coefficient change, turned into a circulation change
  run_stage(*fs, 1);
  float gam = fs->pot.GAM;
  EXPECT_NEAR(gam, 0.1f * fs->map.SIGMA / 2.0f, 1.0e-7f);
  run_stage(*fs, 10);
  EXPECT_EQ(fs->pot.GAM, gam);
}

TEST_F(Cylinder, ToleranceZeroRunsEverySweepAndConvergenceCountsTheSweepsBefore) {
  auto fs = cylinder(32, 8, 0.3f, 2.0f);
  run_stage(*fs, 25, 0.0f);
  EXPECT_EQ(fs->run.NFIELD, 25);
  EXPECT_EQ(fs->run.ITERTOTAL, 25);
  fs->run.NFIELD = 0;
  run_stage(*fs, 1000, 1.0e-4f);  // converges well before 1000 sweeps
  int sweeps = fs->run.ITERTOTAL - 25;
  EXPECT_LT(sweeps, 1000);
  EXPECT_EQ(fs->run.NFIELD, sweeps - 1);
}

TEST_F(Cylinder, HistoryHasAHeadingAndOneLinePerSweep) {
  auto fs = cylinder(32, 8, 0.3f, 2.0f);
  run_stage(*fs, 3);
  std::string h = units().captured(kHistory);
  EXPECT_EQ(h.substr(0, h.find('\n')), "  RES         CL");
  EXPECT_EQ(std::count(h.begin(), h.end(), '\n'), 4);
  EXPECT_NE(units().captured(kConsoleOut).find("\r         3 = running total of potential field iterations"),
            std::string::npos);
}

TEST_F(Cylinder, DivergedFieldStopsWithTheMessageAndStatusMinusFour) {
  auto fs = cylinder(32, 8, 0.3f, 2.0f);
  fs->pot.P(10, 4) += 1000.0f;
  try {
    run_stage(*fs, 5);
    FAIL() << "no stop";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.status, kExitDiverged);
  }
  EXPECT_EQ(units().captured(kListing), " ITERATIVE PROCEDURE HAS DIVERGED\n");
  EXPECT_EQ(units().captured(kBrief), " ITERATIVE PROCEDURE HAS DIVERGED\n");
  EXPECT_EQ(units().captured(kCoefficients), "   -4\n");
}

// A field whose surface speed is not a number gives results that are not
// finite: the results operation stops the run as diverged, naming CL.
TEST_F(Cylinder, ResultsThatAreNotFiniteStopTheRunAsDiverged) {
  auto fs = cylinder(32, 8, 0.3f, 2.0f);
  run_stage(*fs, 5);
  fs->cpl.TAW1(10) = std::nanf("");
  fs->ALP *= kDegPerRad;  // degrees between steps
  try {
    results_operation(*fs);
    FAIL() << "no stop";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.status, kExitDiverged);
  }
  EXPECT_EQ(units().captured(kBrief), " ITERATIVE PROCEDURE HAS DIVERGED\n CL IS NOT A FINITE NUMBER\n");
  EXPECT_EQ(units().captured(kCoefficients), "   -4\n");
}

using AngleTables = Quiet;

TEST_F(AngleTables, FarFieldShapeRisesByExactlyOneTurnAndNeverFalls) {
  auto fs = cylinder(64, 16, 0.7f, 4.0f);
  const Grid& g = fs->grid;
  for (float alp : {4.0f, -7.5f, 12.0f}) {
    fs->ALP = alp / kDegPerRad;
    incidence_update(*fs);
    EXPECT_FLOAT_EQ(g.FF(g.N1) - g.FF(1), kTwoPi);
    EXPECT_FLOAT_EQ(g.FF(g.N2) - g.FF(2), kTwoPi);
    for (int i = 2; i <= g.N2; ++i) EXPECT_GE(g.FF(i), g.FF(i - 1));
  }
}

TEST_F(AngleTables, UpdateToTheSameIncidenceKeepsTablesButResetsTheFieldCount) {
  auto fs = cylinder(64, 16, 0.5f, 2.0f);
  Grid before = fs->grid;
  fs->run.NFIELD = 17;
  incidence_update(*fs);
  EXPECT_EQ(fs->run.NFIELD, 0);
  for (int i = 1; i <= fs->grid.N2; ++i) {
    EXPECT_EQ(fs->grid.COS(i), before.COS(i));
    EXPECT_EQ(fs->grid.SIN(i), before.SIN(i));
  }
}

TEST_F(AngleTables, TurningByAnIncidenceChangeEqualsStartingAtThatIncidence) {
  auto turned = cylinder(64, 16, 0.5f, 2.0f);
  auto direct = cylinder(64, 16, 0.5f, 5.0f);
  turned->ALP = 5.0f / kDegPerRad;
  incidence_update(*turned);
  for (int i = 1; i <= 66; ++i) {
    EXPECT_NEAR(turned->grid.COS(i), direct->grid.COS(i), 2.0e-6f);
    EXPECT_NEAR(turned->grid.SIN(i), direct->grid.SIN(i), 2.0e-6f);
  }
}

TEST(Divergence, TenIsTheLastValueThatDoesNotDiverge) {
  EXPECT_FALSE(correction_diverged(10.0f));
  EXPECT_TRUE(correction_diverged(10.000001f));
  EXPECT_TRUE(correction_diverged(std::nanf("")));
}

using MeshTransfer = Quiet;

TEST_F(MeshTransfer, CoarsenThenRefineRestoresTheGeometryAndConstants) {
  auto fs = cylinder(160, 30, 0.5f, 2.0f);
  for (int k = 1; k <= 31; ++k)
    for (int i = 1; i <= 162; ++i)  // distinct values, periodic like the metric: column 162 repeats column 2
      fs->pot.H(i, k) += 0.001f * static_cast<float>(((i - 1) % 160) * k);
  for (int i = 1; i <= 162; ++i) fs->map.ANGLE(i) = static_cast<float>(i);
  FlowState fine = *fs;
  coarsen_mesh(*fs);
  EXPECT_EQ(fs->grid.NSG, 80);
  EXPECT_EQ(fs->grid.MR, 15);
  EXPECT_EQ(fs->run.NP, 81);
  EXPECT_EQ(fs->grid.RT(16), 0.0f);
  EXPECT_FLOAT_EQ(fs->grid.DTH, 2.0f * fine.grid.DTH);
  refine_mesh(*fs);
  EXPECT_EQ(fs->grid.NSG, 160);
  EXPECT_EQ(fs->grid.MR, 30);
  EXPECT_EQ(fs->run.NP, 161);
  for (int k = 1; k <= 31; ++k) {
    EXPECT_EQ(fs->grid.RT(k), fine.grid.RT(k));
    EXPECT_EQ(fs->grid.RS(k), fine.grid.RS(k));
    for (int i = 1; i <= 162; ++i) ASSERT_EQ(fs->pot.H(i, k), fine.pot.H(i, k)) << i << " " << k;
  }
  for (int i = 1; i <= 162; ++i) EXPECT_EQ(fs->map.ANGLE(i), fine.map.ANGLE(i));
  const Grid &a = fs->grid, &b = fine.grid;
  for (auto [x, y] : {std::pair{a.DTH, b.DTH}, {a.DS, b.DS}, {a.R2DTH, b.R2DTH}, {a.R2DS, b.R2DS},
                      {a.DTH2, b.DTH2}, {a.DTH2DS, b.DTH2DS}, {a.MGRAD, b.MGRAD}, {a.CROSS, b.CROSS}})
    EXPECT_FLOAT_EQ(x, y);
  EXPECT_EQ(a.N1, 161);
  EXPECT_EQ(a.N2, 162);
  EXPECT_EQ(a.NHALF, 81);
}

TEST_F(MeshTransfer, InviscidCutColumnKeepsTheCirculationJumpAfterEachTransfer) {
  auto fs = cylinder(160, 30, 0.5f, 3.0f);
  coarsen_mesh(*fs);
  for (int k = 1; k <= fs->grid.MR1; ++k)
    EXPECT_FLOAT_EQ(fs->pot.P(fs->grid.N2, k) - fs->pot.P(2, k), fs->pot.GAM);
  run_stage(*fs, 20);
  refine_mesh(*fs);
  for (int k = 1; k <= fs->grid.MR1; ++k)
    EXPECT_FLOAT_EQ(fs->pot.P(fs->grid.N2, k) - fs->pot.P(2, k), fs->pot.GAM);
}

TEST_F(MeshTransfer, RefinedCoarseSolutionIsCloseToTheFineSolution) {
  auto coarse = cylinder(160, 30, 0.3f, 3.0f);
  coarsen_mesh(*coarse);
  run_stage(*coarse, 300);
  refine_mesh(*coarse);
  auto fine = cylinder(160, 30, 0.3f, 3.0f);
  run_stage(*fine, 1500);
  EXPECT_NEAR(coarse->pot.GAM, fine->pot.GAM, 0.01f * fine->pot.GAM);
  for (int i = 1; i <= 161; i += 8) EXPECT_NEAR(coarse->pot.P(i, 1), fine->pot.P(i, 1), 0.01f);
}

// Relaxed curvature jumps of a coarse wake update, linear along the wake,
// land on the fine wake points that the results read after refinement.
TEST_F(MeshTransfer, RefinementCarriesTheWakeCurvatureJumpsToTheirFinePoints) {
  auto fs = cylinder(160, 30, 0.5f, 2.0f);
  coarsen_mesh(*fs);
  for (int k = 1; k <= fs->grid.MR1; ++k) {
    fs->cpl.WDS(k, 1) = 0.01f * static_cast<float>(k);
    fs->cpl.WDS(k, 2) = -0.02f * static_cast<float>(k);
  }
  refine_mesh(*fs);
  for (int k = 1; k <= fs->grid.MR1; ++k) {
    float coarse_k = 0.5f * static_cast<float>(k + 1);
    EXPECT_FLOAT_EQ(fs->cpl.DQW1(k), 0.01f * coarse_k) << k;
    EXPECT_FLOAT_EQ(fs->cpl.DQW2(k), -0.02f * coarse_k) << k;
  }
}

TEST_F(MeshTransfer, ShuffleOfTwoElementsLeavesThemInPlace) {
  FlowState fs;
  float a[2] = {1.0f, 2.0f};
  shuffle(fs, a, 2, 1, 0.5f);
  EXPECT_EQ(a[0], 1.0f);
  EXPECT_EQ(a[1], 2.0f);
  float b[5] = {1, 2, 3, 4, 5};
  shuffle(fs, b, 5, 1, 0.5f);
  EXPECT_EQ(std::vector<float>(b, b + 5), (std::vector<float>{1, 3, 5, 2, 4}));
  shuffle(fs, b, 5, 1, 2.0f);
  EXPECT_EQ(std::vector<float>(b, b + 5), (std::vector<float>{1, 2, 3, 4, 5}));
}

// Three coarsenings of 96 lines would give 12 x 2, too small for the wake
// curvature stencils; two give 24 x 4, the smallest radial count they take.
TEST_F(MeshTransfer, CoarseningBelowTheSmallestMeshOfTheStencilsStops) {
  auto fs = cylinder(96, 16, 0.5f, 2.0f);
  coarsen_mesh(*fs);
  coarsen_mesh(*fs);
  EXPECT_EQ(fs->grid.MR, 4);
  try {
    coarsen_mesh(*fs);
    FAIL() << "no stop";
  } catch (const RunStop& stop) {
    EXPECT_EQ(stop.status, kExitBadInput);
    EXPECT_NE(std::string(stop.what()).find("below the smallest mesh"), std::string::npos) << stop.what();
  }
  EXPECT_EQ(fs->grid.NSG, 24);
}

TEST_F(MeshTransfer, RefiningBeyondTheCapacityStops) {
  auto fs = cylinder(160, 30, 0.5f, 2.0f);
  EXPECT_THROW(refine_mesh(*fs), RunStop);
  EXPECT_EQ(fs->grid.NSG, 160);
}

}  // namespace
}  // namespace tarn

namespace tarn {
namespace {

TEST(DivergingRun, StopsWithTheMessageOnBothListingsAndStatusMinusFour) {
  test::TempDir dir;
  test::RunSetup s;
  s.viscous = false;
  s.xs = 3.5f;  // over-relaxation far beyond 2: the iteration cannot converge
  test::write_new_run(dir.path(), s);
  auto r = test::run_program("tarn", dir.path(), s.name + "\n");
  EXPECT_EQ(r.status, kExitDiverged);
  for (const char* ext : {".FUL", ".BRF"}) {
    auto lines = test::lines_of(test::read_file(dir.file(s.name + ext)));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), " ITERATIVE PROCEDURE HAS DIVERGED") << ext;
  }
  EXPECT_EQ(test::read_file(dir.file(s.name + ".SEP")), "   -4\n");
  auto console = test::lines_of(r.err);
  ASSERT_EQ(console.size(), 2u) << r.err;
  EXPECT_EQ(console[0], "tarn: ITERATIVE PROCEDURE HAS DIVERGED");
  for (const char* advice : {"XS", "NSC", "tarnprep", "tarnsweep"})
    EXPECT_NE(console[1].find(advice), std::string::npos) << advice;
  EXPECT_EQ(console[1].find("GVISC"), std::string::npos) << "an inviscid run has no coupling factors";
}

}  // namespace
}  // namespace tarn
