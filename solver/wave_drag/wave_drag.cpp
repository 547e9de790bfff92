// Wave drag of the shocks on the aerofoil, found in the surface Mach-number
// distribution. For each shock a first-order estimate CD1 is formed from the
// Mach number ahead of the shock M1, the surface curvature at the shock KS
// and the free-stream Mach number; the improved estimate CD2 scales it by
// KS / KBAR, KBAR being the mean curvature between the shock and the upstream
// point from which the characteristic that reaches the shock foot starts.
//
// Both surfaces are walked from the point of lowest Mach number (the
// stagnation point IMIN) to their trailing edge: the upper surface is
// IMIN ... NP (downstream = increasing index), the lower surface IMIN ... 1
// (downstream = decreasing index).
//
// Guard at the ends of a surface: the Mach-gradient stencil reaches six
// points upstream of a shock and the curvature stencil two points downstream.
// A shock whose stencil does not lie wholly on its own surface is listed but
// not evaluated (no drag, no monitor entry); the scan windows are clamped to
// the surface, and the curvature brackets are kept two points inside the list,
// so no point outside 1 ... NP is ever read.
#include "wave_drag.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "file_units.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kTitle("(/,/,/,'   WAVE DRAG BY METHOD OF RQM 20451 ')");
const Layout kMethods("('   CD1: FIRST-ORDER METHOD, CD2: IMPROVED METHOD')");
const Layout kFlow("(/,' ALP= ',F6.4,' EM= ',F6.4)");
const Layout kUpperSurface("(/,/,' UPPER SURFACE.')");
const Layout kLowerSurface("(/,' LOWER SURFACE.')");
const Layout kNoShock("(/,' NO SHOCK IS OBSERVED ')");
const Layout kShockUpper("(/,' SHOCK NO. ',I2,' ON UPPER SURFACE.')");
const Layout kShockLower("(/,' SHOCK NO. ',I2,' ON LOWER SURFACE.')");
const Layout kShockNearEnd("(/,' SHOCK AT POINT ',I4,' TOO NEAR THE END OF THE SURFACE: NOT EVALUATED.')");
const Layout kShockPosition("(/,' X(SHOCK)= ',F7.5)");
const Layout kLargeEps("(/,' EPS IS GREATER THAN 4. THESE VALUES OF G1 AND G2 ARE ASSUMED.')");
const Layout kDragUpper("(/,'  CD1= ',F7.5,' CD2= ',F7.5)");
const Layout kDragLower("(/,' CD1= ',F7.5,' CD2=',F7.5)");  // also the totals line
const Layout kSumTitle("(/,/,/,' SUM OF UPPER-SURFACE AND LOWER-SURFACE WAVE-DRAG CONTRIBUTIONS')");

constexpr float kSonic = 1.0f;
constexpr float kNearlySonic = 1.02f;  // a drop into 1 < M < 1.02 is still on the shock ramp
constexpr float kNewShockMargin = 0.001f;
constexpr int kScanReach = 5;          // half-width of the window straightened over a found shock
constexpr int kGradientReach = 6;      // Mach-gradient stencil: points upstream of the shock
constexpr int kCurvatureReach = 2;     // curvature stencil: points downstream of the shock
constexpr float kLargeEpsLimit = 4.0f;
constexpr float kLowestM1 = 1.01f;     // pre-shock Mach number used by the upstream-point search
constexpr int kMaxPasses = 100;
constexpr float kStepTolerance = 1.0e-4f;
constexpr float kNoStation = -1.0f;    // monitor position that no boundary-layer station has

using SurfaceList = RVec<kMaxRound>;

// One surface of the aerofoil with the lists it is evaluated on.
struct Surface {
  const SurfaceList& M;  // local Mach number
  const SurfaceList& X;  // chordwise coordinate
  const SurfaceList& Z;  // vertical coordinate
  int np;                // points on the whole list
  int imin;              // stagnation point
  int dir;               // +1 upper surface, -1 lower surface: index step downstream
  bool listed;           // the summary's evaluation: listed, and the shocks entered in the monitors

  // Point m places upstream of point i (m < 0: downstream).
  int up(int i, int m) const { return i - dir * m; }
  bool on_surface(int i) const { return dir > 0 ? i >= imin && i <= np : i >= 1 && i <= imin; }
  // Slope dz/dx by central difference and surface curvature, positive for a
  // convex surface.
  float slope(int i) const { return (Z(i + 1) - Z(i - 1)) / (X(i + 1) - X(i - 1)); }
  float curvature(int i) const {
    return -static_cast<float>(dir) * (slope(i + 1) - slope(i - 1)) / (X(i + 1) - X(i - 1));
  }
};

