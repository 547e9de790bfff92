// The adaptive Runge-Kutta integrator of the boundary layer: order of
// accuracy, step control and its failure line.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "boundary_layer/layer.h"
#include "run/run.h"
#include "support.h"
#include "units.h"

namespace tarn {
namespace {

constexpr float kLoose = 1.0e6f;  // accuracy that accepts every step

// Harmonic oscillator y1' = y2, y2' = -y1 integrated over [0, 4] in equal
// intervals, one integrator call (and one step) per interval; returns the
// largest error against cos and -sin.
double oscillator_error(int intervals) {
  auto deriv = [](float, float (&y)[2], float (&f)[2]) {
    f[0] = y[1];
    f[1] = -y[0];
  };
  float y[2] = {1.0f, 0.0f}, f[2] = {}, x = 0.0f, h = 10.0f;
  VintWork<2> w;
  double worst = 0.0;
  for (int k = 1; k <= intervals; ++k) {
    const float xend = 4.0f * k / intervals;
    vint(deriv, h, x, y, xend, kLoose, 10, f, w);
    worst = std::max({worst, std::fabs(y[0] - std::cos(double(xend))), std::fabs(y[1] + std::sin(double(xend)))});
  }
  return worst;
}

TEST(Integrator, ErrorFallsWithTheFourthPowerOfTheStep) {
  const double e1 = oscillator_error(10), e2 = oscillator_error(20), e3 = oscillator_error(40);
  EXPECT_NEAR(std::log2(e1 / e2), 4.0, 0.3);
  EXPECT_NEAR(std::log2(e2 / e3), 4.0, 0.3);
}

TEST(Integrator, NonAutonomousQuadratureIsSimpsonAccurate) {
  // y' = 3x^2 + 1: a cubic integrand is integrated exactly in one step, and
  // the error estimate sees nothing, so the step doubles.
  auto deriv = [](float x, float (&)[1], float (&f)[1]) { f[0] = 3.0f * x * x + 1.0f; };
  float y[1] = {0.0f}, f[1] = {}, x = 0.0f, h = 0.25f;
  VintWork<1> w;
  vint(deriv, h, x, y, 2.0f, 1.0e-6f, 100, f, w);
  EXPECT_EQ(x, 2.0f);
  EXPECT_NEAR(y[0], 10.0f, 1.0e-5f);
}

// Records the abscissae at which the derivative is evaluated.
struct Recorder {
  std::vector<float> xs;
  float slope = 0.0f;  // f = slope (constant), or f = y when slope is 0
  void operator()(float x, float (&y)[1], float (&f)[1]) {
    xs.push_back(x);
    f[0] = slope != 0.0f ? slope : y[0];
  }
};

TEST(Integrator, StepDoublesWhileErrorIsSmallAndLastStepLandsOnTheEnd) {
  Recorder r;
  r.slope = 1.0f;  // linear solution: the error estimate is zero
  float y[1] = {0.0f}, f[1] = {}, x = 0.0f, h = 0.3f;
  VintWork<1> w;
  vint(r, h, x, y, 1.0f, 1.0e-4f, 100, f, w);
  ASSERT_EQ(r.xs.size(), 18u);  // three steps of six evaluations
  EXPECT_EQ(r.xs[0], 0.0f);     // first evaluation at the start of each step
  EXPECT_FLOAT_EQ(r.xs[6], 0.3f);
  EXPECT_FLOAT_EQ(r.xs[12], 0.9f);  // second step was 0.6
  EXPECT_EQ(x, 1.0f);               // exactly on the end point
  EXPECT_EQ(h, 4.0f * 0.3f);        // the cut last step leaves the doubled step
  EXPECT_NEAR(y[0], 1.0f, 1.0e-6f);
}

TEST(Integrator, RejectionHalvesTheStepActuallyUsedAndResumesWithoutReevaluating) {
  // y' = y over [0, 1] with a step of 10: the first step is cut to 1, its
  // error (about 1.6 %) exceeds 5 ACC = 0.5 %, and the retry uses 0.5.
  Recorder r;
  float y[1] = {1.0f}, f[1] = {}, x = 0.0f, h = 10.0f;
  VintWork<1> w;
  vint(r, h, x, y, 1.0f, 1.0e-3f, 100, f, w);
  ASSERT_GE(r.xs.size(), 11u);
  EXPECT_EQ(r.xs[1], 0.5f);   // stages of the rejected step of 1
  EXPECT_EQ(r.xs[6], 0.25f);  // retry: no evaluation at x = 0, first stage at 0.5/2
  EXPECT_EQ(h, 0.5f);         // neither grown nor halved again (error between the tolerances)
  EXPECT_EQ(x, 1.0f);
  EXPECT_NEAR(y[0], std::exp(1.0), 2.0e-3);
}

class IntegratorFailure : public ::testing::Test {
 protected:
  void SetUp() override { units().capture(kListing); }
  std::string listing() const { return units().captured(kListing); }
};

TEST_F(IntegratorFailure, ZeroIntervalOrStepWritesTheFailureLineAndLeavesYAlone) {
  Recorder r;
  float y[1] = {2.0f}, f[1] = {}, x = 0.5f, h = 0.1f;
  VintWork<1> w;
  vint(r, h, x, y, 0.5f, 1.0e-4f, 100, f, w);
  EXPECT_EQ(listing(), " VINT S/R HAS FAILED H= 0.1000E+00XD= 0.5000E+00X= 0.5000E+00V0=   0\n");
  EXPECT_EQ(y[0], 2.0f);
  EXPECT_TRUE(r.xs.empty());
  h = 0.0f;  // a zero step fails the same way
  vint(r, h, x, y, 1.0f, 1.0e-4f, 100, f, w);
  EXPECT_EQ(test::lines_of(listing()).size(), 2u);
  EXPECT_TRUE(r.xs.empty());
}

TEST_F(IntegratorFailure, TooManyStepsFailsAndReturnsAConsistentState) {
  Recorder r;
  r.slope = 1.0f;
  float y[1] = {0.0f}, f[1] = {}, x = 0.0f, h = 0.01f;
  VintWork<1> w;
  vint(r, h, x, y, 1.0f, 1.0e-4f, 2, f, w);
  EXPECT_EQ(listing(), " VINT S/R HAS FAILED H= 0.4000E-01XD= 0.1000E+01X= 0.3000E-01V0=   3\n");
  EXPECT_FLOAT_EQ(y[0], x);  // the solution belongs to the abscissa returned
}

}  // namespace
}  // namespace tarn
