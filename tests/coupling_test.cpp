// The viscous-inviscid coupling: its update schedule and relaxation, the
// curvature and wake terms, the viscous listings and records, lift
// targeting, and whole viscous runs against measured and peer results.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "results/results.h"
#include "run/run.h"
#include "run_files.h"
#include "support.h"
#include "units.h"

namespace tarn {
namespace {

using test::RunSetup;
using test::TempDir;

int count_lines_with(const std::string& text, const std::string& what) {
  int n = 0;
  for (const auto& l : test::lines_of(text)) n += l.find(what) != std::string::npos;
  return n;
}

// A viscous run of NACA 0012 at M = 0.5, 2 degrees on the 96-line mesh,
// executed in this process so that its final flow state can be examined.
class ViscousState : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    RunSetup s;
    s.em = 0.5f;
    s.nsg = 96;
    s.nsc = 40;
    s.nsf = 60;
    s.dump = false;
    test::write_new_run(dir_->path(), s);
    std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir_->path());
    fs_ = new FlowState;
    units().capture(kConsoleOut);
    units().feed(kConsoleIn, s.name + "\n");
    run_tarn(*fs_);
    units().close_all();
    std::filesystem::current_path(home);
    fs_->ALP /= kDegPerRad;  // as within a step
  }
  static void TearDownTestSuite() {
    delete fs_;
    delete dir_;
  }
  void SetUp() override {
    for (int unit : {kListing, kBrief, kHistory, kCouplingHistory, kCoefficients}) units().capture(unit);
  }
  static TempDir* dir_;
  static FlowState* fs_;
};
TempDir* ViscousState::dir_ = nullptr;
FlowState* ViscousState::fs_ = nullptr;

TEST_F(ViscousState, FinalPassLeavesEveryRelaxedTermUnchanged) {
  FlowState before = *fs_;
  coupling_cycle(*fs_, 6);
  const Coupling &a = fs_->cpl, &b = before.cpl;
  for (int i = 1; i <= fs_->grid.NSG + 1; ++i) {
    ASSERT_EQ(a.TAW1(i), b.TAW1(i)) << i;
    ASSERT_EQ(a.TAW2(i), b.TAW2(i)) << i;
    ASSERT_EQ(a.DQK(i), b.DQK(i)) << i;
  }
  for (int k = 1; k <= fs_->grid.MR; ++k)
    for (int c = 1; c <= 2; ++c) {
      ASSERT_EQ(a.SIG(k, c), b.SIG(k, c)) << k;
      ASSERT_EQ(a.WDS(k, c), b.WDS(k, c)) << k;
    }
  // It is a printing pass: the viscous summary, and no coupling-history line.
  EXPECT_EQ(count_lines_with(units().captured(kListing), "CDV+CD1 = "), 1);
  EXPECT_EQ(units().captured(kCouplingHistory), "");
}

TEST_F(ViscousState, SurfaceCurvatureTermIsZeroAheadOfTransition) {
  const FlowState& fs = *fs_;
  int ile = fs.grid.NSG / 2 + 1, ahead = 0, behind_nonzero = 0;
  for (int i = 3; i <= fs.grid.NSG - 1; ++i) {
    float xt = i < ile ? fs.cpl.XTL : fs.cpl.XTU;
    if (fs.res.X(i) <= xt) {
      EXPECT_EQ(fs.cpl.QKA(i), 0.0f) << i;
      ++ahead;
    } else {
      behind_nonzero += fs.cpl.QKA(i) != 0.0f;
    }
  }
  EXPECT_GT(ahead, 4);
  EXPECT_GT(behind_nonzero, 40);
}

TEST_F(ViscousState, ClosedTrailingEdgeLeavesOnlyTheEdgeSlopesInTheThicknessShare) {
  const Coupling& c = fs_->cpl;
  EXPECT_NEAR(c.BT(1, 1), 0.0f, 1.0e-6f);
  EXPECT_NEAR(c.BT(1, 2), 0.0f, 1.0e-6f);
  EXPECT_GT(std::fabs(c.BT(2, 1)) + std::fabs(c.BT(2, 2)), 0.0f);  // from the slopes of the last intervals
  for (int k = 1; k <= fs_->grid.MR + 1; ++k) {
    if (fs_->res.XW(k) - 1.0f > c.LB) {
      EXPECT_EQ(c.BT(k, 1), 0.0f) << k;  // faded out beyond 1 + LB
    }
  }
}

