// Surface and wake pressures from the potential field, and the integrated
// lift, pitching moment and pressure drag.
#include <algorithm>
#include <cmath>

#include "listings.h"
#include "potential/potential.h"
#include "results.h"

namespace tarn {

namespace {

constexpr float kExponent = kGamma / (kGamma - 1.0f);  // isentropic exponent gamma/(gamma - 1)
constexpr float kMomentCentre = 0.25f;                 // quarter chord
constexpr float kBlendStart = 0.8f;                    // smoothing blended in from here ...
constexpr float kBlendFull = 0.9f;                     // ... to full strength here
constexpr int kFinePasses = 11;                        // five-point passes on fine meshes
constexpr int kCoarsePasses = 3;                       // three-point passes on coarse meshes
constexpr int kCoarseMesh = 100;                       // meshes up to this many lines count as coarse

float clamped_sqrt(float v) { return std::sqrt(std::max(v, 0.0f)); }

bool fine_mesh(const FlowState& fs) { return fs.grid.NSG > kCoarseMesh; }

// Replaces the value at IM = I0 - A by the straight line through I0 = 1 + A B
// and I1 = I0 + A, on both sides of the trailing edge and on both wake sides.
void trailing_edge_extrapolation(FlowState& fs, int a, int b) {
  Results& r = fs.res;
  int np = fs.grid.NSG + 1;
  int i0 = 1 + a * b, i1 = i0 + a, im = i0 - a;
  auto line = [](const auto& x, auto& q, int m, int p0, int p1) {
    float d10 = x(p1) - x(p0), d0 = x(m) - x(p0), d1 = x(m) - x(p1);
    q(m) = (d0 * q(p1) - d1 * q(p0)) / d10;
  };
  line(r.X, r.QSQ, im, i0, i1);
  line(r.X, r.QSQ, np + 1 - im, np + 1 - i0, np + 1 - i1);
  line(r.XW, r.QWU, im, i0, i1);
  line(r.XW, r.QWL, im, i0, i1);
}

// Step 2: squared surface speed, with the transpiration as normal component.
void surface_speeds(FlowState& fs) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  const Field& H = fs.pot.H;
  for (int i = 3; i <= g.NSG - 1; ++i) {
    float u = (P(i + 1, 1) - P(i - 1, 1)) * g.R2DTH - g.SIN(i);
    float v = fs.cpl.TAW1(i);
    fs.res.QSQ(i) = (u * u + v * v) / H(i, 1);
  }
}

// Step 3: squared speeds on both sides of the wake cut; the lower side
// carries the jump of the viscous wake terms.
void wake_speeds(FlowState& fs) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  const Field& H = fs.pot.H;
  Results& r = fs.res;
  int np = g.NSG + 1;
  for (int k = 3; k <= g.MR; ++k) {
    float vr = g.COS(np) - (P(np, k + 1) - P(np, k - 1)) * g.RS(k) * g.R2DS;
    float vt = g.SIN(np) - (P(np + 1, k) - P(np - 1, k)) * g.RT(k) * g.R2DTH;
    r.QWU(k) = (vt * vt + vr * vr) / H(np, k);
    float vrl = vr + g.RS(k) * fs.cpl.SIG(k, 2);
    float vtl = vt + g.RT(k) * fs.cpl.SIG(k, 1);
    r.QWL(k) = (vtl * vtl + vrl * vrl) / H(1, k);
  }
  r.QWU(g.MR + 1) = r.QWL(g.MR + 1) = 1.0f;
}

// Step 4: curvature corrections of the displacement surface and the wake.
void curvature_corrections(FlowState& fs) {
  Results& r = fs.res;
  const Coupling& c = fs.cpl;
  for (int i = 3; i <= fs.grid.NSG - 1; ++i) r.QSQ(i) = std::max(r.QSQ(i), 0.0f) + c.DQK(i);
  for (int k = 3; k <= fs.grid.MR; ++k) {
    r.QWU(k) = std::max(r.QWU(k), 0.0f) + c.DQW1(k);
    r.QWL(k) = std::max(r.QWL(k), 0.0f) - c.DQW2(k);
  }
}

