// Higher-order viscous terms: the curvature of the displacement surface, and
// in the wake the displacement source, the vortex sheet of the streamline
// curvature and the pressure jumps that curvature causes across the wake.
#include <algorithm>
#include <cmath>

#include "coupling_terms.h"
#include "file_units.h"
#include "results.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kWakeTableHeading(
    "(' ', 17X, 'X', 9X, 'SIGMA1', 6X, 'SIGMA2', 6X, 'SIGMA3', 7X, 'QKW1', 8X, 'QKW2')");
const Layout kWakeTableRow("(' ', 10X, 6F12.7)");

constexpr int kCoarseMesh = 100;
using WakeTable = Columns<kWake, 4>;

// Step 1: displacement and momentum thickness of each surface's wake at the
// wake points.
void wake_thicknesses(FlowState& fs) {
  const BoundaryLayer& bl = fs.bl;
  Coupling& c = fs.cpl;
  const Results& r = fs.res;
  int mr = fs.grid.MR, nmax = c.NMAX;
  for (int j = 1; j <= 2; ++j) {
    for (int k = 1; k <= mr; ++k) {
      int l = nmax;
      for (int s = 1; s <= nmax; ++s)
        if (bl.X(s, j) > r.XW(k) || bl.X(s, j) >= r.XW(mr)) {
          l = s;
          break;
        }
      l = std::max(l, 2);
      c.WDS(k, j) = station_interpolate(bl, bl.DELSTAR, l, j, r.XW(k));
      c.WTH(k, j) = station_interpolate(bl, bl.THETA, l, j, r.XW(k));
    }
    c.WDS(mr + 1, j) = c.WDS(mr, j);
    c.WTH(mr + 1, j) = c.WTH(mr, j);
  }
}

// Step 2: the trailing-edge thickness, shared between the two wake sides by
// their displacement thicknesses, fading as a cubic to zero at XW = 1 + LB.
void trailing_edge_share(FlowState& fs) {
  Coupling& c = fs.cpl;
  const Results& r = fs.res;
  int np = fs.grid.NSG + 1, mr = fs.grid.MR;
  float both = c.WDS(1, 2) + c.WDS(1, 1);
  float f = both > 0.0f ? c.WDS(1, 1) / both : 0.5f;  // no displacement yet: an even share
  float t = r.Y(np) - r.Y(1);
  c.BT(1, 1) = f * t;
  c.BT(1, 2) = (1.0f - f) * t;
  float slope[3] = {0.0f, (r.Y(np) - r.Y(np - 1)) / (r.X(np) - r.X(np - 1)), (r.Y(3) - r.Y(1)) / (r.X(1) - r.X(3))};
  int ke = 1;
  for (int k = 1; k <= mr; ++k)
    if (r.XW(k) - 1.0f <= c.LB) ke = k;
  for (int j = 1; j <= 2; ++j) {
    for (int k = 2; k <= ke; ++k) {
      float d = r.XW(k) - 1.0f, e = d / c.LB;
      c.BT(k, j) = (2.0f * e * e * e - 3.0f * e * e + 1.0f) * c.BT(1, j) + (e * e - 2.0f * e + 1.0f) * d * slope[j];
    }
    for (int k = ke + 1; k <= mr + 1; ++k) c.BT(k, j) = 0.0f;
  }
}

// Steps 3 to 5: mass-flow defect of each side and the wake source SIGMA1.
void wake_source(FlowState& fs, WakeTable& wk) {
  const Grid& g = fs.grid;
  const Coupling& c = fs.cpl;
  float sigma = fs.map.SIGMA;
  int mr = g.MR;
  for (int k = 1; k <= mr + 1; ++k) {
    float ru = density_ratio(wk(k, 2)), rl = density_ratio(wk(k, 4));
    wk(k, 2) = (c.WDS(k, 1) + c.BT(k, 1)) * ru * wk(k, 1);
    wk(k, 4) = (c.WDS(k, 2) + c.BT(k, 2)) * rl * wk(k, 3);
    wk(k, 1) = ru;
    wk(k, 3) = rl;
  }
  for (int k = 2; k <= mr; ++k) {
    wk(k, 1) = (wk(k + 1, 2) - wk(k - 1, 2)) * g.R2DS * sigma / wk(k, 1);
    wk(k, 3) = (wk(k + 1, 4) - wk(k - 1, 4)) * g.R2DS * sigma / wk(k, 3);
  }
  wk(1, 1) = wk(1, 3) = 0.0f;
  for (int k = 1; k <= mr; ++k) wk(k, 1) = (wk(k, 1) + wk(k, 3)) * g.RT(k);
}

