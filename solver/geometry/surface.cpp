// The densified surface: slopes and curvatures along the spline z(theta),
// the printed table of them, and the mapping table of surface direction
// against arc length that the conformal mapping follows.
#include <cmath>

#include "file_units.h"
#include "geometry.h"
#include "mapping_steps.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kTableHeading("(' ', 9X, 'X  ', 14X, 'Z  ', 10X, 'DZ/DX', 9X, 'D2Z/DX2')");
const Layout kTableLine("(1X, 4F15.6)");
const Layout kTableLineCurvatureMarked("(1X, 3F15.6, 8X, ' w ')");
const Layout kTableLineBothMarked("(1X, 2F15.6, 8X, ' w ', 14X, ' w ')");
const Layout kTableFootnote("(/, A60, /)");
const char* const kFootnote = "w:  WARNING, VALUE INFINITE OR UNRELIABLE";
const char* const kOverflowLine = " MAPPING TABLE OVERFLOW - CHECK AEROFOIL GEOMETRY  ";

constexpr float kInfinite = 10000.0f;       // stands for an infinite slope or curvature
constexpr float kMarked = 9999.0f;          // values above are printed as markers
constexpr float kEdgeTolerance = 1.0e-6f;   // theta this close to pi, 0 or 2 pi is an edge
constexpr float kLeadingEdgeDirection = 1.5f * kPi;
constexpr float kSmallestHalfTurn = 1.0e-21f;

// A point of the densified surface with its slope, curvature and direction.
struct SurfacePoint {
  float x, z, dzdx, d2zdx2, dir;
};

// Slope and curvature from the derivatives in theta, with x = (1 + cos theta)/2.
SurfacePoint surface_point(float th, float x, float z, float zp, float zpp) {
  SurfacePoint p{x, z, kInfinite, kInfinite, kLeadingEdgeDirection};
  if (std::fabs(th - kPi) < kEdgeTolerance) return p;
  if (th < kEdgeTolerance || th > kTwoPi - kEdgeTolerance) {
    p.dzdx = -2.0f * zpp;  // limit of -2 z' / sin(theta) at the trailing edge
  } else {
    const float g = -2.0f / std::sin(th);  // d(theta)/dx
    p.dzdx = g * zp;
    p.d2zdx2 = (zpp + 0.5f * std::cos(th) * p.dzdx) * g * g;
  }
  p.dir = std::atan(p.dzdx) + (th < kPi ? kPi : kTwoPi);
  return p;
}

void print_point(const SurfacePoint& p) {
  if (p.dzdx > kMarked) units().write(kListing, kTableLineBothMarked, p.x, p.z);
  else if (p.d2zdx2 > kMarked) units().write(kListing, kTableLineCurvatureMarked, p.x, p.z, p.dzdx);
  else units().write(kListing, kTableLine, p.x, p.z, p.dzdx, p.d2zdx2);
}

// Arc length between two points: the chord lengthened to the circular arc
// that turns through the change of direction.
float arc_increment(const SurfacePoint& a, const SurfacePoint& b) {
  const float dx = b.x - a.x, dz = b.z - a.z;
  const float h = std::fmax(std::fabs(b.dir - a.dir) / 2.0f, kSmallestHalfTurn);
  return std::sqrt(dx * dx + dz * dz) * h / std::sin(h);
}

void append_entry(MappingWork& w, float s, float dir) {
  if (w.NT == kMaxContour) {
    for (int unit : {kListing, kBrief}) units().write_line(unit, kOverflowLine);
    throw RunStop("MAPPING TABLE OVERFLOW: the densified surface has more than " + std::to_string(kMaxContour) +
                      " points",
                  kExitFailure);
  }
  ++w.NT;
  w.ST(w.NT) = s;
  w.DIR(w.NT) = dir;
}

// Point m of the nsub sub-intervals of contour interval (i - 1, i).
SurfacePoint sub_point(const MappingWork& w, int32_t i, int32_t m, int32_t nsub) {
  if (m == nsub) return surface_point(w.TH(i), w.XC(i), w.ZC(i), w.ZP(i), w.ZPP(i));
  const float th = w.TH(i - 1) + static_cast<float>(m) * (w.TH(i) - w.TH(i - 1)) / static_cast<float>(nsub);
  float z, zp, zpp;
  spline_evaluate(1, 1, &th, &z, &zp, &zpp, i - 1, i, w.TH.v, w.ZC.v, w.ZP.v, w.ZPP.v, w.ZPPP.v);
  return surface_point(th, 0.5f * (1.0f + std::cos(th)), z, zp, zpp);
}

// Arc length becomes the parameter arccos(1 - 2 S / S total), which crowds
// the table towards both trailing edges; direction is splined against it.
void finish_table(FlowState& fs) {
  MappingWork& w = fs.map.WORK;
  w.STOTAL = w.ST(w.NT);
  for (int32_t e = 1; e <= w.NT; ++e) w.ST(e) = FACOS(fs, 1.0f - 2.0f * w.ST(e) / w.STOTAL);
  w.ST(w.NT) = kPi;
  SPLIF(1, w.NT, w.ST.v, w.DIR.v, w.DIRP.v, w.DIRPP.v, w.DIRPPP.v, kGivenThird, 0.0f, kGivenThird, 0.0f);
  // The direction turns through pi plus the included trailing-edge angle.
  fs.map.EPS = ((w.DIR(w.NT) - w.DIR(1)) - kPi) / kPi;
  fs.map.HALFEXP = (1.0f - fs.map.EPS) / 2.0f;
}

}  // namespace

void build_mapping_table(FlowState& fs) {
  MappingWork& w = fs.map.WORK;
  const bool print = fs.map.IPRT(1) == 0;
  if (print) units().write(kListing, kTableHeading);
  SurfacePoint prev = surface_point(w.TH(1), w.XC(1), w.ZC(1), w.ZP(1), w.ZPP(1));
  if (print) print_point(prev);
  w.NT = 0;
  float s = 0.0f;
  append_entry(w, s, prev.dir);
  int32_t pair = 1;
  for (int32_t i = 2; i <= w.NC; ++i) {
    const int32_t nsub = w.NSUB(pair);
    for (int32_t m = 1; m <= nsub; ++m) {
      const SurfacePoint p = sub_point(w, i, m, nsub);
      s += arc_increment(prev, p);
      append_entry(w, s, p.dir);
      if (print) print_point(p);
      prev = p;
    }
    if (i == w.IEND(pair)) ++pair;
  }
  if (print) units().write(kListing, kTableFootnote, kFootnote);
  finish_table(fs);
}

}  // namespace tarn
