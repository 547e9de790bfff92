// Wave drag: shock scans on both surfaces, the listing blocks, the
// first-order and improved estimates, and the guard at the ends of a surface.
// The flows are synthetic Mach-number distributions on a biconvex section
// of parabolic arcs z = +-0.2 x (1 - x), whose points are evenly spaced in x,
// so that slopes and curvatures by differences are exact.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "run/run.h"
#include "support.h"
#include "units.h"
#include "wave_drag/wave_drag.h"

namespace tarn {
namespace {

using Profile = std::function<float(float)>;  // Mach number against x on one surface

constexpr float kArc = 0.2f;                  // z = kArc x (1 - x): curvature 2 kArc, 5 % thick
constexpr double kArcCurvature = 2.0 * kArc;

// Section of nsg grid lines: point 1 at the lower trailing edge, the nose at
// point nsg/2 + 1 (Mach number 0 there), point nsg + 1 at the upper trailing
// edge. Points beyond the list hold NaN, so that reading them would spoil the
// totals.
std::unique_ptr<FlowState> section(int nsg, const Profile& upper, const Profile& lower) {
  auto fs = std::make_unique<FlowState>();
  fs->grid.NSG = nsg;
  fs->gas.EM = 0.75f;
  fs->ALP = 1.25f;
  int ile = nsg / 2 + 1;
  int np = nsg + 1;
  Results& r = fs->res;
  for (int k = 0; k < ile; ++k) {
    float x = static_cast<float>(k) / static_cast<float>(ile - 1);
    float z = kArc * x * (1.0f - x);
    r.X(ile + k) = r.X(ile - k) = x;
    r.Y(ile + k) = z;
    r.Y(ile - k) = -z;
    r.EMLS(ile + k) = k == 0 ? 0.0f : upper(x);
    r.EMLS(ile - k) = k == 0 ? 0.0f : lower(x);
  }
  for (int i = np + 1; i <= kMaxRound; ++i)
    r.X(i) = r.Y(i) = r.EMLS(i) = std::numeric_limits<float>::quiet_NaN();
  return fs;
}

// Runs the wave-drag operation and returns the listing lines it wrote.
std::vector<std::string> wave_drag_listing(FlowState& fs) {
  units().capture(kListing);
  wave_drag(fs);
  return test::lines_of(units().captured(kListing));
}

int count(const std::vector<std::string>& lines, const std::string& want) {
  int n = 0;
  for (const auto& l : lines) n += l == want;
  return n;
}

// Subsonic everywhere.
float subsonic(float x) { return 0.6f + 0.1f * x; }

// Accelerates linearly through sonic speed to a shock half way between the
// points at x = 0.55 and 0.5625 (nsg = 160), then recovers to about 0.9.
float one_shock(float x) { return x < 0.55625f ? 0.9f + 0.8f * x : 0.8f + 0.1f * x; }

// Exact first-order estimate from the pre-shock Mach number and curvature.
double exact_cd1(double m1, double ks, double em) {
  double q = 0.243 * std::pow(m1 - 1.0, 4) * std::pow((1.0 + 0.2 * em * em) / em, 3) /
             (m1 * ks * (1.0 + 0.2 * m1 * m1));
  return (2.0 - m1) * q;
}

TEST(WaveDrag, FlowWithoutSupersonicPointReportsNoShockOnEitherSurface) {
  auto fs = section(160, subsonic, subsonic);
  fs->res.CD1 = fs->res.CD2 = 1.0f;
  fs->bl.KMON = 2;
  auto lines = wave_drag_listing(*fs);
  std::vector<std::string> want = {"", "", "", "   WAVE DRAG BY METHOD OF RQM 20451 ",
                                   "   CD1: FIRST-ORDER METHOD, CD2: IMPROVED METHOD", "", " ALP= 1.2500 EM= 0.7500",
                                   "", "", " UPPER SURFACE.", "", " NO SHOCK IS OBSERVED ", "", " LOWER SURFACE.", "",
                                   " NO SHOCK IS OBSERVED ", "", "", "",
                                   " SUM OF UPPER-SURFACE AND LOWER-SURFACE WAVE-DRAG CONTRIBUTIONS", "",
                                   " CD1= 0.00000 CD2=0.00000"};
  EXPECT_EQ(lines, want);
  EXPECT_EQ(fs->res.CD1, 0.0f);
  EXPECT_EQ(fs->res.CD2, 0.0f);
  EXPECT_EQ(fs->bl.KMON, 0);  // no shock of an earlier flow is left for the boundary layer to watch
}

TEST(WaveDrag, ShockOnAParabolicArcGivesTheExactEstimateAndEqualImprovedEstimate) {
  auto fs = section(160, one_shock, subsonic);
  auto lines = wave_drag_listing(*fs);
  // The largest drop is from x = 0.55 to 0.5625; the station is one point
  // upstream, and M1 extrapolates the linear rise to it.
  EXPECT_EQ(count(lines, " SHOCK NO.  1 ON UPPER SURFACE."), 1);
  EXPECT_EQ(count(lines, " X(SHOCK)= 0.53750"), 1);
  double m1 = 0.9 + 0.8 * 0.5375;
  double cd1 = exact_cd1(m1, kArcCurvature, 0.75);
  EXPECT_NEAR(fs->res.CD1, cd1, 1e-4 * cd1);
  // Constant curvature: the mean curvature upstream equals the local one.
  EXPECT_NEAR(fs->res.CD2, fs->res.CD1, 1e-4 * cd1);
  EXPECT_GT(cd1, 0.003);
  EXPECT_EQ(fs->bl.KMON, 1);
  EXPECT_FLOAT_EQ(fs->bl.XK(1), 0.525f);
  EXPECT_FLOAT_EQ(fs->bl.AK(1), fs->res.EMLS(81 + 42));
}

TEST(WaveDrag, MirroredFlowGivesTheSameDragOnTheLowerSurface) {
  auto upper = section(160, one_shock, subsonic);
  auto lower = section(160, subsonic, one_shock);
  auto upper_lines = wave_drag_listing(*upper);
  auto lower_lines = wave_drag_listing(*lower);
  EXPECT_EQ(count(lower_lines, " SHOCK NO.  1 ON LOWER SURFACE."), 1);
  EXPECT_EQ(count(lower_lines, " X(SHOCK)= 0.53750"), 1);
  EXPECT_GT(lower->res.CD1, 0.0f);
  EXPECT_FLOAT_EQ(lower->res.CD1, upper->res.CD1);
  EXPECT_FLOAT_EQ(lower->res.CD2, upper->res.CD2);
}

TEST(WaveDrag, DropIntoANearlySonicPointMovesTheStationOnePointUpstream) {
  Profile held = [](float x) { return std::fabs(x - 0.5625f) < 1e-4f ? 1.01f : one_shock(x); };
  auto fs = section(160, held, held);
  auto lines = wave_drag_listing(*fs);
  EXPECT_EQ(count(lines, " X(SHOCK)= 0.52500"), 2);  // upper and lower surface
  EXPECT_EQ(count(lines, " X(SHOCK)= 0.53750"), 0);
}

// Two (or four) shocks with the pre-shock Mach numbers given, evenly placed.
Profile shocks(std::vector<float> peaks) {
  return [peaks](float x) {
    float width = 0.8f / static_cast<float>(peaks.size());
    int k = std::min(static_cast<int>((x - 0.1f) / width), static_cast<int>(peaks.size()) - 1);
    if (x < 0.1f) return 0.9f;
    float s = (x - 0.1f - static_cast<float>(k) * width) / width;  // 0 ... 1 across one supersonic patch
    return s < 0.75f ? 0.95f + (peaks[static_cast<size_t>(k)] - 0.95f) * s / 0.75f : 0.9f;
  };
}

std::vector<float> drag_values(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<float> v;
  for (const auto& l : lines)
    if (l.rfind(prefix, 0) == 0) v.push_back(std::stof(l.substr(prefix.size(), 7)));
  return v;
}

TEST(WaveDrag, TwoUpperShocksGiveThreeBlocksAndTheSecondEvaluationOfTheFirstCounts) {
  auto fs = section(160, shocks({1.25f, 1.35f}), subsonic);
  auto lines = wave_drag_listing(*fs);
  EXPECT_EQ(count(lines, " SHOCK NO.  1 ON UPPER SURFACE."), 2);
  EXPECT_EQ(count(lines, " SHOCK NO.  2 ON UPPER SURFACE."), 1);
  auto cd1 = drag_values(lines, "  CD1= ");
  ASSERT_EQ(cd1.size(), 3u);
  EXPECT_EQ(cd1[0], cd1[1]);  // the first-order estimate does not use the gradient
  EXPECT_NEAR(fs->res.CD1, cd1[1] + cd1[2], 2e-5);
  EXPECT_GT(cd1[2], cd1[1]);  // the stronger shock lies downstream and is taken second
  EXPECT_EQ(fs->bl.KMON, 2);
  EXPECT_LT(fs->bl.XK(1), fs->bl.XK(2));
}

TEST(WaveDrag, AFourthShockOnASurfaceIsNeverReported) {
  auto fs = section(160, shocks({1.2f, 1.3f, 1.25f, 1.35f}), subsonic);
  auto lines = wave_drag_listing(*fs);
  EXPECT_EQ(count(lines, " SHOCK NO.  1 ON UPPER SURFACE."), 2);
  EXPECT_EQ(count(lines, " SHOCK NO.  2 ON UPPER SURFACE."), 2);
  EXPECT_EQ(count(lines, " SHOCK NO.  3 ON UPPER SURFACE."), 1);
  EXPECT_EQ(count(lines, " SHOCK NO.  4 ON UPPER SURFACE."), 0);
}

// Shocks at both ends of both surfaces of a 96-line section (points 1 ... 97,
// nose at 49): just behind the nose the gradient stencil would run over the
// stagnation point, so those shocks are listed but not evaluated; next to
// the trailing edge the stencils still fit and the shock is evaluated.
TEST(WaveDrag, ShocksNearTheEndsOfTheSurfaceListsStayOnTheList) {
  Profile ends = [](float x) {
    if (x < 0.03f) return 1.2f;   // points 1 and 2 behind the nose, then a drop
    if (x < 0.05f) return 0.7f;
    if (x < 0.99f) return 0.9f + 0.4f * x;  // supersonic from x = 0.25 to a drop into the trailing edge
    return 0.8f;
  };
  auto fs = section(96, ends, ends);
  auto lines = wave_drag_listing(*fs);
  // Each surface finds both; the first of a surface is evaluated twice.
  EXPECT_EQ(count(lines, " SHOCK AT POINT   49 TOO NEAR THE END OF THE SURFACE: NOT EVALUATED."), 3);
  EXPECT_EQ(count(lines, " X(SHOCK)= 0.95833"), 3);
  EXPECT_TRUE(std::isfinite(fs->res.CD1));
  EXPECT_TRUE(std::isfinite(fs->res.CD2));
  EXPECT_GT(fs->res.CD1, 0.0f);
}

// With the lowest Mach number at the lower trailing edge the "upper surface"
// is the whole list: a shock at its start has no station on the list, and the
// curvature searches of a later shock start at a point with no neighbour
// before it.
TEST(WaveDrag, StagnationPointAtTheEndOfTheListKeepsEveryStencilOnTheList) {
  auto fs = section(96, one_shock, subsonic);
  Results& r = fs->res;
  for (int i = 1; i <= 49; ++i) r.EMLS(i) = 0.9f;
  r.EMLS(1) = 0.5f;   // lowest Mach number at the lower trailing edge
  r.EMLS(2) = 1.4f;   // drop from point 2 into a nearly sonic point 3:
  r.EMLS(3) = 1.01f;  // the station would be point 0
  auto lines = wave_drag_listing(*fs);
  EXPECT_EQ(count(lines, " SHOCK AT POINT    0 TOO NEAR THE END OF THE SURFACE: NOT EVALUATED."), 2);
  EXPECT_EQ(count(lines, " SHOCK NO.  2 ON UPPER SURFACE."), 1);
  EXPECT_EQ(count(lines, " X(SHOCK)= 0.52083"), 1);
  EXPECT_TRUE(std::isfinite(r.CD1));
  EXPECT_GT(r.CD1, 0.0f);
  EXPECT_EQ(fs->bl.KMON, 2);
}

}  // namespace
}  // namespace tarn
