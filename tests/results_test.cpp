// Surface pressures, forces and the inviscid listings, checked against exact
// incompressible solutions, symmetry and the reference values of other
// methods; the smoothing near the trailing edge; continuation from a dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "results/results.h"
#include "run_files.h"
#include "support.h"

namespace tarn {
namespace {

using test::RunSetup;
using test::TempDir;

RunSetup inviscid(float em, float alp) {
  RunSetup s;
  s.viscous = false;
  s.dump = false;
  s.em = em;
  s.alp = alp;
  return s;
}

// An exact solution as one polyline round the section (lower surface from
// the trailing edge to the nose, then the upper surface) with Cp per point.
struct ExactContour {
  std::vector<double> x, z, cp;
  // Cp at the point of the contour nearest to (xq, zq), interpolated along
  // the nearest segment: the nose is steep in x, so points are matched in
  // the plane rather than by x alone.
  double at(double xq, double zq) const {
    double best = 1e30, value = NAN;
    for (size_t k = 1; k < x.size(); ++k) {
      double dx = x[k] - x[k - 1], dz = z[k] - z[k - 1], len2 = dx * dx + dz * dz;
      if (len2 == 0.0) continue;
      double t = std::clamp(((xq - x[k - 1]) * dx + (zq - z[k - 1]) * dz) / len2, 0.0, 1.0);
      double ex = x[k - 1] + t * dx - xq, ez = z[k - 1] + t * dz - zq, d2 = ex * ex + ez * ez;
      if (d2 < best) {
        best = d2;
        value = cp[k - 1] + t * (cp[k] - cp[k - 1]);
      }
    }
    return value;
  }
};

ExactContour read_exact(const std::string& path) {
  std::vector<std::array<double, 3>> upper, lower;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || (line[0] != 'U' && line[0] != 'L')) continue;
    std::istringstream row(line.substr(1));
    double x, z, q, cp;
    row >> x >> z >> q >> cp;
    (line[0] == 'U' ? upper : lower).push_back({x, z, cp});
  }
  ExactContour c;
  for (auto it = lower.rbegin(); it != lower.rend(); ++it) {
    c.x.push_back((*it)[0]);
    c.z.push_back((*it)[1]);
    c.cp.push_back((*it)[2]);
  }
  for (size_t k = 1; k < upper.size(); ++k) {
    c.x.push_back(upper[k][0]);
    c.z.push_back(upper[k][1]);
    c.cp.push_back(upper[k][2]);
  }
  return c;
}

// Rows of the surface table of the results listing: x, z, Cp.
std::vector<std::array<float, 3>> surface_table(const std::string& full) {
  std::vector<std::array<float, 3>> rows;
  for (const auto& line : test::lines_of(full)) {
    float t, x, z, cp, pp, eml;
    if (line.size() == 59 && std::sscanf(line.c_str(), "%f %f %f %f %f %f", &t, &x, &z, &cp, &pp, &eml) == 6)
      rows.push_back({x, z, cp});
  }
  return rows;
}

struct ExactCase {
  const char* aerofoil;
  const char* exact;
  float alp, cl, cm;  // incidence to the chord line; exact lift and moment about the quarter chord
};

void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.aerofoil; }

class ExactIncompressible : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactIncompressible, NearlyIncompressibleFlowMatchesTheExactLiftAndPressures) {
  const ExactCase& c = GetParam();
  std::string aerofoil = test::shared_file(std::string("aerofoils/") + c.aerofoil);
  std::string exact = test::shared_file(std::string("reference/") + c.exact);
  if (aerofoil.empty()) GTEST_SKIP() << test::needs_shared(std::string("aerofoils/") + c.aerofoil);
  TempDir dir;
  const float em = 0.05f;
  RunSetup s = inviscid(em, c.alp);
  s.aerofoil = c.aerofoil;
  s.aerofoil_source = aerofoil;
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  std::string brf = test::read_file(dir.file(s.name + ".BRF"));
  test::Summary sum = test::last_summary(brf);
  float compressibility = 1.0f / std::sqrt(1.0f - em * em);
  float cl_exact = c.cl * compressibility, cm_exact = c.cm * compressibility;
  EXPECT_NEAR(sum.cl, cl_exact, 0.015f * cl_exact);
  EXPECT_NEAR(sum.cm, cm_exact, 2.0e-4f);
  std::printf("%s: CL %.5f, exact %.5f (%.3f %%); CM %.5f, exact %.5f\n", c.aerofoil, sum.cl, cl_exact,
              100.0 * (sum.cl / cl_exact - 1.0), sum.cm, cm_exact);

