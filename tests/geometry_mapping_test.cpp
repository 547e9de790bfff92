// The conformal mapping: the mapped surface against the input contour,
// exact Karman-Trefftz values, symmetry, the metric and the grid-data file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "geometry_cases.h"
#include "run/run.h"
#include "support.h"
#include "units.h"

namespace tarn {
namespace {

using test::run_geometry;
using test::shared_text;

constexpr double kDegree = 3.14159265358979 / 180.0;

struct Mapped {
  std::unique_ptr<FlowState> fs = std::make_unique<FlowState>();
  std::string aerofoil;
  Mapped(const std::string& file, int nsg, const std::string& control = test::mapping_control()) {
    aerofoil = shared_text("aerofoils/" + file);
    if (!aerofoil.empty()) run_geometry(*fs, aerofoil, nsg, control);
  }
  int n() const { return fs->grid.NSG; }
  int mr() const { return fs->grid.MR; }
};

#define SKIP_WITHOUT_SHARED_DATA(m) \
  if ((m).aerofoil.empty()) GTEST_SKIP() << test::needs_shared("aerofoils/")

// Largest distance of the mapped surface nodes from the input contour: row 1
// of the grid coordinates and the surface re-normalised to unit chord.
TEST(MappedSurface, LiesOnTheAerofoilWithin2E4Chord) {
  struct Case {
    const char* file;
    int nsg;
  };
  const Case cases[] = {{"NACA0012.DAT", 160}, {"NACA0012.DAT", 96}, {"NACA0012B.DAT", 160}, {"NACA0012B.DAT", 96},
                        {"RAE2822.DAT", 160},  {"RAE2822.DAT", 96},  {"KTA.DAT", 160},       {"KTA.DAT", 96},
                        {"KTB.DAT", 160},      {"KTB.DAT", 96},      {"NACA0012.DAT", 150}};
  std::printf("%-14s %4s %12s %12s %14s %4s %10s\n", "aerofoil", "N", "grid row 1", "unit chord", "MAX S ERROR",
              "its", "sigma");
  for (const Case& c : cases) {
    Mapped m(c.file, c.nsg);
    SKIP_WITHOUT_SHARED_DATA(m);
    test::ReferenceContour contour(m.aerofoil);
    const Mapping& map = m.fs->map;
    double grid_row = 0.0, unit_chord = 0.0;
    float lo = 1.0f, hi = 0.0f;
    for (int i = 1; i <= m.n() + 1; ++i) {
      grid_row = std::fmax(grid_row, contour.distance(map.XG(i, 1), map.ZG(i, 1)));
      unit_chord = std::fmax(unit_chord, contour.distance(map.XZ(i, 1), map.XZ(i, 2)));
      lo = std::fmin(lo, map.XZ(i, 1));
      hi = std::fmax(hi, map.XZ(i, 1));
    }
    std::printf("%-14s %4d %12.3e %12.3e %14.7f %4d %10.6f\n", c.file, c.nsg, grid_row, unit_chord, map.SERR,
                map.NITER, map.SIGMA);
    EXPECT_LT(grid_row, 2.0e-4) << c.file << " on " << c.nsg << " lines";
    EXPECT_LT(unit_chord, 2.0e-4) << c.file << " on " << c.nsg << " lines";
    EXPECT_EQ(lo, 0.0f);  // the re-normalised surface spans the unit chord exactly
    EXPECT_EQ(hi, 1.0f);
  }
}

// Karman-Trefftz sections: the map is known exactly. A unit circle about
// mu through zeta = 1 has radius |1 - mu|; far away z ~ zeta times that
// radius, so sigma = chord of the map / |1 - mu|; the zero-lift direction is
// the incidence the rotation cancels (0 for the symmetric section on either
// mesh); the trailing-edge angle is tau.
TEST(KarmanTrefftz, SigmaRotationAndTrailingEdgeAngleMatchTheExactMap) {
  struct Exact {
    const char* file;
    double mux, muy, chord, zero_lift_deg, tau_deg;
  };
  const Exact sections[] = {{"KTA.DAT", -0.1, 0.0, 3.947403054256, 0.0, 8.0},
                            {"KTB.DAT", -0.08, 0.08, 3.913844051999, -4.180737350499, 10.0}};
  for (const Exact& e : sections) {
    for (int nsg : {160, 96}) {
      Mapped m(e.file, nsg);
      SKIP_WITHOUT_SHARED_DATA(m);
      const Mapping& map = m.fs->map;
      double sigma = e.chord / std::hypot(1.0 - e.mux, e.muy);
      EXPECT_NEAR(map.SIGMA, sigma, 2e-5 * sigma) << e.file << " on " << nsg << " lines";
      EXPECT_NEAR(map.ROT, -e.zero_lift_deg * kDegree, 0.002 * kDegree) << e.file << " on " << nsg << " lines";
      EXPECT_NEAR(map.EPS, e.tau_deg / 180.0, 1e-4) << e.file;
      EXPECT_EQ(map.B2(1), -map.ROT);
    }
  }
}

// Mirrored to the rounding of a mapping converged to MAX S ERROR below 1E-6.
TEST(Metric, SymmetricSectionGivesAMirroredMetric) {
  Mapped m("NACA0012.DAT", 160);
  SKIP_WITHOUT_SHARED_DATA(m);
  const Field& h = m.fs->pot.H;
  const int n = m.n();
  for (int k = 1; k <= m.mr() + 1; ++k)
    for (int i = 2; i <= n; ++i)
      ASSERT_NEAR(h(i, k), h(n + 2 - i, k), 1e-4f * h(i, k) + 1e-6f) << "i = " << i << " k = " << k;
  EXPECT_NEAR(m.fs->map.ROT, 0.0f, 1e-5f);
}

TEST(Metric, FarFieldIsOneAndTheCutColumnRepeats) {
  Mapped m("RAE2822.DAT", 96);
  SKIP_WITHOUT_SHARED_DATA(m);
  const Field& h = m.fs->pot.H;
  const int n = m.n(), mr = m.mr();
  for (int i = 1; i <= n + 2; ++i) EXPECT_EQ(h(i, mr + 1), 1.0f) << "i = " << i;
  for (int k = 1; k <= mr + 1; ++k) EXPECT_EQ(h(n + 2, k), h(2, k)) << "k = " << k;
  EXPECT_EQ(h(1, 1), 0.0f);  // the trailing-edge corner
  EXPECT_EQ(h(n + 1, 1), 0.0f);
  for (int k = 2; k <= mr; ++k) EXPECT_GT(h(1, k), 0.0f);
}

// The metric is the squared length of a grid step in the physical plane
// (scaled by sigma): sqrt(H) r / sigma times the step in theta is the
// distance between neighbouring nodes on a circle.
TEST(Metric, MatchesTheSpacingOfTheMappedGrid) {
  Mapped m("RAE2822.DAT", 160);
  SKIP_WITHOUT_SHARED_DATA(m);
  const Mapping& map = m.fs->map;
  const Grid& g = m.fs->grid;
  for (int k = 2; k <= m.mr(); k += 4) {
    for (int i = 2; i <= m.n(); i += 7) {
      double spacing = std::hypot(map.XG(i + 1, k) - map.XG(i - 1, k), map.ZG(i + 1, k) - map.ZG(i - 1, k)) /
                       (2.0 * g.DTH);
      double metric = std::sqrt(m.fs->pot.H(i, k)) * g.R(k) / map.SIGMA;
      EXPECT_NEAR(spacing, metric, 2e-3 * metric) << "i = " << i << " k = " << k;
    }
  }
}

// A conformal map keeps right angles: rays cross the circles squarely, and
// every circle closes on itself.
TEST(MappedGrid, IsOrthogonalAndEveryCircleCloses) {
  Mapped m("KTB.DAT", 160);
  SKIP_WITHOUT_SHARED_DATA(m);
  const Mapping& map = m.fs->map;
  const int n = m.n(), mr = m.mr();
  for (int k = 2; k < mr; ++k) {
    for (int i = 2; i <= n; i += 3) {
      double rx = map.XG(i, k + 1) - map.XG(i, k - 1), rz = map.ZG(i, k + 1) - map.ZG(i, k - 1);
      double cx = map.XG(i + 1, k) - map.XG(i - 1, k), cz = map.ZG(i + 1, k) - map.ZG(i - 1, k);
      double cosine = (rx * cx + rz * cz) / (std::hypot(rx, rz) * std::hypot(cx, cz));
      EXPECT_LT(std::fabs(cosine), 0.01) << "i = " << i << " k = " << k;
    }
  }
  for (int k = 1; k <= mr; ++k) {
    double circumference = 2.0 * 3.14159265 * m.fs->grid.R(k) / map.SIGMA;
    EXPECT_NEAR(map.XG(n + 1, k), map.XG(1, k), 1e-4 * circumference) << "k = " << k;
    EXPECT_NEAR(map.ZG(n + 1, k), map.ZG(1, k), 1e-4 * circumference) << "k = " << k;
  }
}

}  // namespace
}  // namespace tarn