TEST_F(ViscousState, DisplacementEffectDrivesTheTranspirationAndTheWakeTerms) {
  const Coupling& c = fs_->cpl;
  EXPECT_EQ(c.ISURF, fs_->grid.NSG + 1);
  EXPECT_EQ(c.IWAKE, fs_->grid.MR + 1);
  float largest = 0.0f;
  for (int i = 1; i <= fs_->grid.NSG + 1; ++i) largest = std::max(largest, std::fabs(c.TAW1(i)));
  EXPECT_GT(largest, 1.0e-3f);
  EXPECT_EQ(c.TAW1(1), 0.0f);
  EXPECT_LT(c.CHANGE, 0.01f);  // the coupling is settling
  EXPECT_GT(c.CDV, 0.005f);
  EXPECT_LT(c.CDV, 0.012f);
}

class QuietCoupling : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int unit : {kListing, kBrief, kHistory, kCouplingHistory, kCoefficients}) units().capture(unit);
  }
};

TEST_F(QuietCoupling, InviscidRunNeitherReadsNorPrintsNorUpdates) {
  auto fs = std::make_unique<FlowState>();
  fs->run.IVP = 0;
  const std::string record = "    0.1500    0.0010    1 0.600E+07    0.0500    0.0500    0.0500    0\n";
  units().feed(kRunData, record);
  for (int i = 1; i <= 162; ++i) fs->cpl.TAW1(i) = 0.001f * static_cast<float>(i);
  FlowState before = *fs;
  coupling_cycle(*fs, 1);
  coupling_cycle(*fs, 6);
  EXPECT_EQ(units().captured(kListing), "");
  EXPECT_EQ(units().captured(kBrief), "");
  for (int i = 1; i <= 162; ++i) ASSERT_EQ(fs->cpl.TAW1(i), before.cpl.TAW1(i));
  std::string line;
  ASSERT_TRUE(units().read_line(kRunData, line));  // the boundary-layer record was left for its reader
  EXPECT_EQ(line + "\n", record);
}

TEST_F(QuietCoupling, OnlySweepsWithSmallCorrectionsCountTowardsTheNextUpdate) {
  auto fs = std::make_unique<FlowState>();
  fs->run.IVP = 4;
  fs->cpl.ITHRESH = 10;
  fs->cpl.ICOUNT = 0;
  for (float res : {0.02f, 0.01f, 0.5f}) {
    fs->pot.RESMAX = res;
    coupling_cycle(*fs, 3);
  }
  EXPECT_EQ(fs->cpl.ICOUNT, 0);
  fs->pot.RESMAX = 0.0099f;
  for (int n = 1; n <= 4; ++n) coupling_cycle(*fs, 3);
  EXPECT_EQ(fs->cpl.ICOUNT, 4);
  EXPECT_EQ(units().captured(kCouplingHistory), "");  // no update yet
}

// Updates of a stage of NS sweeps with all corrections small: on the call
// after FIRSTN = 10 counted sweeps, then every NVISC = 5.
TEST(CouplingSchedule, FirstUpdateFollowsTenCountedSweepsThenEveryFifth) {
  for (auto [nsc, updates] : {std::pair{10, 0}, {11, 1}, {15, 1}, {16, 2}, {100, 18}}) {
    TempDir dir;
    RunSetup s;
    s.em = 0.5f;
    s.nsg = 96;
    s.nsc = nsc;
    s.nsf = 10;
    s.dump = false;
    test::write_new_run(dir.path(), s);
    ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
    auto history = test::lines_of(test::read_file(dir.file(s.name + ".VEH")));
    EXPECT_EQ(static_cast<int>(history.size()), updates) << "NSC = " << nsc;
  }
}

TEST(ViscousListings, SummariesRecordsAndTablesAsThePrintLevelAsks) {
  TempDir dir;
  RunSetup s;
  s.em = 0.5f;
  s.nsg = 96;
  s.nsc = 30;
  s.nsf = 40;
  s.vprint_fine = 2;
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  std::string full = test::read_file(dir.file(s.name + ".FUL"));
  std::string brf = test::read_file(dir.file(s.name + ".BRF"));
  for (const std::string& listing : {full, brf}) {
    EXPECT_EQ(count_lines_with(listing, " IVP = 4    NVISC =   5    GVISC = 0."), 2);
    EXPECT_EQ(count_lines_with(listing, "  CDV+CD1 = "), 1);  // the final pass of the fine stage only
    EXPECT_EQ(count_lines_with(listing, "  CD1 = "), 0);      // no inviscid summary
  }
  EXPECT_EQ(count_lines_with(full, "UPPER-SURFACE BOUNDARY-LAYER DATA"), 1);
  EXPECT_EQ(count_lines_with(full, "                 X          P/H         TAW1        TAW2        QKA"), 1);
  EXPECT_EQ(count_lines_with(full, "                 X         SIGMA1      SIGMA2      SIGMA3       QKW1        QKW2"),
            1);
  auto sep = test::lines_of(test::read_file(dir.file(s.name + ".SEP")));
  ASSERT_GE(sep.size(), 3u);
  EXPECT_EQ(sep[sep.size() - 3].substr(0, 5), "    2");
  EXPECT_EQ(sep[sep.size() - 3].size(), 5u + 10u * 12u);
  EXPECT_EQ(sep[sep.size() - 2].substr(0, 5), "    3");
  EXPECT_EQ(sep.back(), "    4");
  test::Summary sum = test::last_summary(brf);
  EXPECT_NEAR(sum.cdv_cd1 - sum.cdv, sum.cd1 + 0.0f, 2.0e-5f);
}

