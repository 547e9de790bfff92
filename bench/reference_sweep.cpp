// The relaxation sweep as it stood before it was arranged for speed: one
// line at a time, the point operator called per point. It is kept in the
// benchmarks only, so that the present sweep is timed against it in the same
// run and checked to give the same bits, and it builds the program
// tarn_reference, the solver with this sweep, for whole-run comparisons.
// The code below is unchanged apart from its namespace and include path.
// One potential-field iteration: successive line over-relaxation of the
// full-potential equation in non-conservative form on the circle-plane grid.
// Each radial line is solved implicitly (a tridiagonal system in k); the
// lines are taken from the leading edge towards the trailing edge on the
// upper side, then on the lower side, so that upwind differences at
// supersonic points use lines already updated. Central differences are used
// at subsonic points, upwind differences with the artificial-viscosity
// weight EP at supersonic points, and a QCP share of the supersonic operator
// is carried over to the first subsonic point behind a supersonic one.
#include <algorithm>
#include <cmath>

#include "potential/potential.h"
#include "units.h"

namespace tarn {
namespace reference {

namespace {

constexpr float kSonicShare = (kGamma - 1.0f) / (kGamma + 1.0f);  // v^2 share of the sonic test
constexpr float kHalfGm1 = kGammaTerm;                             // a^2 = A0 - 0.2 q^2

const Layout kRunningTotal("('+', 3X, I7, ' = running total of potential field iterations')");

// Work of one sweep: the tridiagonal system of the current line, the central
// round difference, the squared speed per point for the relaxation factor
// and the speeds of the line solved before.
// Arrays are indexed by k directly (element 0 unused).
struct Line {
  float L[kMaxRadial + 1];  // sub-diagonal: L(k - 1) multiplies X(k - 1) in equation k
  float B[kMaxRadial + 1];  // diagonal
  float C[kMaxRadial + 1];  // super-diagonal
  float R[kMaxRadial + 1];  // right-hand side
  float X[kMaxRadial + 1];  // solution
  float D[kMaxRadial + 1];  // central round difference on entry, old P(i, k) after the line
  float q2[kMaxRadial + 1];
  float u2prev[kMaxRadial + 1];  // previous line: u^2 (k = 1: stored surface value)
  float a2prev[kMaxRadial + 1];  // previous line: a^2
  int i1, i2, i3;                // upwind neighbours
  float sigma_d;                 // +1 on the forward half, -1 on the backward half
};

// Constants hoisted out of the sweep.
struct Scheme {
  float qstar2, a0, ep, qcp;
  bool transpiration;
};

// The speeds of the previous line are reset at the start of each half.
void reset_previous(Line& w, int mr) {
  for (int k = 1; k <= mr; ++k) {
    w.u2prev[k] = 0.0f;
    w.a2prev[k] = 1.0f;
  }
}

float sonic_limit(const Scheme& sc, float v2) { return sc.qstar2 - kSonicShare * v2; }

// Upwind part shared by every supersonic point: the EP-weighted backward
// second difference plus the carried-over share w of the previous line.
float upwind_rhs(const FlowState& fs, const Line& w, int k, float d, float wprev) {
  const Field& P = fs.pot.P;
  float ep = fs.pot.EP;
  return (ep * d + (2.0f * ep + 1.0f) * wprev) * P(w.i2, k) - ep * wprev * P(w.i3, k) -
         (2.0f * ep * d + (ep + 2.0f) * wprev) * P(w.i1, k);
}

// Interior point (i, k), k = 2 ... MR.
void interior_point(const FlowState& fs, const Scheme& sc, int i, int k, Line& w) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  const Field& H = fs.pot.H;
  float s = g.RT(k), s2 = g.RS(k);
  float pr = P(i, k + 1) - P(i, k - 1);
  float U = s * w.D[k] * g.R2DTH - g.SIN(i);
  float V = s2 * pr * g.R2DS - g.COS(i);
  float h = H(i, k);
  float u2 = U * U / h, v2 = V * V / h, q2 = u2 + v2;
  float a2 = sc.a0 - kHalfGm1 * q2;
  float b = (v2 - a2) * s2 * g.DTHDS2;
  float d = a2 - u2;
  float uvh = U * V / h;
  float c = uvh * g.CROSS * s;
  float r0 = ((H(i, k - 1) - H(i, k + 1)) * V * g.DTHDS + U * g.R(k) * (H(i - 1, k) - H(i + 1, k))) * (q2 / h) *
                 g.MGRAD +
             (u2 + a2 - 2.0f * v2) * g.DTH2DS * s * pr - uvh * g.DTH * w.D[k];
  float limit = sonic_limit(sc, v2);
  bool prev_super = w.u2prev[k] > limit;
  w.L[k - 1] = b;
  w.C[k] = b;
  if (u2 <= limit) {
    float r = r0 + c * (P(i + 1, k + 1) + P(i - 1, k - 1) - P(i + 1, k - 1) - P(i - 1, k + 1)) +
              d * (P(i + 1, k) + P(i - 1, k));
    float bb = 2.0f * (d - b);
    if (prev_super) {
      float wq = sc.qcp * (w.a2prev[k] - w.u2prev[k]);
      r += wq * ((P(w.i2, k) - 2.0f * P(w.i1, k)) - sc.ep * (P(w.i1, k) - 2.0f * P(w.i2, k) + P(w.i3, k)));
      bb -= wq;
    }
    w.R[k] = r;
    w.B[k] = bb;
  } else {
    c *= w.sigma_d;
    float wprev = prev_super ? w.a2prev[k] - w.u2prev[k] : 0.0f;
    w.R[k] = r0 +
             c * (2.0f * (1.0f + sc.ep) * (P(w.i1, k - 1) - P(w.i1, k + 1)) +
                  sc.ep * (P(w.i2, k + 1) - P(w.i2, k - 1))) +
             upwind_rhs(fs, w, k, d, wprev);
    w.B[k] = -(2.0f * b + sc.ep * d + wprev);
    float gx = c * (sc.ep + 2.0f);
    w.L[k - 1] += gx;
    w.C[k] -= gx;
  }
  w.u2prev[k] = u2;
  w.a2prev[k] = a2;
  w.q2[k] = q2;
}

// Supersonic surface point: upwind operator; the stored surface values become
// this point's speeds.
void supersonic_surface(const FlowState& fs, const Scheme& sc, Line& w, float d, float u2, float a2, float r0,
                        bool stored_super) {
  float wprev = stored_super ? w.a2prev[1] - w.u2prev[1] : 0.0f;
  w.R[1] = r0 + upwind_rhs(fs, w, 1, d, wprev);
  w.B[1] = -(sc.ep * d + wprev + w.C[1]);
  w.u2prev[1] = u2;
  w.a2prev[1] = a2;
}

// Surface point of a solid wall (no transpiration). Returns q^2.
float wall_point(const FlowState& fs, const Scheme& sc, int i, Line& w, bool trailing_edge) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  const Field& H = fs.pot.H;
  float q2 = 0.0f, G = 0.0f;
  if (!trailing_edge) {  // the metric vanishes at the trailing edge: the speed is taken as 0 there
    float U = w.D[1] * g.R2DTH - g.SIN(i);
    q2 = U * U / H(i, 1);
    G = (H(i - 1, 1) - H(i + 1, 1)) * (U / H(i, 1)) * q2;
  }
  float a2 = sc.a0 - kHalfGm1 * q2;
  w.C[1] = -2.0f * g.DTHDS2 * a2;
  float d = a2 - q2;
  float T = ((q2 + a2) * g.DTH2 + g.DS * w.C[1]) * g.COS(i);
  if (q2 <= sc.qstar2) {
    w.R[1] = G * g.MGRAD + (P(i + 1, 1) + P(i - 1, 1)) * d + T;
    w.B[1] = 2.0f * d - w.C[1];
  } else {
    supersonic_surface(fs, sc, w, d, q2, a2, G * g.MGRAD + T, w.u2prev[1] > sc.qstar2);
  }
  return q2;
}

// Surface point with the transpiration velocity TAW1 of the displacement
// effect (and its round derivative TAW2). Returns q^2.
float transpiration_point(const FlowState& fs, const Scheme& sc, int i, Line& w) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  const Field& H = fs.pot.H;
  float taw1 = fs.cpl.TAW1(i), taw2 = fs.cpl.TAW2(i);
  float h = H(i, 1);
  float U = w.D[1] * g.R2DTH - g.SIN(i);
  float u2 = U * U / h, v2 = taw1 * taw1 / h, q2 = u2 + v2;
  float a2 = sc.a0 - kHalfGm1 * q2;
  w.C[1] = 2.0f * (v2 - a2) * g.DTHDS2;
  float d = a2 - u2;
  float e = U * taw1 / h;
  float metric = 2.0f * (H(i, 2) - h) * taw1 * g.R2DS + (H(i + 1, 1) - H(i - 1, 1)) * U * g.R2DTH;
  float r0 = g.DTH2 * (2.0f * e * (U + g.SIN(i)) - (taw1 + g.COS(i)) * (u2 + a2 - 2.0f * v2) - 0.5f * (q2 / h) * metric) +
             2.0f * g.DTH2 * e * (taw2 - g.SIN(i)) - (taw1 + g.COS(i)) * g.DS * w.C[1];
  float limit = sonic_limit(sc, v2);
  if (u2 <= limit) {
    w.R[1] = d * (P(i + 1, 1) + P(i - 1, 1)) - r0;
    w.B[1] = 2.0f * d - w.C[1];
  } else {
    supersonic_surface(fs, sc, w, d, u2, a2, -r0, w.u2prev[1] > limit);
  }
  return q2;
}