  ExactContour ref = read_exact(exact);
  auto rows = surface_table(test::read_file(dir.file(s.name + ".FUL")));
  ASSERT_EQ(rows.size(), 161u);
  float worst = 0.0f;
  for (auto [x, z, cp] : rows) {
    if (x >= 0.8f) continue;
    double e = ref.at(x, z);
    worst = std::max(worst, static_cast<float>(std::fabs(cp - e)));
    EXPECT_NEAR(cp, e, 0.02) << "x = " << x << ", z = " << z;
  }
  std::printf("%s: largest CP difference ahead of x = 0.8: %.4f\n", c.aerofoil, worst);
}

INSTANTIATE_TEST_SUITE_P(KarmanTrefftz, ExactIncompressible,
                         ::testing::Values(ExactCase{"KTA.DAT", "KTA_exact.txt", 3.0f, 0.366540f, -0.004560f},
                                           ExactCase{"KTB.DAT", "KTB_exact.txt", 2.0f, 0.748727f, -0.123093f}),
                         [](const ::testing::TestParamInfo<ExactCase>& info) {
                           return std::string(info.param.aerofoil).substr(0, 3);
                         });

TEST(InviscidNaca0012, ZeroIncidenceGivesNoLiftAndNoMoment) {
  TempDir dir;
  RunSetup s = inviscid(0.5f, 0.0f);
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  test::Summary sum = test::last_summary(test::read_file(dir.file(s.name + ".BRF")));
  ASSERT_TRUE(sum.found);
  EXPECT_NEAR(sum.cl, 0.0f, 5.0e-5f);
  EXPECT_NEAR(sum.cm, 0.0f, 5.0e-5f);
}

// The largest correction of each sweep, from the iteration history.
std::vector<float> corrections(const std::string& history) {
  std::vector<float> res;
  for (const auto& line : test::lines_of(history)) {
    float r, cl;
    if (std::sscanf(line.c_str(), "%f %f", &r, &cl) == 2) res.push_back(r);
  }
  return res;
}

TEST(InviscidNaca0012, SubcriticalFlowConvergesToTheReferenceLift) {
  TempDir dir;
  RunSetup s = inviscid(0.5f, 2.0f);
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  test::Summary sum = test::last_summary(test::read_file(dir.file(s.name + ".BRF")));
  const float reference = 0.2920f;  // inviscid panel method at M = 0.5
  EXPECT_NEAR(sum.cl, reference, 0.03f * reference);
  std::string history = test::read_file(dir.file(s.name + ".IEH"));
  auto res = corrections(history);
  ASSERT_EQ(res.size(), 300u);
  EXPECT_LT(res.back(), 1.0e-3f * res.front());
  float estimate = 0;  // the lift estimate 2 gamma / sigma of the last sweep
  std::sscanf(test::lines_of(history).back().c_str(), "%*f %f", &estimate);
  EXPECT_NEAR(estimate, reference, 0.03f * reference);
  std::printf("NACA 0012 M 0.5 2 deg: CL %.5f (reference %.4f, %.2f %%); correction %.3g -> %.3g\n", sum.cl,
              reference, 100.0 * (sum.cl / reference - 1.0), res.front(), res.back());
}