// Step 5: values near the trailing edge by extrapolation, then the four
// trailing-edge values (both surfaces, both wake sides) averaged.
void trailing_edge_values(FlowState& fs) {
  Results& r = fs.res;
  int np = fs.grid.NSG + 1;
  if (fine_mesh(fs)) {
    for (auto [a, b] : {std::pair{2, 2}, {2, 1}, {1, 4}, {1, 2}}) trailing_edge_extrapolation(fs, a, b);
  } else {
    for (auto [a, b] : {std::pair{1, 2}, {1, 1}}) trailing_edge_extrapolation(fs, a, b);
  }
  float mean = 0.25f * (r.QSQ(1) + r.QSQ(np) + r.QWU(1) + r.QWL(1));
  r.QSQ(1) = r.QSQ(np) = r.QWU(1) = r.QWL(1) = mean;
}

// Step 7: both wake sides smoothed, then given their mean.
void wake_average(FlowState& fs) {
  Results& r = fs.res;
  RVec<kWake> upper = r.QWU, lower = r.QWL;
  wake_smoothing(fs, upper);
  wake_smoothing(fs, lower);
  for (int k = 1; k <= fs.grid.MR + 1; ++k) r.QWU(k) = r.QWL(k) = 0.5f * (upper(k) + lower(k));
}

struct ForceSums {
  float fx = 0.0f, fy = 0.0f, cms = 0.0f;
};

// Step 8: pressures at the surface points and the sums of the pressure
// forces (trapezoidal rule round the circle) and their moment.
ForceSums surface_values(FlowState& fs) {
  const Grid& g = fs.grid;
  const Gas& gas = fs.gas;
  Results& r = fs.res;
  int np = g.NSG + 1;
  ForceSums s;
  for (int i = 1; i <= np; ++i) {
    float q2 = r.QSQ(i);
    r.CP(i) = pressure_coefficient(gas, q2);
    r.PH(i) = pressure_ratio(gas, r.CP(i));
    r.EMLS(i) = local_mach(gas, q2);
    r.QS(i) = clamped_sqrt(q2);
    float d = r.CP(i) * clamped_sqrt(fs.pot.H(i, 1));
    float fxi = d * std::cos(fs.map.ANGLE(i)), fyi = d * std::sin(fs.map.ANGLE(i));
    if (i == 1 || i == np) {
      fxi *= 0.5f;
      fyi *= 0.5f;
    }
    s.fx += fxi;
    s.fy += fyi;
    s.cms += fxi * (r.X(i) - kMomentCentre) + fyi * r.Y(i);
  }
  return s;
}

// Step 9: pressures and Mach numbers on both sides of the wake.
void wake_values(FlowState& fs) {
  const Gas& gas = fs.gas;
  Results& r = fs.res;
  int mr = fs.grid.MR;
  for (int k = 1; k <= mr; ++k) {
    r.CPU(k) = pressure_coefficient(gas, r.QWU(k));
    r.CPL(k) = pressure_coefficient(gas, r.QWL(k));
    r.PHU(k) = pressure_ratio(gas, r.CPU(k));
    r.PHL(k) = pressure_ratio(gas, r.CPL(k));
    r.WK(k, 1) = clamped_sqrt(r.QWU(k));
    r.WK(k, 2) = local_mach(gas, r.QWU(k));
    r.WK(k, 3) = clamped_sqrt(r.QWL(k));
    r.WK(k, 4) = local_mach(gas, r.QWL(k));
  }
  for (int c = 1; c <= 4; ++c) r.WK(mr + 1, c) = r.WK(mr, c);
  r.PHU(mr + 1) = r.PHU(mr);
  r.PHL(mr + 1) = r.PHL(mr);
}

// Step 10: force and moment coefficients in wind axes, with the pressure
// force on the trailing-edge gap.
void force_totals(FlowState& fs, const ForceSums& s) {
  Results& r = fs.res;
  int np = fs.grid.NSG + 1;
  float fac = fs.map.RSIGMA * fs.grid.DTH;
  r.CPTE = 0.5f * (r.CP(1) + r.CP(np));
  float tx = fac * s.fx + r.CPTE * (r.X(1) - r.X(np));
  float ty = fac * s.fy + r.CPTE * (r.Y(1) - r.Y(np));
  float bx = ty, by = -tx;  // body axes
  float a = fs.ALP / kDegPerRad;
  float ca = std::cos(a), sa = std::sin(a);
  r.CDP = bx * ca + by * sa;
  r.CL = by * ca - bx * sa;
  r.CM = fac * s.cms;
  r.FX = r.CDP;
  r.FY = r.CL;
}

}  // namespace