// Trailing-edge point operator: a one-sided stencil in the corner of the
// cut that supplies the surface equation of line N + 1. Returns q^2.
float trailing_edge_point(const FlowState& fs, const Scheme& sc, Line& w) {
  const Grid& g = fs.grid;
  const Field& P = fs.pot.P;
  int n = g.NSG;
  float ht = g.DTH, hs = 1.0f / static_cast<float>(g.MR), hh = ht * hs;
  float p = std::sqrt(g.DTH / (2.0f * hs)), pp = std::sqrt(hs / (2.0f * g.DTH));
  float gr = 1.0f / (1.0f - hs);
  float e1 = 2.0f / (hs * (ht + hs)), e2 = 2.0f / (ht * (ht + hs)), e3 = 2.0f / hh;
  float c1 = p - 1.0f + pp, c2 = 1.0f - pp, c3 = 1.0f - p;
  float cte = g.COS(n + 1), cn = g.COS(n), c2g = g.COS(2), c1g = g.COS(1);
  float ute = 0.5f * ht * e1 * (gr * cte + P(n + 1, 2)) - (ht - hs) * (P(n + 1, 1) + cte) / hh -
              0.5f * hs * e2 * (P(n, 1) + cn);
  float q2 = ute * ute;
  float a2 = sc.a0 - kHalfGm1 * q2;
  float d = a2 - q2;
  float t4 = gr * (c2g + cn) + P(n, 2) + P(n + 2, 2);
  float t5 = P(n, 1) + P(n + 2, 1) + cn + c2g;
  float t6 = (P(n, 1) + cn) * e2 + c1g * (gr * e1 - e3);
  float t7 = c1 * t4 + 2.0f * c2 * gr * c1g + c3 * t5 - 2.0f * c1g;
  w.R[1] = g.DTH2 * (t7 * a2 / hh + t6 * d);
  w.B[1] = g.DTH2 * (2.0f * a2 / hh + d * e3);
  w.C[1] = -g.DTH2 * (2.0f * c2 * a2 / hh + d * e1);
  return q2;
}

