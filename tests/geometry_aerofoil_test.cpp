// The aerofoil data file, the mapping-control records, the densified surface
// with its table, and the listings and grid-data file of the geometry step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "geometry_cases.h"
#include "run/run.h"
#include "run_files.h"
#include "run_stop.h"
#include "support.h"
#include "units.h"

namespace tarn {
namespace {

using test::lines_of;
using test::mapping_control;
using test::run_geometry;

// NACA 0012 with a closed trailing edge, n cosine-spaced points a surface.
std::string naca0012(int n, bool symmetric = true, const std::string& title = "SYNTHETIC NACA 0012") {
  std::string text = title + "\n" + (symmetric ? "1 " : "0 ") + std::to_string(n) + " " + std::to_string(n) +
                     " 0.0 1.0\n";
  const double pi = std::acos(-1.0);
  for (int side : {1, -1}) {
    for (int i = 0; i < n; ++i) {
      double x = 0.5 * (1.0 - std::cos(pi * i / (n - 1)));
      double z = 0.6 * (0.2969 * std::sqrt(x) - 0.1260 * x - 0.3516 * x * x + 0.2843 * x * x * x -
                        0.1036 * x * x * x * x);
      char line[64];
      std::snprintf(line, sizeof line, "%16.9e %16.9e\n", x, side * z);
      text += line;
    }
    if (symmetric) break;
  }
  return text;
}

struct Step {
  std::unique_ptr<FlowState> fs = std::make_unique<FlowState>();
  int status = kExitOk;
  std::string message;
  Step(const std::string& aerofoil, int nsg, const std::string& control = mapping_control(), float cn = 0.0f) {
    try {
      run_geometry(*fs, aerofoil, nsg, control, cn);
    } catch (const RunStop& stop) {
      status = stop.status;
      message = stop.what();
    }
  }
  std::vector<std::string> listing(int unit) const { return lines_of(units().captured(unit)); }
};

int count_lines_starting(const std::vector<std::string>& lines, const std::string& start) {
  int count = 0;
  for (const auto& l : lines) count += l.compare(0, start.size(), start) == 0;
  return count;
}

TEST(AerofoilFile, SymmetricFormGivesTheSameContourSigmaAndMetric) {
  std::string one = test::shared_text("aerofoils/NACA0012.DAT"), both = test::shared_text("aerofoils/NACA0012B.DAT");
  if (one.empty()) GTEST_SKIP() << test::needs_shared("aerofoils/NACA0012.DAT");
  Step a(one, 96), b(both, 96);
  ASSERT_EQ(a.status, kExitOk) << a.message;
  ASSERT_EQ(b.status, kExitOk) << b.message;
  const MappingWork &wa = a.fs->map.WORK, &wb = b.fs->map.WORK;
  ASSERT_EQ(wa.NC, 201);
  ASSERT_EQ(wb.NC, 201);
  for (int i = 1; i <= wa.NC; ++i) {
    EXPECT_EQ(wa.XC(i), wb.XC(i)) << "point " << i;
    EXPECT_EQ(wa.ZC(i), wb.ZC(i)) << "point " << i;
    EXPECT_EQ(wa.TH(i), wb.TH(i)) << "point " << i;
  }
  EXPECT_EQ(a.fs->map.SIGMA, b.fs->map.SIGMA);
  for (int k = 1; k <= 17; ++k)
    for (int i = 1; i <= 98; ++i) ASSERT_EQ(a.fs->pot.H(i, k), b.fs->pot.H(i, k)) << i << ", " << k;
}

TEST(AerofoilFile, JoinedContourRunsFromUpperTrailingEdgeRoundTheNose) {
  Step r(naca0012(21, false), 96);
  ASSERT_EQ(r.status, kExitOk) << r.message;
  const MappingWork& w = r.fs->map.WORK;
  ASSERT_EQ(w.NC, 41);
  EXPECT_EQ(w.TH(1), 0.0f);
  EXPECT_EQ(w.TH(21), kPi);  // the shared leading-edge point, once
  EXPECT_FLOAT_EQ(w.TH(41), kTwoPi);
  EXPECT_GT(w.ZC(20), 0.0f);
  EXPECT_LT(w.ZC(22), 0.0f);
  for (int i = 1; i <= w.NC; ++i) EXPECT_NEAR(w.XC(i), 0.5f * (1.0f + std::cos(w.TH(i))), 1e-6f) << i;
}

TEST(AerofoilFile, TitleIsKeptAndHeadsTheMappingInBothListings) {
  Step r(naca0012(31, true, "MY SECTION"), 96);
  ASSERT_EQ(r.status, kExitOk) << r.message;
  std::string padded = "MY SECTION" + std::string(70, ' ');
  EXPECT_EQ(r.fs->run.AEROTITLE, padded);
  for (int unit : {kListing, kBrief}) EXPECT_EQ(r.listing(unit).at(0), " FAST MAPPING FOR " + padded);
}

TEST(AerofoilFile, BadFilesStopTheRunWithTheConsoleLines) {
  std::string good = naca0012(31, false);
  std::string truncated = good.substr(0, good.size() / 3);
  std::string letters = good;
  letters.replace(letters.find("\n", letters.find("\n", letters.find("\n") + 1) + 1) + 3, 1, "x");
  struct Bad {
    const char* what;
    std::string text;
  };
  const Bad files[] = {{"empty", ""},
                       {"truncated", truncated},
                       {"non-numeric coordinate", letters},
                       {"counts record not numbers", "T\n1 A 3 0.0 1.0\n"},
                       {"251 upper points", "T\n1 251 251 0.0 1.0\n"},
                       {"251 lower points", "T\n0 31 251 0.0 1.0\n"},
                       {"one point a surface", "T\n1 1 1 0.0 1.0\n0.0 0.0\n"},
                       {"zero chord", "T\n1 3 3 0.5 0.5\n"}};
  for (const Bad& b : files) {
    Step r(b.text, 96);
    EXPECT_EQ(r.status, kExitBadInput) << b.what;
    auto console = lines_of(units().captured(kConsoleOut));
    ASSERT_EQ(console.size(), 3u) << b.what;
    EXPECT_EQ(console[0], "***** AEROFOIL DATA FILE ERROR *****");
    EXPECT_EQ(console[1], "***** CHECK DATA IN FILE *****");
    EXPECT_EQ(console[2], "***** PROGRAM TERMINATED *****");
  }
}

TEST(AerofoilFile, TruncatedFileStopsTheProgramWithoutAStatusRecord) {
  test::TempDir dir;
  test::RunSetup setup;
  test::write_new_run(dir.path(), setup);
  std::string file = naca0012(31);
  test::write_file(dir.file(setup.aerofoil), file.substr(0, file.size() / 2));
  auto r = test::run_program("tarn", dir.path(), setup.name + "\n");
  EXPECT_EQ(r.status, kExitBadInput);
  EXPECT_NE(r.out.find("***** AEROFOIL DATA FILE ERROR *****"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("***** PROGRAM TERMINATED *****"), std::string::npos);
  EXPECT_EQ(test::read_file(dir.file(setup.name + ".SEP")).find("    4"), std::string::npos);
}

TEST(MappingControl, RejectsLimitsTheArraysCannotHold) {
  std::string fifty_open, fifty_closed;
  for (int p = 1; p <= 50; ++p) fifty_open += "    " + std::to_string(p % 10) + "    1\n";
  fifty_closed = fifty_open.substr(0, fifty_open.size() - 11) + " 1000    1\n";
  EXPECT_EQ(Step(naca0012(31), 96, mapping_control(30, "11000", fifty_closed)).status, kExitOk);
  Step too_many(naca0012(31), 96, mapping_control(30, "11000", fifty_open + " 1000    1\n"));
  EXPECT_EQ(too_many.status, kExitBadInput);
  EXPECT_NE(too_many.message.find("more than 50 subdivision pairs"), std::string::npos) << too_many.message;
  Step no_iterations(naca0012(31), 96, mapping_control(0));
  EXPECT_EQ(no_iterations.status, kExitBadInput);
  EXPECT_NE(no_iterations.message.find("maximum number of mapping iterations"), std::string::npos);
  EXPECT_EQ(Step(naca0012(31), 96, mapping_control(30, "11000", " 1000    0\n")).status, kExitBadInput);
}

TEST(CamberCorrection, AddsAParabolicCamberLineAndNothingWhenCNIsZero) {
  std::string file = naca0012(31);
  Step plain(file, 96), zero(file, 96, mapping_control(), 0.0f), cambered(file, 96, mapping_control(), 2.0f);
  const float kc = 0.1309f * 0.5f * 0.26f * 0.26f * 2.0f;  // Mach number 0
  const MappingWork &w0 = plain.fs->map.WORK, &wz = zero.fs->map.WORK, &wc = cambered.fs->map.WORK;
  for (int i = 1; i <= w0.NC; ++i) {
    EXPECT_EQ(wz.ZC(i), w0.ZC(i));
    float x = w0.XC(i);
    EXPECT_NEAR(wc.ZC(i), w0.ZC(i) + kc * x * (1.0f - x), 1e-7f) << i;
  }
  // Thin-aerofoil theory: a parabolic camber line of height h has its zero-lift
  // incidence at -2h, here -KC/2, which the rotation cancels.
  EXPECT_NEAR(cambered.fs->map.ROT, kc / 2.0f, 0.05f * kc / 2.0f);
}

TEST(GeometryTable, MarksTheInfiniteSlopesAtTheNoseAndTrailingEdges) {
  Step r(naca0012(31), 96, mapping_control(30, "01000"));
  ASSERT_EQ(r.status, kExitOk) << r.message;
  auto lines = r.listing(kListing);
  ASSERT_GE(lines.size(), 65u);
  EXPECT_EQ(lines[1], "          X                Z            DZ/DX         D2Z/DX2");
  EXPECT_EQ(lines[2].substr(0, 16), "        1.000000");  // upper trailing edge
  EXPECT_EQ(lines[2].substr(46), "         w ");
  EXPECT_EQ(lines[32], "        0.000000       0.000000         w                w ");  // the nose
  EXPECT_EQ(lines[62].substr(46), "         w ");                                       // lower trailing edge
  EXPECT_EQ(lines[63], "");
  EXPECT_EQ(lines[64], std::string(19, ' ') + "w:  WARNING, VALUE INFINITE OR UNRELIABLE");
  EXPECT_EQ(lines[65], "");
}

TEST(Subdivision, ClosingPairAloneSubdividesEveryInterval) {
  Step r(naca0012(31), 96, mapping_control(30, "11000", " 1000    3\n"));
  ASSERT_EQ(r.status, kExitOk) << r.message;
  EXPECT_EQ(r.fs->map.WORK.NT, 3 * 60 + 1);
}

TEST(Subdivision, FiveHundredTableEntriesFitAndOneMoreOverflows) {
  // 200 intervals: the first IEND - 1 in three parts, the rest in two.
  Step fits(naca0012(101), 160, mapping_control(30, "11000", "  100    3\n 1000    2\n"));
  ASSERT_EQ(fits.status, kExitOk) << fits.message;
  EXPECT_EQ(fits.fs->map.WORK.NT, 500);
  Step overflows(naca0012(101), 160, mapping_control(30, "11000", "  101    3\n 1000    2\n"));
  EXPECT_EQ(overflows.status, kExitFailure);
  for (int unit : {kListing, kBrief})
    EXPECT_EQ(overflows.listing(unit).back(), " MAPPING TABLE OVERFLOW - CHECK AEROFOIL GEOMETRY  ");
}

TEST(MappingListing, OneIterationWritesOneProgressLine) {
  Step r(naca0012(31), 96, mapping_control(1));
  ASSERT_EQ(r.status, kExitOk) << r.message;
  for (int unit : {kListing, kBrief}) {
    auto lines = r.listing(unit);
    EXPECT_EQ(count_lines_starting(lines, " MAPPING ITERATION ="), 1);
    EXPECT_EQ(lines.at(1).substr(0, 37), " MAPPING ITERATION =  1 MAX S ERROR =");
  }
  EXPECT_EQ(r.fs->map.NITER, 1);
}

TEST(MappingListing, TableAlongTheSurfaceHasANodeALine) {
  Step r(naca0012(31), 96, mapping_control(30, "10000"));
  ASSERT_EQ(r.status, kExitOk) << r.message;
  auto lines = r.listing(kListing);
  const std::string heading = "     I      PHI         X           Z           S           MU        MAP MOD     MAP ARG";
  size_t at = 0;
  while (at < lines.size() && lines[at] != heading) ++at;
  ASSERT_EQ(lines.size(), at + 98);
  EXPECT_EQ(lines[at + 1].substr(0, 18), "     1    0.000000");
  EXPECT_EQ(lines[at + 49].substr(0, 18), "    49  180.000000");  // the nose
  // Arc length runs back from the whole contour at the lower trailing edge.
  EXPECT_NEAR(std::stof(lines[at + 1].substr(42, 12)), r.fs->map.WORK.STOTAL, 1e-5f);
  EXPECT_EQ(lines[at + 97].substr(42, 12), "    0.000000");
}

TEST(GridDataFile, ListsEveryRayThenEveryCircle) {
  Step r(naca0012(31, true, "GRID SECTION"), 96);
  ASSERT_EQ(r.status, kExitOk) << r.message;
  auto lines = lines_of(units().captured(kGridData));
  const int n1 = 97, mr = 16;
  ASSERT_EQ(lines.size(), static_cast<size_t>(1 + n1 * (mr + 1) + mr * (n1 + 1)));
  EXPECT_EQ(lines[0], "GRID SECTION" + std::string(68, ' '));
  const Mapping& map = r.fs->map;
  auto node = [&](int i, int k) {
    char text[40];
    std::snprintf(text, sizeof text, "%15.5f%15.5f", map.XG(i, k), map.ZG(i, k));
    return std::string(text);
  };
  size_t at = 1;
  for (int i = 1; i <= n1; ++i) {
    ASSERT_EQ(lines[at++], " //nc");
    for (int k = 1; k <= mr; ++k) ASSERT_EQ(lines[at++], node(i, k)) << i << ", " << k;
  }
  for (int k = 1; k <= mr; ++k) {
    ASSERT_EQ(lines[at++], " //nc");
    for (int i = 1; i <= n1; ++i) ASSERT_EQ(lines[at++], node(i, k)) << i << ", " << k;
  }
}

}  // namespace
}  // namespace tarn