float pressure_coefficient(const Gas& gas, float qsq) {
  float b = std::max(gas.A1 - gas.A2 * qsq, 0.0f);
  return (std::pow(b, kExponent) - 1.0f) * gas.CPF;
}

float pressure_ratio(const Gas& gas, float cp) {
  float em2 = gas.EM * gas.EM;
  return (1.0f + 0.7f * em2 * cp) / std::pow(1.0f + 0.2f * em2, 3.5f);
}

float local_mach(const Gas& gas, float qsq) { return clamped_sqrt(qsq / (gas.A0 - gas.G1 * qsq)); }

float density_ratio(float mach) { return 1.0f / std::pow(1.0f + 0.2f * mach * mach, 2.5f); }

void trailing_edge_smoothing(const FlowState& fs, RVec<kMaxRound>& f) {
  int n = fs.grid.NSG, np = n + 1;
  RVec<kMaxRound> s = f;
  if (fine_mesh(fs)) {
    for (int pass = 0; pass < kFinePasses; ++pass) {
      RVec<kMaxRound> t = f;
      for (int i = 3; i <= n - 1; ++i)
        f(i) = (-t(i - 2) + 4.0f * t(i - 1) + 10.0f * t(i) + 4.0f * t(i + 1) - t(i + 2)) / 16.0f;
      f(2) = (t(1) + 2.0f * t(2) + t(3)) / 4.0f;
      f(n) = (t(n - 1) + 2.0f * t(n) + t(np)) / 4.0f;
    }
  } else {
    for (int pass = 0; pass < kCoarsePasses; ++pass) {
      RVec<kMaxRound> t = f;
      for (int i = 2; i <= n; ++i) f(i) = (t(i - 1) + 2.0f * t(i) + t(i + 1)) / 4.0f;
    }
  }
  for (int i = 1; i <= np; ++i) {
    float x = fs.res.X(i);
    float w = x < kBlendStart ? 0.0f : x >= kBlendFull ? 1.0f : (x - kBlendStart) / (kBlendFull - kBlendStart);
    f(i) = w * f(i) + (1.0f - w) * s(i);
  }
}

void wake_smoothing(const FlowState& fs, RVec<kWake>& f) {
  int mr = fs.grid.MR;
  bool fine = fine_mesh(fs);
  for (int pass = 0; pass < (fine ? kFinePasses : kCoarsePasses); ++pass) {
    RVec<kWake> t = f;
    for (int k = 2; k <= mr; ++k) {
      bool five = fine && k >= 3 && k <= mr - 1;
      f(k) = five ? (-t(k - 2) + 4.0f * t(k - 1) + 10.0f * t(k) + 4.0f * t(k + 1) - t(k + 2)) / 16.0f
                  : (t(k - 1) + 2.0f * t(k) + t(k + 1)) / 4.0f;
    }
  }
}

void results_operation(FlowState& fs) {
  Results& r = fs.res;
  int np = fs.grid.NSG + 1;
  // The wake points of the present mesh: results may follow a dump read or a
  // mesh change with no iteration stage to have placed them.
  wake_distances(fs);
  for (int i = 1; i <= np; ++i) {
    r.X(i) = fs.map.XZ(i, 1);
    r.Y(i) = fs.map.XZ(i, 2);
  }
  fs.mon.NPRES = np;
  surface_speeds(fs);
  wake_speeds(fs);
  if (fs.run.IVP >= 4) curvature_corrections(fs);
  trailing_edge_values(fs);
  trailing_edge_smoothing(fs, r.QSQ);
  wake_average(fs);
  ForceSums sums = surface_values(fs);
  wake_values(fs);
  force_totals(fs, sums);
  for (auto [value, name] : {std::pair{r.CL, "CL"}, {r.CM, "CM"}, {r.CDP, "CDP"}}) require_finite(value, name);
  write_results(fs);
  fs.run.ITYP = 1;
}

}  // namespace tarn