// Tridiagonal elimination for the line, then relaxation into P with a factor
// that falls from XS at rest to XM at sonic speed.
void solve_line(FlowState& fs, int i, Line& w) {
  Potential& pot = fs.pot;
  Field& P = pot.P;
  int mr = fs.grid.MR;
  w.R[mr] -= w.C[mr] * P(i, mr + 1);
  float piv = 1.0f / w.B[1];
  w.X[1] = w.R[1] * piv;
  for (int k = 2; k <= mr; ++k) {
    w.C[k - 1] *= piv;
    piv = 1.0f / (w.B[k] - w.L[k - 1] * w.C[k - 1]);
    w.X[k] = (w.R[k] - w.L[k - 1] * w.X[k - 1]) * piv;
  }
  for (int k = mr - 1; k >= 1; --k) w.X[k] -= w.C[k] * w.X[k + 1];

  float lo = std::min(pot.XM, pot.XS), hi = std::max(pot.XM, pot.XS);
  for (int k = 1; k <= mr; ++k) {
    float old = P(i, k);
    float corr = std::fabs(w.X[k] - old);
    if (!(corr <= pot.RESMAX)) {  // a correction that is not a number is kept too
      pot.RESMAX = corr;
      pot.IRES = i;
      pot.KRES = k;
    }
    float omega = std::min(std::max(pot.RELA * w.q2[k] + pot.RELB, lo), hi);
    w.D[k] = old;
    P(i, k) = (1.0f - omega) * old + omega * w.X[k];
  }
}

void solve_interior_and_line(FlowState& fs, const Scheme& sc, int i, Line& w) {
  for (int k = 2; k <= fs.grid.MR; ++k) interior_point(fs, sc, i, k, w);
  solve_line(fs, i, w);
}

void ordinary_line(FlowState& fs, const Scheme& sc, int i, Line& w) {
  w.q2[1] = sc.transpiration ? transpiration_point(fs, sc, i, w) : wall_point(fs, sc, i, w, false);
  solve_interior_and_line(fs, sc, i, w);
}

void trailing_edge_line(FlowState& fs, const Scheme& sc, Line& w) {
  int n = fs.grid.NSG;
  bool te_operator = sc.transpiration || fs.cpl.ISMOOTH == 1;
  w.q2[1] = te_operator ? trailing_edge_point(fs, sc, w) : wall_point(fs, sc, n + 1, w, true);
  solve_interior_and_line(fs, sc, n + 1, w);
}

