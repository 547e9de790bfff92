// Free transition by the envelope method: the flat plate against the
// method's own prediction evaluated by hand, a trip ahead of the predicted
// point, and NACA 0012 set up through tarnprep against XFOIL's
// free-transition polar. The whole comparison with the reference polars is
// tools/free-transition-figures.sh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "boundary_layer_support.h"
#include "run_files.h"

namespace tarn {
namespace {

using test::BoundaryLayerCase;
using test::uniform;

// Zero pressure gradient: the Thwaites table gives HBAR = 2.61, taken 0.015
// lower for the amplification, H = 2.595, where the envelope method starts
// growth at log10 Re_theta0 = (1.415/1.595 - 0.489) tanh(20/1.595 - 12.9) +
// 3.295/1.595 + 0.44, Re_theta0 = 233.4, at dN/dRe_theta = 0.01 sqrt((2.4 x
// 2.595 - 3.7 + 2.5 tanh(1.5 x 2.595 - 4.65))^2 + 0.25) = 0.010550. The rate
// in arc length takes dRe_theta/ds = ((m + 1)/2) l/THETA of the similar
// layer at that H (l = 0.43084, m = 0.00878: 0.21731/THETA), while the
// Thwaites layer grows at 0.225/THETA (THETA^2 = 0.45 x/R): N = 9 at
// Re_theta = 233.4 + (9/0.010550)(0.225/0.21731) = 1116.7.
constexpr double kPlateTransitionRth = 1116.7;

TEST_F(BoundaryLayerCase, FlatPlateReachesNcritAtTheReynoldsNumberOfTheEnvelopeMethod) {
  build_line(1, 141, 10, uniform);
  fs_->cpl.NCRIT = 9.0f;
  surface_boundary_layer(*fs_, 1, 1.0f, 0.0f, 0);
  ASSERT_EQ(bl().TRCAUSE[0], kAmplification);
  const int itr = bl().ITR[0];
  EXPECT_EQ(bl().X(itr, 1), bl().XT[0]);  // the transition station inserted at the predicted point
  const double rth = bl().THETA(itr, 1) * fs_->cpl.R;
  std::printf("flat plate, Ncrit 9: transition at x = %.4f, Re_theta %.1f against %.1f (%+.1f %%)\n", bl().XT[0], rth,
              kPlateTransitionRth, 100.0 * (rth / kPlateTransitionRth - 1.0));
  EXPECT_NEAR(rth / kPlateTransitionRth, 1.0, 0.03);
}

TEST_F(BoundaryLayerCase, TripAheadOfThePredictedPointTakesTransition) {
  build_line(1, 141, 10, uniform);
  fs_->cpl.NCRIT = 9.0f;
  surface_boundary_layer(*fs_, 1, 1.0f, 0.0f, 0);
  const float predicted = bl().XT[0];
  ASSERT_GT(predicted, 0.3f);
  for (float trip : {0.2f, 0.9f}) {
    fs_->bl.XTFREE[0] = 0.0f;  // a new case
    build_line(1, 141, 10, uniform);
    surface_boundary_layer(*fs_, 1, trip, 0.0f, 0);
    const float expected = std::min(trip, predicted);
    EXPECT_NEAR(bl().XT[0], expected, 1.0e-5f) << "trip at " << trip;
    EXPECT_EQ(bl().TRCAUSE[0], trip < predicted ? kTrip : kAmplification) << "trip at " << trip;
    EXPECT_EQ(bl().X(bl().ITR[0], 1), bl().XT[0]);
  }
}

// The row of XFOIL's polar at incidence alpha: CD, upper and lower transition.
bool xfoil_row(const std::string& polar, float alpha, float& cd, float& xtu, float& xtl) {
  std::ifstream in(polar);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    float a, cl, cdp, cm;
    if (row >> a >> cl >> cd >> cdp >> cm >> xtu >> xtl && a == alpha) return true;
  }
  return false;
}

// Where the listing says transition was predicted, surface by surface, at its last boundary-layer tables.
void predicted(const std::string& listing, float (&x)[2]) {
  for (const std::string& line : test::lines_of(listing)) {
    int ns = 0;
    float at = 0.0f;
    if (std::sscanf(line.c_str(), " TRANSITION PREDICTED AT %f FOR SURFACE %d", &at, &ns) == 2 && (ns == 1 || ns == 2))
      x[ns - 1] = at;
  }
}

// NACA 0012 at M 0.2, R 3E6 against XFOIL's polar: at 0 degrees both layers
// run long in a mild adverse gradient, at 2 degrees they part, and at 5.5
// the lower layer runs to near the trailing edge (where it once separated
// in the disturbance of its own transition, 0.2 chord ahead of XFOIL's).
class FreeTransition : public ::testing::TestWithParam<float> {};

TEST_P(FreeTransition, Naca0012AgreesWithXfoilWithin5PerCentOfChordAnd10PerCentInDrag) {
  const float alpha = GetParam();
  const std::string aerofoil = test::shared_file("aerofoils/NACA0012.DAT");
  const std::string polar = test::shared_file("reference/xfoil/free-transition/n0012_re3e6_m02.pol");
  if (aerofoil.empty() || polar.empty()) GTEST_SKIP() << "shared reference data not present";
  float cd = 0, xtu = 0, xtl = 0;
  ASSERT_TRUE(xfoil_row(polar, alpha, cd, xtu, xtl));
  test::TempDir dir;
  test::write_file(dir.file("NACA0012.DAT"), test::read_file(aerofoil));
  // Viscous new run, M 0.2, alpha, R 3E6; `free` at the XTU prompt, then
  // NCRIT 9 and no trips; defaults kept.
  const std::string answers = "FREE\nNACA 0012 FREE TRANSITION\n1\n1\nNACA0012.DAT\nn\nn\nn\n0.2\n" +
                              std::to_string(alpha) + "\n0\n3\nfree\n9\n1\n1\nn\n";
  ASSERT_EQ(test::run_program("tarnprep", dir.path(), answers).status, 0);
  ASSERT_EQ(test::run_tarn(dir.path(), "FREE"), 0);
  float x[2] = {0.0f, 0.0f};
  predicted(test::read_file(dir.file("FREE.FUL")), x);
  const test::Summary sum = test::last_summary(test::read_file(dir.file("FREE.BRF")));
  std::printf("NACA 0012, M 0.2, R 3E6, %.1f deg, Ncrit 9   tarn     XFOIL    difference\n"
              "  transition, upper surface           %7.4f  %7.4f  %+8.4f\n"
              "  transition, lower surface           %7.4f  %7.4f  %+8.4f\n"
              "  drag CDV+CD2                        %7.5f  %7.5f  %+7.1f %%\n",
              alpha, x[0], xtu, x[0] - xtu, x[1], xtl, x[1] - xtl, sum.cdv_cd2, cd, 100.0 * (sum.cdv_cd2 / cd - 1.0));
  EXPECT_NEAR(x[0], xtu, 0.05f);
  EXPECT_NEAR(x[1], xtl, 0.05f);
  EXPECT_NEAR(sum.cdv_cd2, cd, 0.10f * cd);
}

INSTANTIATE_TEST_SUITE_P(Incidences, FreeTransition, ::testing::Values(0.0f, 2.0f, 5.5f));

}  // namespace
}  // namespace tarn
