// The surface spline and the complex transform of the geometry step.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "geometry/geometry.h"
#include "geometry/mapping_steps.h"
#include "run/run.h"
#include "run_stop.h"
#include "units.h"

namespace tarn {
namespace {

struct Fit {
  std::vector<float> s, f, fp, fpp, fppp;
  explicit Fit(std::vector<float> abscissae) : s(std::move(abscissae)) {
    size_t n = s.size();
    f.resize(n);
    fp.resize(n);
    fpp.resize(n);
    fppp.resize(n);
  }
  int n() const { return static_cast<int>(s.size()); }
};

std::vector<float> evenly(float from, float to, int n) {
  std::vector<float> v(n);
  for (int i = 0; i < n; ++i) v[i] = from + (to - from) * static_cast<float>(i) / static_cast<float>(n - 1);
  return v;
}

Fit fitted_cube(std::vector<float> s, int mode, float fom = 0.0f) {
  Fit c(std::move(s));
  for (int i = 0; i < c.n(); ++i) c.f[i] = c.s[i] * c.s[i] * c.s[i];
  float first = c.s.front(), last = c.s.back();
  SPLIF(mode, c.n(), c.s.data(), c.f.data(), c.fp.data(), c.fpp.data(), c.fppp.data(), kGivenSlope,
        3.0f * first * first, kGivenSlope, 3.0f * last * last, fom);
  return c;
}

TEST(Spline, ReproducesACubicExactly) {
  Fit c = fitted_cube(evenly(0.0f, 2.0f, 11), 1);
  for (int i = 0; i < c.n(); ++i) {
    float s = c.s[i];
    EXPECT_NEAR(c.fp[i], 3.0f * s * s, 1e-5f) << "s = " << s;
    EXPECT_NEAR(c.fpp[i], 6.0f * s, 1e-4f) << "s = " << s;
    EXPECT_NEAR(c.fppp[i], 6.0f, 1e-3f) << "s = " << s;  // a difference of moments over h
  }
  // Between the points as well.
  std::vector<float> x = {0.05f, 0.73f, 1.31f, 1.99f}, f(4), fp(4), fpp(4);
  spline_evaluate(1, 4, x.data(), f.data(), fp.data(), fpp.data(), 1, c.n(), c.s.data(), c.f.data(),
                  c.fp.data(), c.fpp.data(), c.fppp.data());
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(f[i], x[i] * x[i] * x[i], 1e-5f);
    EXPECT_NEAR(fp[i], 3.0f * x[i] * x[i], 1e-5f);
    EXPECT_NEAR(fpp[i], 6.0f * x[i], 1e-4f);
  }
}

TEST(Spline, IntegrationModeGivesTheExactIntegral) {
  const float start = 0.5f;
  Fit c = fitted_cube(evenly(0.0f, 2.0f, 9), -1, start);
  for (int i = 0; i < c.n(); ++i) {
    float s = c.s[i];
    EXPECT_NEAR(c.fppp[i], s * s * s * s / 4.0f + start, 1e-5f) << "s = " << s;
    EXPECT_NEAR(c.fp[i], 3.0f * s * s, 1e-5f);
  }
}

TEST(Spline, DecreasingAbscissaeFitAndSearchInTheirOwnDirection) {
  Fit c = fitted_cube(evenly(2.0f, 0.0f, 11), 1);
  for (int i = 0; i < c.n(); ++i) EXPECT_NEAR(c.fp[i], 3.0f * c.s[i] * c.s[i], 1e-5f);
  // Outputs in rising order against a falling table are still all found.
  std::vector<float> x = {0.1f, 0.9f, 1.7f}, f(3);
  spline_evaluate(1, 3, x.data(), f.data(), nullptr, nullptr, 1, c.n(), c.s.data(), c.f.data(), c.fp.data(),
                  c.fpp.data(), c.fppp.data());
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(f[i], x[i] * x[i] * x[i], 1e-5f) << "x = " << x[i];
}

TEST(Spline, EvaluationAtTablePointsReturnsTheTableValues) {
  Fit c(evenly(0.0f, 3.0f, 7));
  for (int i = 0; i < c.n(); ++i) c.f[i] = std::sin(c.s[i]);
  SPLIF(1, c.n(), c.s.data(), c.f.data(), c.fp.data(), c.fpp.data(), c.fppp.data(), kGivenThird, 0.0f,
        kGivenThird, 0.0f);
  std::vector<float> f(c.n()), fp(c.n()), fpp(c.n());
  spline_evaluate(1, c.n(), c.s.data(), f.data(), fp.data(), fpp.data(), 1, c.n(), c.s.data(), c.f.data(),
                  c.fp.data(), c.fpp.data(), c.fppp.data());
  for (int i = 0; i < c.n() - 1; ++i) {
    EXPECT_EQ(f[i], c.f[i]);
    EXPECT_EQ(fp[i], c.fp[i]);
    EXPECT_EQ(fpp[i], c.fpp[i]);
  }
  EXPECT_NEAR(f.back(), c.f.back(), 1e-6f);
}

TEST(Spline, ThreePointsAreEnoughForAQuadratic) {
  Fit c({0.0f, 1.0f, 3.0f});
  for (int i = 0; i < 3; ++i) c.f[i] = c.s[i] * c.s[i];
  SPLIF(1, 3, c.s.data(), c.f.data(), c.fp.data(), c.fpp.data(), c.fppp.data(), kGivenSecond, 2.0f, kGivenSecond,
        2.0f);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(c.fp[i], 2.0f * c.s[i], 1e-5f);
    EXPECT_NEAR(c.fpp[i], 2.0f, 1e-5f);
  }
}