// Lower side of the cut from the upper side: the potential jumps by the
// circulation (and, with wake vorticity, by its radial integral).
void lower_cut_from_upper(FlowState& fs) {
  Grid& g = fs.grid;
  Field& P = fs.pot.P;
  int n = g.NSG;
  if (fs.run.IVP < 3) {
    for (int k = 1; k <= g.MR; ++k) P(1, k) = P(n + 1, k) - fs.pot.GAM;
    return;
  }
  const Columns<kWake, 4>& sig = fs.cpl.SIG;
  P(1, 1) = P(n + 1, 1) - fs.pot.GAM;
  for (int k = 2; k <= g.MR; ++k)
    P(1, k) = P(1, k - 1) + P(n + 1, k) - P(n + 1, k - 1) + 0.5f * g.DS * g.DS * sig(k, 3) - g.DS * sig(k, 2);
}

// Kutta condition at the trailing edge, far-field row and the repeated
// column N + 2 across the cut.
void circulation_update(FlowState& fs) {
  Grid& g = fs.grid;
  Potential& pot = fs.pot;
  Field& P = pot.P;
  int n = g.NSG, mr = g.MR, ivp = fs.run.IVP;
  float dgam = pot.F != 0.0f ? pot.F * ((P(n, 1) - P(n + 2, 1)) * g.R2DTH + g.SIN(1)) : pot.DGHELD;
  pot.GAM += dgam;
  pot.DGHELD = dgam * g.RTWOPI;
  float jump = ivp <= 2 ? pot.GAM : P(n + 1, mr) - P(1, mr);
  for (int i = 1; i <= n + 2; ++i) P(i, mr + 1) = jump * g.RTWOPI * g.FF(i);
  for (int k = 1; k <= mr; ++k)
    for (int i = 1; i <= n + 2; ++i) P(i, k) += pot.DGHELD * g.FF(i);
  for (int k = 1; k <= mr; ++k) {
    if (ivp < 2) P(n + 2, k) = pot.GAM + P(2, k);
    else if (ivp == 2) P(n + 2, k) = pot.GAM + P(2, k) + wake_jump(fs, k);
    else P(n + 2, k) = P(2, k) + P(n + 1, k) - P(1, k) + wake_jump(fs, k);
  }
}

}  // namespace

// Wake jump term of the cut condition: the displacement (SIGMA1) and vortex
// (SIGMA2, SIGMA3) terms of the viscous wake.
float wake_jump(const FlowState& fs, int k) {
  const Grid& g = fs.grid;
  const Columns<kWake, 4>& sig = fs.cpl.SIG;
  return g.DTH * sig(k, 1) - 0.5f * g.DTH2 * (g.RS(k) * sig(k, 3) + g.RT(k) * sig(k, 2));
}

void relaxation_sweep(FlowState& fs) {
  Grid& g = fs.grid;
  Potential& pot = fs.pot;
  Field& P = pot.P;
  int n = g.NSG, mr = g.MR, m = g.NHALF;
  Scheme sc{fs.gas.QSTAR2, fs.gas.A0, pot.EP, pot.QCP, fs.run.IVP != 0};
  Line w;

  pot.RESMAX = 0.0f;
  pot.IRES = m;
  pot.KRES = 1;

  // Upper side: from the leading edge to the trailing edge.
  reset_previous(w, mr);
  w.sigma_d = 1.0f;
  for (int k = 1; k <= mr; ++k) w.D[k] = P(m - 1, k);
  for (int i = m; i <= n; ++i) {
    w.i1 = i - 1;
    w.i2 = i - 2;
    w.i3 = i - 3;
    for (int k = 1; k <= mr; ++k) w.D[k] = P(i + 1, k) - w.D[k];
    ordinary_line(fs, sc, i, w);
  }
  for (int k = 1; k <= mr; ++k) w.D[k] = P(n + 2, k) - w.D[k];
  trailing_edge_line(fs, sc, w);
  lower_cut_from_upper(fs);

  // Lower side: from the leading edge back to the trailing edge.
  reset_previous(w, mr);
  w.sigma_d = -1.0f;
  for (int k = 1; k <= mr; ++k) w.D[k] = P(m, k);
  for (int i = m - 1; i >= 2; --i) {
    w.i1 = i + 1;
    w.i2 = i + 2;
    w.i3 = i + 3;
    for (int k = 1; k <= mr; ++k) w.D[k] -= P(i - 1, k);
    ordinary_line(fs, sc, i, w);
  }

  circulation_update(fs);
  ++fs.run.ITERTOTAL;
  units().write(kConsoleOut, kRunningTotal, fs.run.ITERTOTAL);
}

}  // namespace reference
}  // namespace tarn