TEST(ViscousListings, PrintLevelZeroPrintsNoFinalResults) {
  TempDir dir;
  RunSetup s;
  s.em = 0.5f;
  s.nsg = 96;
  s.nsc = 0;
  s.nsf = 20;
  s.vprint_fine = 0;
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  std::string brf = test::read_file(dir.file(s.name + ".BRF"));
  EXPECT_EQ(count_lines_with(brf, "CDV"), 0);
  EXPECT_EQ(count_lines_with(brf, "Upper surface CP values"), 0);
  EXPECT_EQ(test::lines_of(test::read_file(dir.file(s.name + ".SEP"))).back(), "    4");
}

TEST(LiftTargeting, RequiredLiftIsReachedByMovingTheIncidence) {
  TempDir dir;
  RunSetup s;
  s.em = 0.5f;
  s.alp = 1.0f;
  s.icl = 1;
  s.clc = 0.4f;
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  std::string history = test::read_file(dir.file(s.name + ".IEH"));
  EXPECT_GT(count_lines_with(history, " CLC="), 10);
  EXPECT_NE(test::read_file(dir.file(s.name + ".FUL")).find(" REQUIRED VALUE OF CL IS  0.40000"), std::string::npos);
  test::Summary sum = test::last_summary(test::read_file(dir.file(s.name + ".BRF")));
  EXPECT_NEAR(sum.cl, s.clc, 0.005f);
  EXPECT_GT(sum.alp, 2.0f);  // well above the starting incidence
  std::printf("lift targeting: CL %.5f for CLC %.3f at %.4f degrees\n", sum.cl, s.clc, sum.alp);
}

// A lift-targeted run reports the incidence its flow was computed at: a run
// at that fixed incidence, from the same start, gives the required lift and
// the same pressure drag. Lift targeting moves the incidence after the last
// turn of the angle tables in each stage; the fine mesh's tables, and those
// of a run continued from the dump, must be turned to the incidence reached.
struct LiftCase {
  const char* name;
  float em, clc;
  bool continued;  // the lift-targeted run continues from the dump of a first one
};

class IncidenceReported : public ::testing::TestWithParam<LiftCase> {};

TEST_P(IncidenceReported, FixedIncidenceRunGivesTheRequiredLift) {
  const LiftCase& c = GetParam();
  TempDir lift, fixed;
  RunSetup s;
  s.em = c.em;
  s.alp = 0.0f;
  s.icl = 1;
  s.clc = c.clc;
  // A coarse stage that settles: the fine stage keeps its surface curvature
  // term, which would otherwise carry the coarse stage's history.
  const int coarse = 300;
  s.nsc = coarse;
  test::write_new_run(lift.path(), s);
  ASSERT_EQ(test::run_tarn(lift.path(), s.name), 0);
  if (c.continued) {
    // On from the incidence the first run reported, as a study continues.
    s.alp = test::last_summary(test::read_file(lift.file(s.name + ".BRF"))).alp;
    std::filesystem::rename(lift.file(s.name + ".UNF"), lift.file("FIRST.UNF"));
    s.nsc = 0;
    test::write_continuation_run(lift.path(), s, "FIRST.UNF");
    ASSERT_EQ(test::run_tarn(lift.path(), s.name), 0);
  }
  test::Summary targeted = test::last_summary(test::read_file(lift.file(s.name + ".BRF")));
  RunSetup f;
  f.em = c.em;
  f.alp = targeted.alp;
  f.nsc = coarse;
  test::write_new_run(fixed.path(), f);
  ASSERT_EQ(test::run_tarn(fixed.path(), f.name), 0);
  test::Summary at_alpha = test::last_summary(test::read_file(fixed.file(f.name + ".BRF")));
  std::printf("%s: targeted alpha %.4f CL %.5f CDP %.5f; fixed CL %.5f CDP %.5f\n", c.name, targeted.alp,
              targeted.cl, targeted.cdp, at_alpha.cl, at_alpha.cdp);
  EXPECT_NEAR(targeted.cl, c.clc, 1.0e-3f);
  EXPECT_NEAR(at_alpha.cl, c.clc, 1.0e-3f);
  EXPECT_NEAR(at_alpha.cdp, targeted.cdp, 0.02f * std::fabs(at_alpha.cdp));
}