// Linear interpolation of a per-point quantity at x = XA, between a point L
// and its downstream neighbour.
struct Bracket {
  int L, down;
  float t;
  template <typename F>
  float of(F f) const { return (1.0f - t) * f(L) + t * f(down); }
};

// The first point J = from, from + 1, ..., to that lies at or beyond XA seen
// from the upstream side; the bracket is the pair (J - 1, J). The pair is kept
// two points inside the list so that the curvature stencils stay on it; XA
// outside the pair is then reached by linear extrapolation.
Bracket bracket(const Surface& s, float xa, int from, int to) {
  int j = to;
  for (int k = from; k <= to; ++k) {
    if (static_cast<float>(s.dir) * (s.X(k) - xa) >= 0.0f) {
      j = k;
      break;
    }
  }
  j = std::max(kCurvatureReach + 2, std::min(j, s.np - kCurvatureReach));
  Bracket b;
  b.L = s.dir > 0 ? j - 1 : j;
  b.down = b.L + s.dir;
  b.t = (xa - s.X(b.L)) / (s.X(b.down) - s.X(b.L));
  return b;
}

// Mean curvature between XA and the shock at point is.
float mean_curvature(const Surface& s, int is, float xa) {
  Bracket b = s.dir > 0 ? bracket(s, xa, s.imin, is) : bracket(s, xa, is, s.imin);
  float slope_xa = b.of([&](int i) { return s.slope(i); });
  return static_cast<float>(s.dir) * (slope_xa - s.slope(is)) / (s.X(is) - xa);
}

// Local curvature at XA; the upper-surface search starts at the middle of the list.
float local_curvature(const Surface& s, float xa) {
  Bracket b = s.dir > 0 ? bracket(s, xa, (s.np + 1) / 2, s.np) : bracket(s, xa, 1, s.imin);
  return b.of([&](int i) { return s.curvature(i); });
}

// Upstream-point iteration: Newton's method for the point XA whose slope
// differs from the slope at the shock by the turning angle Z of the
// characteristic; returns the mean curvature KBAR over XA ... XSH.
float upstream_mean_curvature(const Surface& s, int is, float m1) {
  m1 = std::max(m1, kLowestM1);
  float xsh = s.X(is);
  float a = 0.45f * (1.0f - std::exp(-2.0f * xsh * (1.0f + xsh + xsh * xsh)));
  float cc = (1.0f - 1.0f / m1) * a;
  float mb = std::sqrt((1.0f - cc) * (1.0f - cc) * m1 * m1 - 1.0f);
  float mx = std::sqrt(m1 * m1 - 1.0f);
  float z = 2.0f * cc * mb * mx / ((mx + mb) * (1.0f + kGammaTerm * m1 * m1));

  float xa = 0.67f * xsh;
  float kb = mean_curvature(s, is, xa);
  float dx = 0.0f;
  for (int pass = 1; pass <= kMaxPasses; ++pass) {
    float r = (xa - xsh) * kb + z;
    dx = -r / local_curvature(s, xa);
    if (xa + dx < 0.0f) dx = -xa / 2.0f;
    xa += dx;
    kb = mean_curvature(s, is, xa);
    if (std::fabs(dx) < kStepTolerance) return kb;
  }
  if (s.listed) units().write_list(kListing, "ITERATION FOR X NOT CONVERGED,DX=", dx);
  return kb;
}

// The drop from point j to its downstream neighbour when it is a shock
// candidate (supersonic, and the neighbour well below the ramp), else 0.
float candidate_drop(const SurfaceList& wm, int j, int jdown) {
  if (wm(j) > kSonic && 3.0f * wm(jdown) - 2.0f * wm(j) < kSonic) return wm(j) - wm(jdown);
  return 0.0f;
}

// Shock station for the largest drop at point ij: one point upstream of it,
// two when the point after the drop is still barely supersonic.
int shock_station(const Surface& s, const SurfaceList& wm, int ij) {
  float after = wm(s.up(ij, -1));
  bool ramp = after > kSonic && after < kNearlySonic;
  return s.up(ij, ramp ? 2 : 1);
}