// Radial velocity component on one side of the cut (ray i).
float radial_velocity(const FlowState& fs, int i, int k) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  return g.RS(k) * (P(i, k + 1) - P(i, k - 1)) * g.R2DS - g.COS(i);
}

// Step 6: curvature of the wake streamlines on both sides, times the speed.
void wake_curvature(FlowState& fs) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  const Field& H = fs.pot.H;
  Coupling& c = fs.cpl;
  int n = g.NSG, np = n + 1, mr = g.MR;
  float pl[kWake + 1] = {}, al[kWake + 1] = {}, au[kWake + 1] = {}, tu[kWake + 1] = {}, tl[kWake + 1] = {};
  for (int k = 1; k <= mr + 1; ++k) pl[k] = P(n, k) + P(1, k) - P(np, k) + g.DTH * c.WKOLD(k, 1);
  for (int k = 2; k <= mr; ++k) {
    al[k] = -((P(2, k) - pl[k]) * g.RT(k) * g.R2DTH - g.SIN(np)) / std::sqrt(H(np, k));
    au[k] = -((P(np + 1, k) - P(np - 1, k)) * g.RT(k) * g.R2DTH - g.SIN(np)) / std::sqrt(H(np, k));
    float vru = radial_velocity(fs, np, k), vrl = radial_velocity(fs, 1, k);
    tu[k] = au[k] / std::sqrt(vru * vru / H(np, k));
    tl[k] = al[k] / std::sqrt(vrl * vrl / H(1, k));
  }
  for (int k = 3; k <= mr - 1; ++k) {
    float dm = -(1.0f / std::sqrt(H(2, k)) - 1.0f / std::sqrt(H(n, k))) * g.RT(k) * g.R2DTH;
    float scale = g.RS(k) * g.R2DS / std::sqrt(H(1, k));
    float vru = radial_velocity(fs, np, k), vrl = radial_velocity(fs, 1, k);
    c.QKW1(k) = (-(tu[k + 1] - tu[k - 1]) * scale + dm) * std::sqrt(vru * vru / H(np, k));
    c.QKW2(k) = (-(tl[k + 1] - tl[k - 1]) * scale + dm) * std::sqrt(vrl * vrl / H(1, k));
  }
}

// Step 7: the curvature near the far end is tapered off linearly after the
// values are moved one (coarse mesh) or two (fine mesh) points towards the
// trailing edge.
void taper_curvature(const FlowState& fs, RVec<kWake>& q) {
  int mr = fs.grid.MR;
  if (fs.grid.NSG <= kCoarseMesh) {
    for (int k = 3; k <= mr - 1; ++k) q(k - 1) = q(k);
    q(mr - 1) = 0.666667f * q(mr - 2);
    q(mr) = 0.333333f * q(mr - 2);
  } else {
    for (int k = 4; k <= mr - 1; ++k) q(k - 2) = q(k);
    q(mr - 2) = 0.75f * q(mr - 3);
    q(mr - 1) = 0.5f * q(mr - 3);
    q(mr) = 0.25f * q(mr - 3);
  }
  q(mr + 1) = 0.0f;
}

// Step 8: vortex sheet strength SIGMA2 from the curvature jumps of both sides.
void wake_vorticity(FlowState& fs, WakeTable& wk) {
  const Grid& g = fs.grid;
  const Coupling& c = fs.cpl;
  int mr = g.MR;
  for (int k = 2; k <= mr; ++k)
    wk(k, 2) = std::sqrt(fs.pot.H(1, k)) *
               ((c.WDS(k, 1) + c.WTH(k, 1)) * c.QKW1(k) + (c.WDS(k, 2) + c.WTH(k, 2)) * c.QKW2(k)) *
               fs.map.SIGMA / g.RS(k);
  wk(1, 2) = 0.0f;
  wk(mr + 1, 1) = wk(mr + 1, 2) = 0.0f;
}

void smooth_column(const FlowState& fs, WakeTable& wk, int col) {
  RVec<kWake> f;
  for (int k = 1; k <= kWake; ++k) f(k) = wk(k, col);
  wake_smoothing(fs, f);
  for (int k = 1; k <= kWake; ++k) wk(k, col) = f(k);
}