INSTANTIATE_TEST_SUITE_P(LiftTargeting, IncidenceReported,
                         ::testing::Values(LiftCase{"FixedTransition", 0.5f, 0.4f, false},
                                           LiftCase{"FixedTransitionContinued", 0.5f, 0.4f, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A coupling relaxed by -1 drives the boundary layer apart within 20 coarse
// sweeps: its skin friction is not a number. That is divergence: the run
// stops with status -4 and writes no coefficient record.
TEST(ViscousDivergence, BoundaryLayerThatIsNotFiniteStopsTheRunAsDiverged) {
  TempDir dir;
  RunSetup s;
  s.em = 0.75f;
  s.nsc = 20;
  s.gviscc = -1.0f;
  s.dump = false;
  test::write_new_run(dir.path(), s);
  std::string tin = test::run_data_file(s);
  tin.erase(tin.find("    1   -1\n"));  // the coarse stage only, then the end of the run
  test::write_file(dir.file(s.name + ".TIN"), tin + "    0    0\n");
  auto r = test::run_program("tarn", dir.path(), s.name + "\n");
  EXPECT_EQ(r.status, kExitDiverged);
  EXPECT_NE(r.err.find("ITERATIVE PROCEDURE HAS DIVERGED\n CDF IS NOT A FINITE NUMBER"), std::string::npos) << r.err;
  auto brf = test::lines_of(test::read_file(dir.file(s.name + ".BRF")));
  ASSERT_GE(brf.size(), 2u);
  EXPECT_EQ(brf[brf.size() - 2], " ITERATIVE PROCEDURE HAS DIVERGED");
  EXPECT_EQ(brf.back(), " CDF IS NOT A FINITE NUMBER");
  EXPECT_EQ(test::lines_of(test::read_file(dir.file(s.name + ".SEP"))).back(), "   -4");
  EXPECT_EQ(count_lines_with(test::read_file(dir.file(s.name + ".SEP")), "    2 "), 0);
}

// The last transpiration-change measure of a run.
float last_change(const std::string& history) {
  auto lines = test::lines_of(history);
  return lines.empty() ? NAN : std::stof(lines.back());
}

TEST(ViscousValidation, Rae2822Case6AgreesWithTheMeasurements) {
  std::string aerofoil = test::shared_file("aerofoils/RAE2822.DAT");
  if (aerofoil.empty()) GTEST_SKIP() << test::needs_shared("aerofoils/RAE2822.DAT");
  TempDir dir;
  RunSetup s = test::rae2822_case6(aerofoil);
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  EXPECT_LT(last_change(test::read_file(dir.file(s.name + ".VEH"))), 0.0025f);
  test::Summary sum = test::last_summary(test::read_file(dir.file(s.name + ".BRF")));
  const float alpha = 2.31f, drag = 0.0127f, moment = -0.095f;  // AGARD AR-138 case 6, corrected incidence
  EXPECT_NEAR(sum.cl, 0.743f, 0.005f);
  EXPECT_NEAR(sum.alp, alpha, 0.5f);
  EXPECT_NEAR(sum.cdv_cd2, drag, 0.1f * drag);
  EXPECT_NEAR(sum.cm, moment, 0.02f);
  std::printf("RAE 2822 case 6: CL %.4f, incidence %.3f (%+.3f deg), CDV+CD2 %.5f (%+.1f %%), CM %.4f (%+.4f)\n",
              sum.cl, sum.alp, sum.alp - alpha, sum.cdv_cd2, 100.0 * (sum.cdv_cd2 / drag - 1.0), sum.cm,
              sum.cm - moment);
}

TEST(ViscousValidation, Naca0012AtMachHalfAgreesWithThePeerMethod) {
  TempDir dir;
  RunSetup s;
  s.em = 0.5f;
  s.alp = 2.0f;
  s.r = 6.0e6f;
  s.xtu = s.xtl = 0.05f;
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  test::Summary sum = test::last_summary(test::read_file(dir.file(s.name + ".BRF")));
  const float cl = 0.2720f, cd = 0.00821f;  // panel method with integral boundary layer
  EXPECT_NEAR(sum.cl, cl, 0.05f * cl);
  EXPECT_NEAR(sum.cdv, cd, 0.15f * cd);
  std::printf("NACA 0012 M 0.5 2 deg viscous: CL %.5f (%+.1f %%), CDV %.5f (%+.1f %%), CDF %.5f\n", sum.cl,
              100.0 * (sum.cl / cl - 1.0), sum.cdv, 100.0 * (sum.cdv / cd - 1.0), sum.cdf);
}

}  // namespace
}  // namespace tarn