TEST(InviscidNaca0012, TransonicFlowFormsOneUpperShockAndItsWaveDrag) {
  TempDir dir;
  RunSetup s = inviscid(0.8f, 1.25f);
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  std::string full = test::read_file(dir.file(s.name + ".FUL"));
  // A supersonic region on the upper surface: local Mach numbers above 1 in
  // the surface table (last column).
  int supersonic = 0;
  for (const auto& line : test::lines_of(full)) {
    float t, x, z, cp, pp, eml;
    if (std::sscanf(line.c_str(), "%f %f %f %f %f %f", &t, &x, &z, &cp, &pp, &eml) == 6 && z > 0.0f && eml > 1.0f)
      ++supersonic;
  }
  EXPECT_GT(supersonic, 5);
  size_t block = full.find(" SHOCK NO.  1 ON UPPER SURFACE.");
  ASSERT_NE(block, std::string::npos);
  EXPECT_EQ(full.find(" SHOCK NO.  2 ON UPPER SURFACE."), std::string::npos);
  float xs = 0;
  ASSERT_EQ(std::sscanf(full.c_str() + full.find(" X(SHOCK)=", block), " X(SHOCK)= %f", &xs), 1);
  EXPECT_GT(xs, 0.45f);
  EXPECT_LT(xs, 0.75f);
  test::Summary sum = test::last_summary(test::read_file(dir.file(s.name + ".BRF")));
  for (float cd : {sum.cd1, sum.cd2}) {
    EXPECT_GT(cd, 0.003f);
    EXPECT_LT(cd, 0.05f);
  }
  // The correction falls: the last sweeps of each stage well below the first.
  auto res = corrections(test::read_file(dir.file(s.name + ".IEH")));
  ASSERT_EQ(res.size(), 300u);
  EXPECT_LT(res[99], 0.1f * res[0]);
  EXPECT_LT(res.back(), 0.1f * res[100]);
  std::printf("NACA 0012 M 0.8 1.25 deg: CL %.4f, shock at x = %.3f, CD1 %.5f, CD2 %.5f\n", sum.cl, xs, sum.cd1,
              sum.cd2);
}

TEST(InviscidListings, TablesAndListsHaveTheirHeadingsAndOneRowPerPoint) {
  TempDir dir;
  RunSetup s = inviscid(0.5f, 2.0f);
  s.nsg = 96;
  test::write_new_run(dir.path(), s);
  ASSERT_EQ(test::run_tarn(dir.path(), s.name), 0);
  auto full = test::lines_of(test::read_file(dir.file(s.name + ".FUL")));
  auto find = [&](const std::vector<std::string>& lines, const std::string& want) {
    return std::find(lines.begin(), lines.end(), want) - lines.begin();
  };
  size_t table = find(full, "     T        X         Z          CP        P/P0     EML");
  ASSERT_LT(table, full.size());
  EXPECT_EQ(full[table - 1], "");
  EXPECT_EQ(full[table - 2], "");
  EXPECT_EQ(full[table + 1].substr(0, 9), "    0.000");           // trailing edge, circle angle 0
  EXPECT_EQ(full[table + 97].substr(0, 9), "  360.000");          // NP = 97 rows, back at the trailing edge
  size_t wake = find(full, "                    WAKE DATA");
  ASSERT_LT(wake, full.size());
  EXPECT_EQ(full[wake + 3], "       X          CP(U)     P/P0(U)  EML(U)     CP(L)       P/P0(L)   EML(L)");
  EXPECT_EQ(full[wake + 4].substr(0, 11), "    1.00000");        // first wake point at the trailing edge
  EXPECT_EQ(full[wake + 4].size(), 77u);
  EXPECT_EQ(full[wake + 20], "");                                // MR = 16 rows, then the summary
  EXPECT_EQ(full[wake + 21].substr(0, 9), "   EM =  ");
  auto brf = test::lines_of(test::read_file(dir.file(s.name + ".BRF")));
  size_t upper = find(brf, "    Upper surface CP values             ");
  size_t lower = find(brf, "    Lower surface CP values             ");
  ASSERT_LT(upper, brf.size());
  ASSERT_LT(lower, brf.size());
  EXPECT_EQ(brf[upper + 1], "        X          CP                   ");
  EXPECT_EQ(lower - upper - 2, 49u);  // leading edge to upper trailing edge
  EXPECT_EQ(brf[upper + 2].substr(0, 13), "      0.00000");  // both lists start at the nose
  EXPECT_EQ(brf[lower + 2].substr(0, 13), "      0.00000");
}