int failed_fit_status(std::vector<float> s) {
  units().capture(kListing);
  Fit c(std::move(s));
  try {
    SPLIF(1, c.n(), c.s.data(), c.f.data(), c.fp.data(), c.fpp.data(), c.fppp.data(), kGivenSlope, 0.0f,
          kGivenSlope, 0.0f);
  } catch (const RunStop& stop) {
    return stop.status;
  }
  return kExitOk;
}

TEST(Spline, TooFewOrUnorderedPointsStopTheRunWithTheMessage) {
  for (const auto& s : {std::vector<float>{0.0f, 1.0f}, std::vector<float>{0.0f, 0.0f, 1.0f},
                        std::vector<float>{0.0f, 1.0f, 0.5f, 2.0f}, std::vector<float>{0.0f, 1.0f, 1.0f, 2.0f}}) {
    EXPECT_EQ(failed_fit_status(s), kExitFailure);
    EXPECT_EQ(units().captured(kListing), " ** SPLIF ERROR\n");
  }
}

// A direct sum in double precision as the reference.
std::vector<std::complex<double>> direct_transform(const std::vector<Complex>& z, int sign) {
  const size_t m = z.size();
  std::vector<std::complex<double>> out(m);
  const double pi = std::acos(-1.0);
  for (size_t k = 0; k < m; ++k)
    for (size_t j = 0; j < m; ++j)
      out[k] += std::complex<double>(z[j]) * std::polar(1.0, sign * 2.0 * pi * double(j * k % m) / double(m));
  return out;
}

TEST(ComplexTransform, MatchesTheDirectSumForAnyLength) {
  static TransformTables tables;
  for (int m : {80, 75, 48, 79, 64, 4}) {
    prepare_transform(tables, m);
    std::vector<Complex> z(m), work(m);
    for (int j = 0; j < m; ++j) z[j] = Complex(std::sin(0.37f * j * j + 1.0f), std::cos(1.3f * j) - 0.2f);
    for (int sign : {+1, -1}) {
      std::vector<Complex> t = z;
      complex_transform(tables, t.data(), work.data(), sign);
      auto ref = direct_transform(z, sign);
      for (int k = 0; k < m; ++k) {
        EXPECT_NEAR(t[k].real(), ref[k].real(), 2e-4) << "M = " << m << " k = " << k << " sign " << sign;
        EXPECT_NEAR(t[k].imag(), ref[k].imag(), 2e-4) << "M = " << m << " k = " << k << " sign " << sign;
      }
    }
  }
}

}  // namespace
}  // namespace tarn