// Upper surface: the largest drop above the running threshold is the next
// shock; the found shock is then straightened out of the work copy and the
// threshold raised to the straight line's drop per point.
int upper_shocks(const Surface& s, int* stations) {
  SurfaceList wm = s.M;
  float shk = 0.0f;
  int n = 0;
  while (n < kMaxShocks) {
    float t = shk;
    int ij = 0;
    for (int j = s.imin; j < s.np; ++j) {
      float d = candidate_drop(wm, j, j + 1);
      if (d > t) {
        t = d;
        ij = j;
      }
    }
    if (t <= shk + kNewShockMargin) break;
    int is = shock_station(s, wm, ij);
    stations[n++] = is;
    int a = std::max(is - kScanReach, s.imin);
    int b = std::min(is + kScanReach, s.np);
    float drop = wm(a) - wm(b);
    float span = static_cast<float>(b - a);
    for (int i = a + 1; i < b; ++i) wm(i) = wm(a) - static_cast<float>(i - a) * drop / span;
    shk = std::max(shk, drop / span);
  }
  return n;
}

// Lower surface: the largest drop is the next shock; everything supersonic
// from the stagnation point to three points past it is then made sonic.
int lower_shocks(const Surface& s, int* stations) {
  SurfaceList wm = s.M;
  int n = 0;
  while (n < kMaxShocks) {
    float largest = 0.0f;
    int ij = 0;
    for (int i = s.imin; i > 1; --i) {
      float d = candidate_drop(wm, i, i - 1);
      if (d > largest) {
        largest = d;
        ij = i;
      }
    }
    if (ij == 0) break;
    stations[n++] = shock_station(s, wm, ij);
    for (int i = std::max(ij - 3, 1); i <= s.imin; ++i) wm(i) = std::min(wm(i), kSonic);
  }
  return n;
}

struct ShockDrag {
  float cd1 = 0.0f, cd2 = 0.0f;
};

// Shock parameter EPS from the Mach gradient G0 and its derivative G1 ahead
// of the shock; it only decides the warning line.
float shock_parameter(float m1, float ks, float g0, float g1) {
  float m2 = m1 * m1;
  float c = 1.0f + kGammaTerm * m2;
  float a = m2 - 1.0f;
  float b = (1.0f + 0.6f * m2 + 0.8f * m2 * m2) / (m1 * c);
  float ct = (2.0f + 0.6f * m2) * c * m1 * ks * ks;
  float d = b * g0 * g0 + a * g1 + ct;
  float p = 2.0f * (m1 - 1.0f) / (c * c * ks * ks * m2);
  return d * p;
}

// First-order wave drag of one shock.
float first_order_drag(float m1, float ks, float em) {
  float m1sq = m1 * m1;
  float stream = (1.0f + kGammaTerm * em * em) / em;
  float rise = (m1 - 1.0f) * (m1 - 1.0f);
  float q = 0.243f * rise * rise * stream * stream * stream / (m1 * ks * (1.0f + kGammaTerm * m1sq));
  return (2.0f - m1) * q;
}

// Evaluates the shock k at point is; `second` selects the wider estimate of
// the Mach-gradient derivative used when another shock follows.
ShockDrag evaluate_shock(FlowState& fs, const Surface& s, int k, int is, bool second) {
  Units& u = units();
  if (s.listed) u.write(kListing, s.dir > 0 ? kShockUpper : kShockLower, k);
  ShockDrag out;
  if (!s.on_surface(s.up(is, kGradientReach)) || !s.on_surface(s.up(is, -kCurvatureReach))) {
    if (s.listed) u.write(kListing, kShockNearEnd, is);
    return out;
  }
  const SurfaceList& M = s.M;
  const SurfaceList& X = s.X;
  auto dmdx = [&](int m) {
    int a = s.up(is, m - 1), b = s.up(is, m + 1);
    return (M(a) - M(b)) / (X(a) - X(b));
  };
  auto dx = [&](int m1, int m2) { return X(s.up(is, m1)) - X(s.up(is, m2)); };
  float g0 = dmdx(2);
  float g1 = second ? 0.1f * (dmdx(3) - dmdx(4)) / dx(3, 4) + 0.9f * (dmdx(2) - dmdx(5)) / dx(2, 5)
                    : (dmdx(2) - dmdx(3)) / dx(2, 3);
  float m1 = 2.0f * M(s.up(is, 1)) - M(s.up(is, 2));

  const SurfaceList& Z = s.Z;
  float sb = (Z(is) - Z(is - 2)) / (X(is) - X(is - 2));
  float sf = (Z(is + 2) - Z(is)) / (X(is + 2) - X(is));
  float ks = -static_cast<float>(s.dir) * (sf - sb) / (X(is + 1) - X(is - 1));

  if (s.listed) {
    u.write(kListing, kShockPosition, X(is));
    BoundaryLayer& bl = fs.bl;
    bl.XK(k) = X(is - 1);
    bl.AK(k) = M(is - 1);
    bl.KMON = k;
    if (shock_parameter(m1, ks, g0, g1) >= kLargeEpsLimit) u.write(kListing, kLargeEps);
  }
  out.cd1 = first_order_drag(m1, ks, fs.gas.EM);
  out.cd2 = ks * out.cd1 / upstream_mean_curvature(s, is, m1);
  if (s.listed) u.write(kListing, s.dir > 0 ? kDragUpper : kDragLower, out.cd1, out.cd2);
  return out;
}