// A run split by a dump: the first part dumps after `first` fine sweeps, a
// continuation does the rest. The viscous continuation reads no coupling
// record, so the update schedule carries on as in one stage.
struct SplitCase {
  const char* name;
  bool viscous;
  float em;
  int nsc, nsf, first;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class Continuation : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Continuation, DumpedRunContinuedGivesTheSameResultsAsOneRun) {
  const SplitCase& c = GetParam();
  TempDir dir;
  RunSetup whole = inviscid(c.em, c.viscous ? 2.0f : 1.0f);
  whole.viscous = c.viscous;
  whole.nsc = c.nsc;
  whole.nsf = c.nsf;
  whole.name = "WHOLE";
  test::write_new_run(dir.path(), whole);
  ASSERT_EQ(test::run_tarn(dir.path(), whole.name), 0);

  RunSetup first = whole;
  first.name = "FIRST";
  first.nsf = c.first;
  first.dump = true;
  test::write_new_run(dir.path(), first);
  ASSERT_EQ(test::run_tarn(dir.path(), first.name), 0);

  RunSetup second = first;
  second.name = "SECOND";
  second.dump = false;
  second.nsc = 0;
  second.nsf = c.nsf - c.first;
  second.coupling_records = false;
  test::write_continuation_run(dir.path(), second, "FIRST.UNF");
  ASSERT_EQ(test::run_tarn(dir.path(), second.name), 0);

  test::Summary a = test::last_summary(test::read_file(dir.file("WHOLE.BRF")));
  test::Summary b = test::last_summary(test::read_file(dir.file("SECOND.BRF")));
  ASSERT_TRUE(a.found && b.found);
  for (auto [x, y] : {std::pair{a.cl, b.cl}, {a.cm, b.cm}, {a.cdp, b.cdp}, {a.cdf, b.cdf}, {a.cdv, b.cdv}})
    EXPECT_EQ(x, y) << "CL " << a.cl << " " << b.cl << ", CM " << a.cm << " " << b.cm;
  std::printf("%s split by a dump: CL %.5f %.5f, CM %.5f %.5f, CDP %.5f %.5f, CDF %.5f %.5f, CDV %.5f %.5f\n",
              c.name, a.cl, b.cl, a.cm, b.cm, a.cdp, b.cdp, a.cdf, b.cdf, a.cdv, b.cdv);
  for (const char* ext : {".FUL", ".BRF"}) {
    std::string listing = test::read_file(dir.file(std::string("SECOND") + ext));
    EXPECT_NE(listing.find(" AEROFOIL DATA FILE TITLE:"), std::string::npos) << ext;
    EXPECT_NE(listing.find("RETRIEVED FROM FLOW FIELD CALCULATION FOR  EM = "), std::string::npos) << ext;
  }
}

// The viscous case carries the relaxed wake curvature jumps through the
// refinement and the dump.
INSTANTIATE_TEST_SUITE_P(Split, Continuation,
                         ::testing::Values(SplitCase{"inviscid", false, 0.7f, 0, 200, 100},
                                           SplitCase{"viscous", true, 0.75f, 100, 60, 30}));

// A surface of NP points, all behind x = 0.9 (full smoothing) or ahead of
// x = 0.8 (none), with a spike in the middle.
FlowState spiked(int nsg, float x) {
  FlowState fs;
  fs.grid.NSG = nsg;
  fs.grid.MR = nsg > 100 ? 30 : 16;
  for (int i = 1; i <= nsg + 1; ++i) fs.res.X(i) = x;
  return fs;
}

int spread(const RVec<kMaxRound>& f, int np) {
  int first = np, last = 1;
  for (int i = 1; i <= np; ++i)
    if (f(i) != 0.0f) {
      first = std::min(first, i);
      last = std::max(last, i);
    }
  return last - first;
}

TEST(Smoothing, CoarseMeshesUseThreePointPassesAndFineMeshesFivePointPasses) {
  for (auto [nsg, width] : {std::pair{96, 6}, {160, 44}}) {
    FlowState fs = spiked(nsg, 0.95f);
    RVec<kMaxRound> f;
    f(nsg / 2) = 1.0f;
    trailing_edge_smoothing(fs, f);
    EXPECT_EQ(spread(f, nsg + 1), width) << nsg;  // 3 passes reach 3 points, 11 passes of 5 points reach 22
    float sum = 0.0f;
    for (int i = 1; i <= nsg + 1; ++i) sum += f(i);
    EXPECT_NEAR(sum, 1.0f, 1.0e-5f) << nsg;  // the filters conserve the sum
  }
}

TEST(Smoothing, PointsAheadOfEightyPerCentChordKeepTheirValuesExactly) {
  FlowState fs = spiked(160, 0.5f);
  RVec<kMaxRound> f;
  for (int i = 1; i <= 161; ++i) f(i) = std::sin(0.37f * static_cast<float>(i * i));
  RVec<kMaxRound> before = f;
  for (int i = 1; i <= 161; ++i) fs.res.X(i) = i < 80 ? 0.5f : 0.85f;
  trailing_edge_smoothing(fs, f);
  for (int i = 1; i < 80; ++i) ASSERT_EQ(f(i), before(i)) << i;
  for (int i = 80; i <= 160; ++i) EXPECT_NE(f(i), before(i)) << i;
}

}  // namespace
}  // namespace tarn