// Step 10: curvature jumps, then relaxation of SIGMA1, SIGMA2 and the jumps.
void relax_wake_terms(FlowState& fs, WakeTable& wk, float g) {
  Coupling& c = fs.cpl;
  float sigma = fs.map.SIGMA;
  for (int j = 1; j <= 2; ++j) {
    const RVec<kWake>& qkw = j == 1 ? c.QKW1 : c.QKW2;
    for (int k = 1; k <= fs.grid.MR; ++k) {
      c.WDS(k, j) = qkw(k) * (c.WDS(k, j) + c.WTH(k, j)) * sigma;
      wk(k, j) = c.WKOLD(k, j) + g * (wk(k, j) - c.WKOLD(k, j));
      c.WKOLD(k, j) = wk(k, j);
      c.WDS(k, j) = c.WDOLD(k, j) + g * (c.WDS(k, j) - c.WDOLD(k, j));
      c.WDOLD(k, j) = c.WDS(k, j);
    }
  }
}

}  // namespace

float station_interpolate(const BoundaryLayer& bl, const Columns<kMaxStations, 2>& q, int l, int j, float x) {
  float x0 = bl.X(l - 1, j), x1 = bl.X(l, j);
  if (x1 == x0) return q(l - 1, j);
  return q(l - 1, j) + (x - x0) * (q(l, j) - q(l - 1, j)) / (x1 - x0);
}

void surface_curvature_term(FlowState& fs) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  const Field& H = fs.pot.H;
  const Results& r = fs.res;
  Coupling& c = fs.cpl;
  int n = g.NSG, np = n + 1, ile = n / 2 + 1;
  auto yd = [&](int j, float side) { return side * r.Y(j) + c.DSS(j); };
  for (int i = 3; i <= n - 1; ++i) {
    float side = i < ile ? -1.0f : 1.0f;
    float xt = side > 0.0f ? c.XTU : c.XTL;
    if (r.X(i) <= xt) {
      c.QKA(i) = 0.0f;
      continue;
    }
    float hp = std::sqrt(H(i + 1, 1)), h0 = std::sqrt(H(i, 1)), hm = std::sqrt(H(i - 1, 1));
    float curv = (yd(i + 2, side) / hp - yd(i, side) * (1.0f / hm + 1.0f / hp) + yd(i - 2, side) / hm) /
                 (4.0f * h0 * g.DTH2);
    float u = (P(i + 1, 1) - P(i - 1, 1)) * g.R2DTH - g.SIN(i);
    c.QKA(i) = std::sqrt(u * u / H(i, 1)) * curv;
  }
  RVec<kMaxRound>& q = c.QKA;
  q(n - 1) = 2.0f * q(n - 2) - q(n - 3);
  q(n) = 2.0f * q(n - 1) - q(n - 2);
  q(3) = 2.0f * q(4) - q(5);
  q(2) = 2.0f * q(3) - q(4);
  q(1) = q(np) = 0.0f;
  trailing_edge_smoothing(fs, q);
  for (int i = 1; i <= np; ++i) q(i) *= fs.map.SIGMA;
}

void wake_terms(FlowState& fs, float g, bool print_table) {
  Coupling& c = fs.cpl;
  int mr = fs.grid.MR;
  WakeTable wk = fs.res.WK;
  wake_thicknesses(fs);
  if (c.LB != 0.0f) trailing_edge_share(fs);
  wake_source(fs, wk);
  wake_curvature(fs);
  taper_curvature(fs, c.QKW1);
  taper_curvature(fs, c.QKW2);
  wake_vorticity(fs, wk);
  smooth_column(fs, wk, 2);
  if (c.ISMOOTH == 1) smooth_column(fs, wk, 1);
  relax_wake_terms(fs, wk, g);
  for (int k = 2; k <= mr; ++k) wk(k, 3) = (wk(k + 1, 2) - wk(k - 1, 2)) * fs.grid.R2DS;
  wk(mr + 1, 3) = 0.0f;
  fs.res.XW(mr + 1) = 100.0f;
  for (int k = 1; k <= mr + 1; ++k)
    for (int col = 1; col <= 3; ++col) c.SIG(k, col) = wk(k, col);
  if (print_table) {
    units().write(kListing, kWakeTableHeading);
    for (int k = 1; k <= mr + 1; ++k)
      units().write(kListing, kWakeTableRow, fs.res.XW(k), wk(k, 1), wk(k, 2), wk(k, 3), c.QKW1(k), c.QKW2(k));
  }
}

}  // namespace tarn