// Finds and evaluates the shocks of one surface and adds their drag to the totals.
void surface_drag(FlowState& fs, const Surface& s, ShockDrag& total) {
  if (s.listed) units().write(kListing, s.dir > 0 ? kUpperSurface : kLowerSurface);
  int stations[kMaxShocks];
  int n = s.dir > 0 ? upper_shocks(s, stations) : lower_shocks(s, stations);
  if (n == 0) {
    if (s.listed) units().write(kListing, kNoShock);
    return;
  }
  // Shocks are taken in increasing point index.
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b)
      if (stations[b] < stations[a]) std::swap(stations[a], stations[b]);
  int side = s.dir > 0 ? 1 : 2;
  // Where the shocks stand, for the pictures: only those on this surface's
  // part of the list (a station found next to the end of the list may lie
  // beyond it, and is then not evaluated either).
  if (s.listed) {
    int& shown = fs.mon.NSHOCK[side - 1];
    shown = 0;
    for (int k = 1; k <= n; ++k)
      if (s.on_surface(stations[k - 1])) fs.mon.XSHOCK(++shown, side) = s.X(stations[k - 1]);
  }
  for (int k = 1; k <= n; ++k) {
    int is = stations[k - 1];
    // A shock followed by another is evaluated again with the wider
    // gradient estimate, and that second evaluation counts.
    ShockDrag d = evaluate_shock(fs, s, k, is, false);
    if (k < n) d = evaluate_shock(fs, s, k, is, true);
    total.cd1 += d.cd1;
    total.cd2 += d.cd2;
  }
}

// The point of lowest Mach number, the first one of equal values.
int stagnation_point(const SurfaceList& m, int np) {
  float lowest = 10.0f;
  int imin = 1;
  for (int i = 1; i <= np; ++i) {
    if (m(i) < lowest) {
      lowest = m(i);
      imin = i;
    }
  }
  return imin;
}

}  // namespace

void wave_drag(FlowState& fs) {
  Units& u = units();
  Results& r = fs.res;
  int np = std::min(fs.grid.NSG + 1, kMaxRound);
  u.write(kListing, kTitle);
  u.write(kListing, kMethods);
  int imin = stagnation_point(r.EMLS, np);
  u.write(kListing, kFlow, fs.ALP, fs.gas.EM);

  BoundaryLayer& bl = fs.bl;
  fs.mon.NSHOCK[0] = fs.mon.NSHOCK[1] = 0;
  bl.KMON = 0;
  for (int k = 1; k <= kMaxMonitors; ++k) {
    bl.XK(k) = kNoStation;
    bl.AK(k) = 0.0f;
  }

  ShockDrag total;
  surface_drag(fs, Surface{r.EMLS, r.X, r.Y, np, imin, +1, true}, total);
  surface_drag(fs, Surface{r.EMLS, r.X, r.Y, np, imin, -1, true}, total);

  r.CD1 = total.cd1;
  r.CD2 = total.cd2;
  u.write(kListing, kSumTitle);
  u.write(kListing, kDragLower, r.CD1, r.CD2);
}

float update_wave_drag(FlowState& fs) {
  const Results& r = fs.res;
  int np = std::min(fs.grid.NSG + 1, kMaxRound);
  int imin = stagnation_point(r.EMLS, np);
  ShockDrag total;
  surface_drag(fs, Surface{r.EMLS, r.X, r.Y, np, imin, +1, false}, total);
  surface_drag(fs, Surface{r.EMLS, r.X, r.Y, np, imin, -1, false}, total);
  return total.cd2;
}

}  // namespace tarn
