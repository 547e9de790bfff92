// One potential-field iteration: successive line over-relaxation of the
// full-potential equation in non-conservative form on the circle-plane grid.
// Each radial line is solved implicitly (a tridiagonal system in k); the
// lines are taken from the leading edge towards the trailing edge on the
// upper side, then on the lower side, so that upwind differences at
// supersonic points use lines already updated. Central differences are used
// at subsonic points, upwind differences with the artificial-viscosity
// weight EP at supersonic points, and a QCP share of the supersonic operator
// is carried over to the first subsonic point behind a supersonic one.
//
// Arrangement for speed, with the same arithmetic per value as a plain
// line-by-line sweep:
// - a line works on contiguous copies of P and H on itself and its two
//   neighbours. Its interior points are first all taken as subsonic, in one
//   branch-free loop over k that the compiler vectorises; the few points that
//   are supersonic, or follow a supersonic point of the line before, are then
//   evaluated again on the scalar path. Both paths share the point's terms.
// - after the first lines of the upper side, a line of each side depends
//   only on lines of its own side, so the two are solved together and their
//   tridiagonal eliminations, each a chain of dependent operations,
//   interleave.
// - each point's correction is kept, and the largest is searched for
//   afterwards in the order of the sweep.
#include <algorithm>
#include <cmath>

#include "potential.h"
#include "units.h"

namespace tarn {

namespace {

constexpr float kSonicShare = (kGamma - 1.0f) / (kGamma + 1.0f);  // v^2 share of the sonic test
constexpr float kHalfGm1 = kGammaTerm;                             // a^2 = A0 - 0.2 q^2
constexpr int kColumn = kMaxRadial + 1;                            // k = 1 ... MR + 1 (element 0 unused)
constexpr int kLeadingLines = 3;  // upper-side lines solved before the lower side starts

const Layout kRunningTotal("('+', 3X, I7, ' = running total of potential field iterations')");

// Constants hoisted out of the sweep.
struct Scheme {
  float qstar2, a0, ep, qcp;
  bool transpiration;
  float rela, relb;  // relaxation factor omega = rela q^2 + relb ...
  float lo, hi;      // ... clipped to [XM, XS]
};

// One half of the sweep: the lines of one side, taken from the leading edge
// towards the trailing edge. Arrays are indexed by k directly.
struct Half {
  int dir;         // +1 on the upper side (i rising), -1 on the lower side
  float sigma_d;   // i1 - i2
  int i;           // the line being solved
  int i1, i2, i3;  // its upwind neighbours
  float sin_i, cos_i;
  // P and H on line i - 1, line i (old values) and line i + 1.
  float Pm[kColumn], Pc[kColumn], Pp[kColumn];
  float Hm[kColumn], Hc[kColumn], Hp[kColumn];
  float D[kColumn];  // central round difference on entry, old P(i, k) after the line
  // Tridiagonal system: L(k - 1) multiplies X(k - 1) in equation k.
  float L[kColumn], B[kColumn], C[kColumn], R[kColumn], X[kColumn];
  float q2[kColumn];                       // squared speed for the relaxation factor
  float u2prev[kColumn], a2prev[kColumn];  // speeds of the line before (of this line once evaluated)
  float u2old[kColumn], a2old[kColumn];    // speeds of the line before, kept for the scalar path
  int32_t scalar[kColumn];                 // nonzero: the point needs the scalar path
  float u2surf, a2surf;                    // stored surface values
};

// The whole sweep's work: both halves and the correction of every point.
struct SweepWork {
  Half upper, lower;
  float corr[kMaxRound + 1][kColumn];
};

void load_column(const Field& f, int i, int mr, float* col) {
  for (int k = 1; k <= mr + 1; ++k) col[k] = f(i, k);
}

// Start of a half at line i0: the speeds of the previous line are reset, D
// holds the line before i0, and the columns are placed so that the first
// advance moves onto line i0.
void begin_half(const FlowState& fs, Half& w, int i0, int dir) {
  const Potential& pot = fs.pot;
  int mr = fs.grid.MR;
  w.dir = dir;
  w.sigma_d = static_cast<float>(dir);
  for (int k = 1; k <= mr; ++k) {
    w.u2prev[k] = 0.0f;
    w.a2prev[k] = 1.0f;
  }
  w.u2surf = 0.0f;
  w.a2surf = 1.0f;
  load_column(pot.P, i0 - dir, mr, w.D);
  load_column(pot.P, i0 - dir, mr, w.Pc);
  load_column(pot.H, i0 - dir, mr, w.Hc);
  load_column(pot.P, i0, mr, dir > 0 ? w.Pp : w.Pm);
  load_column(pot.H, i0, mr, dir > 0 ? w.Hp : w.Hm);
}

// Moves the columns on to line i (the line solved before becomes the upwind
// neighbour with its new values) and forms the central round difference with
// the old value of that line.
void advance(const FlowState& fs, Half& w, int i) {
  const Potential& pot = fs.pot;
  int mr = fs.grid.MR;
  w.i = i;
  w.sin_i = fs.grid.SIN(i);
  w.cos_i = fs.grid.COS(i);
  if (w.dir > 0) {
    std::copy(w.Pc + 1, w.Pc + mr + 2, w.Pm + 1);
    std::copy(w.Pp + 1, w.Pp + mr + 2, w.Pc + 1);
    std::copy(w.Hc + 1, w.Hc + mr + 2, w.Hm + 1);
    std::copy(w.Hp + 1, w.Hp + mr + 2, w.Hc + 1);
    load_column(pot.P, i + 1, mr, w.Pp);
    load_column(pot.H, i + 1, mr, w.Hp);
    for (int k = 1; k <= mr; ++k) w.D[k] = w.Pp[k] - w.D[k];
  } else {
    std::copy(w.Pc + 1, w.Pc + mr + 2, w.Pp + 1);
    std::copy(w.Pm + 1, w.Pm + mr + 2, w.Pc + 1);
    std::copy(w.Hc + 1, w.Hc + mr + 2, w.Hp + 1);
    std::copy(w.Hm + 1, w.Hm + mr + 2, w.Hc + 1);
    load_column(pot.P, i - 1, mr, w.Pm);
    load_column(pot.H, i - 1, mr, w.Hm);
    for (int k = 1; k <= mr; ++k) w.D[k] -= w.Pm[k];
  }
}

float sonic_limit(const Scheme& sc, float v2) { return sc.qstar2 - kSonicShare * v2; }

// Speeds at interior point k from the central differences, and the terms of
// the linearised operator there: b multiplies both radial neighbours, d =
// a^2 - u^2 the round second difference, c the cross difference; r0 is the
// part of the right-hand side that needs no neighbouring line.
struct InteriorTerms {
  float u2, q2, a2, b, d, c, uvh, r0, limit;
};

inline InteriorTerms interior_terms(const Grid& g, const Scheme& sc, const Half& w, int k) {
  float s = g.RT(k), s2 = g.RS(k);
  float pr = w.Pc[k + 1] - w.Pc[k - 1];
  float U = s * w.D[k] * g.R2DTH - w.sin_i;
  float V = s2 * pr * g.R2DS - w.cos_i;
  float h = w.Hc[k];
  InteriorTerms t;
  t.u2 = U * U / h;
  float v2 = V * V / h;
  t.q2 = t.u2 + v2;
  t.a2 = sc.a0 - kHalfGm1 * t.q2;
  t.b = (v2 - t.a2) * s2 * g.DTHDS2;
  t.d = t.a2 - t.u2;
  t.uvh = U * V / h;
  t.c = t.uvh * g.CROSS * s;
  t.r0 = ((w.Hc[k - 1] - w.Hc[k + 1]) * V * g.DTHDS + U * g.R(k) * (w.Hm[k] - w.Hp[k])) * (t.q2 / h) * g.MGRAD +
         (t.u2 + t.a2 - 2.0f * v2) * g.DTH2DS * s * pr - t.uvh * g.DTH * w.D[k];
  t.limit = sonic_limit(sc, v2);
  return t;
}

// Right-hand side of a subsonic interior point: central round and cross
// differences.
inline float subsonic_rhs(const Half& w, const InteriorTerms& t, int k) {
  return t.r0 + t.c * (w.Pp[k + 1] + w.Pm[k - 1] - w.Pp[k - 1] - w.Pm[k + 1]) + t.d * (w.Pp[k] + w.Pm[k]);
}

// Upwind part shared by every supersonic point: the EP-weighted backward
// second difference plus the carried-over share w of the previous line.
float upwind_rhs(const FlowState& fs, const Half& w, int k, float d, float wprev) {
  const Field& P = fs.pot.P;
  float ep = fs.pot.EP;
  return (ep * d + (2.0f * ep + 1.0f) * wprev) * P(w.i2, k) - ep * wprev * P(w.i3, k) -
         (2.0f * ep * d + (ep + 2.0f) * wprev) * P(w.i1, k);
}

// Interior point k on the scalar path: supersonic, or subsonic behind a
// supersonic point of the previous line.
void scalar_interior_point(const FlowState& fs, const Scheme& sc, Half& w, int k) {
  const Field& P = fs.pot.P;
  InteriorTerms t = interior_terms(fs.grid, sc, w, k);
  bool prev_super = w.u2old[k] > t.limit;
  w.L[k - 1] = t.b;
  w.C[k] = t.b;
  if (t.u2 <= t.limit) {
    float r = subsonic_rhs(w, t, k);
    float bb = 2.0f * (t.d - t.b);
    if (prev_super) {
      float wq = sc.qcp * (w.a2old[k] - w.u2old[k]);
      r += wq * ((P(w.i2, k) - 2.0f * P(w.i1, k)) - sc.ep * (P(w.i1, k) - 2.0f * P(w.i2, k) + P(w.i3, k)));
      bb -= wq;
    }
    w.R[k] = r;
    w.B[k] = bb;
  } else {
    float c = t.c * w.sigma_d;
    float wprev = prev_super ? w.a2old[k] - w.u2old[k] : 0.0f;
    w.R[k] = t.r0 +
             c * (2.0f * (1.0f + sc.ep) * (P(w.i1, k - 1) - P(w.i1, k + 1)) +
                  sc.ep * (P(w.i2, k + 1) - P(w.i2, k - 1))) +
             upwind_rhs(fs, w, k, t.d, wprev);
    w.B[k] = -(2.0f * t.b + sc.ep * t.d + wprev);
    float gx = c * (sc.ep + 2.0f);
    w.L[k - 1] += gx;
    w.C[k] -= gx;
  }
}

// Interior points k = 2 ... MR: every point as subsonic in one loop without
// branches, then the scalar path where that was wrong.
void interior_points(const FlowState& fs, const Scheme& sc, Half& w) {
  const Grid& g = fs.grid;
  const Scheme constants = sc;  // a local copy: the compiler sees that the loop's stores leave it alone
  int mr = g.MR;
  int32_t any = 0;
  for (int k = 2; k <= mr; ++k) {
    InteriorTerms t = interior_terms(g, constants, w, k);
    w.L[k - 1] = t.b;
    w.C[k] = t.b;
    w.R[k] = subsonic_rhs(w, t, k);
    w.B[k] = 2.0f * (t.d - t.b);
    w.q2[k] = t.q2;
    int32_t scalar = !(t.u2 <= t.limit) | (w.u2prev[k] > t.limit);
    w.scalar[k] = scalar;
    any |= scalar;
    w.u2old[k] = w.u2prev[k];
    w.a2old[k] = w.a2prev[k];
    w.u2prev[k] = t.u2;
    w.a2prev[k] = t.a2;
  }
  if (!any) return;
  for (int k = 2; k <= mr; ++k)
    if (w.scalar[k]) scalar_interior_point(fs, sc, w, k);
}

// Supersonic surface point: upwind operator; the stored surface values become
// this point's speeds.
void supersonic_surface(const FlowState& fs, const Scheme& sc, Half& w, float d, float u2, float a2, float r0,
                        bool stored_super) {
  float wprev = stored_super ? w.a2surf - w.u2surf : 0.0f;
  w.R[1] = r0 + upwind_rhs(fs, w, 1, d, wprev);
  w.B[1] = -(sc.ep * d + wprev + w.C[1]);
  w.u2surf = u2;
  w.a2surf = a2;
}

// Surface point of a solid wall (no transpiration). Returns q^2.
float wall_point(const FlowState& fs, const Scheme& sc, Half& w, bool trailing_edge) {
  const Grid& g = fs.grid;
  float q2 = 0.0f, G = 0.0f;
  if (!trailing_edge) {  // the metric vanishes at the trailing edge: the speed is taken as 0 there
    float U = w.D[1] * g.R2DTH - w.sin_i;
    q2 = U * U / w.Hc[1];
    G = (w.Hm[1] - w.Hp[1]) * (U / w.Hc[1]) * q2;
  }
  float a2 = sc.a0 - kHalfGm1 * q2;
  w.C[1] = -2.0f * g.DTHDS2 * a2;
  float d = a2 - q2;
  float T = ((q2 + a2) * g.DTH2 + g.DS * w.C[1]) * w.cos_i;
  if (q2 <= sc.qstar2) {
    w.R[1] = G * g.MGRAD + (w.Pp[1] + w.Pm[1]) * d + T;
    w.B[1] = 2.0f * d - w.C[1];
  } else {
    supersonic_surface(fs, sc, w, d, q2, a2, G * g.MGRAD + T, w.u2surf > sc.qstar2);
  }
  return q2;
}

// Surface point with the transpiration velocity TAW1 of the displacement
// effect (and its round derivative TAW2). Returns q^2.
float transpiration_point(const FlowState& fs, const Scheme& sc, Half& w) {
  const Grid& g = fs.grid;
  float taw1 = fs.cpl.TAW1(w.i), taw2 = fs.cpl.TAW2(w.i);
  float h = w.Hc[1];
  float U = w.D[1] * g.R2DTH - w.sin_i;
  float u2 = U * U / h, v2 = taw1 * taw1 / h, q2 = u2 + v2;
  float a2 = sc.a0 - kHalfGm1 * q2;
  w.C[1] = 2.0f * (v2 - a2) * g.DTHDS2;
  float d = a2 - u2;
  float e = U * taw1 / h;
  float metric = 2.0f * (w.Hc[2] - h) * taw1 * g.R2DS + (w.Hp[1] - w.Hm[1]) * U * g.R2DTH;
  float r0 = g.DTH2 * (2.0f * e * (U + w.sin_i) - (taw1 + w.cos_i) * (u2 + a2 - 2.0f * v2) - 0.5f * (q2 / h) * metric) +
             2.0f * g.DTH2 * e * (taw2 - w.sin_i) - (taw1 + w.cos_i) * g.DS * w.C[1];
  float limit = sonic_limit(sc, v2);
  if (u2 <= limit) {
    w.R[1] = d * (w.Pp[1] + w.Pm[1]) - r0;
    w.B[1] = 2.0f * d - w.C[1];
  } else {
    supersonic_surface(fs, sc, w, d, u2, a2, -r0, w.u2surf > limit);
  }
  return q2;
}

// Trailing-edge point operator: a one-sided stencil in the corner of the
// cut that supplies the surface equation of line N + 1. Returns q^2.
float trailing_edge_point(const FlowState& fs, const Scheme& sc, Half& w) {
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

// The tridiagonal system of line i. On the trailing-edge line N + 1 the
// upwind neighbours stay those of the line before.
void line_system(const FlowState& fs, const Scheme& sc, Half& w, int i) {
  int n = fs.grid.NSG;
  bool trailing_edge = i == n + 1;
  advance(fs, w, i);
  if (!trailing_edge) {
    w.i1 = i - w.dir;
    w.i2 = i - 2 * w.dir;
    w.i3 = i - 3 * w.dir;
  }
  if (sc.transpiration) w.q2[1] = trailing_edge ? trailing_edge_point(fs, sc, w) : transpiration_point(fs, sc, w);
  else if (trailing_edge && fs.cpl.ISMOOTH == 1) w.q2[1] = trailing_edge_point(fs, sc, w);
  else w.q2[1] = wall_point(fs, sc, w, trailing_edge);
  interior_points(fs, sc, w);
}

// Tridiagonal elimination of the systems of several lines at once: the
// far-field value moves to the right-hand side, then forward elimination and
// back substitution, each line's steps interleaved with the others'.
template <int Lines>
void eliminate(Half* const (&lines)[Lines], int mr) {
  float piv[Lines], x[Lines];
  for (int j = 0; j < Lines; ++j) {
    Half& w = *lines[j];
    w.R[mr] -= w.C[mr] * w.Pc[mr + 1];
    piv[j] = 1.0f / w.B[1];
    x[j] = w.R[1] * piv[j];
    w.X[1] = x[j];
  }
  for (int k = 2; k <= mr; ++k)
    for (int j = 0; j < Lines; ++j) {
      Half& w = *lines[j];
      float c = w.C[k - 1] * piv[j];
      w.C[k - 1] = c;
      piv[j] = 1.0f / (w.B[k] - w.L[k - 1] * c);
      x[j] = (w.R[k] - w.L[k - 1] * x[j]) * piv[j];
      w.X[k] = x[j];
    }
  for (int k = mr - 1; k >= 1; --k)
    for (int j = 0; j < Lines; ++j) {
      Half& w = *lines[j];
      x[j] = w.X[k] - w.C[k] * x[j];
      w.X[k] = x[j];
    }
}

// Relaxation of the solution into P with a factor that falls from XS at rest
// to XM at sonic speed; the corrections are kept for the search of the
// largest.
void relax(FlowState& fs, const Scheme& sc, Half& w, float* corr) {
  int mr = fs.grid.MR;
  for (int k = 1; k <= mr; ++k) {
    float old = w.Pc[k];
    corr[k] = std::fabs(w.X[k] - old);
    float omega = std::min(std::max(sc.rela * w.q2[k] + sc.relb, sc.lo), sc.hi);
    w.D[k] = old;
    w.Pc[k] = (1.0f - omega) * old + omega * w.X[k];
  }
  Field& P = fs.pot.P;
  for (int k = 1; k <= mr; ++k) P(w.i, k) = w.Pc[k];
}

void line_alone(FlowState& fs, const Scheme& sc, SweepWork& s, Half& w, int i) {
  line_system(fs, sc, w, i);
  eliminate<1>({&w}, fs.grid.MR);
  relax(fs, sc, w, s.corr[i]);
}

void line_pair(FlowState& fs, const Scheme& sc, SweepWork& s, int iu, int il) {
  line_system(fs, sc, s.upper, iu);
  line_system(fs, sc, s.lower, il);
  eliminate<2>({&s.upper, &s.lower}, fs.grid.MR);
  relax(fs, sc, s.upper, s.corr[iu]);
  relax(fs, sc, s.lower, s.corr[il]);
}

// Largest correction of line i and its location, searched in the order of
// the sweep; a correction that is not a number is kept too.
void track_largest(Potential& pot, const float* corr, int i, int mr) {
  int32_t any = 0;
  float largest = pot.RESMAX;
  for (int k = 1; k <= mr; ++k) any |= !(corr[k] <= largest);
  if (!any) return;
  for (int k = 1; k <= mr; ++k)
    if (!(corr[k] <= pot.RESMAX)) {
      pot.RESMAX = corr[k];
      pot.IRES = i;
      pot.KRES = k;
    }
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

// Order of the lines: the upper side from the leading-edge line m to the
// trailing-edge line N + 1, then the cut, and the lower side from m - 1 down
// to 2. The first upper lines read the old values of the lower lines next
// to the leading edge, and the first lower line reads their new values, so
// they go alone. Then an upper and a lower line go together; the last lower
// line, 2, reads the cut and comes after it.
void relaxation_sweep(FlowState& fs) {
  Grid& g = fs.grid;
  Potential& pot = fs.pot;
  int n = g.NSG, mr = g.MR, m = g.NHALF;
  Scheme sc{fs.gas.QSTAR2, fs.gas.A0, pot.EP, pot.QCP, fs.run.IVP != 0,
            pot.RELA, pot.RELB, std::min(pot.XM, pot.XS), std::max(pot.XM, pot.XS)};
  SweepWork s;

  int iu = m, il = m - 1;
  const int te = n + 1;
  begin_half(fs, s.upper, iu, +1);
  for (; iu <= std::min(m + kLeadingLines - 1, te); ++iu) line_alone(fs, sc, s, s.upper, iu);
  begin_half(fs, s.lower, il, -1);
  for (; iu <= te && il > 2; ++iu, --il) line_pair(fs, sc, s, iu, il);
  for (; iu <= te; ++iu) line_alone(fs, sc, s, s.upper, iu);
  lower_cut_from_upper(fs);
  for (; il >= 2; --il) line_alone(fs, sc, s, s.lower, il);

  pot.RESMAX = 0.0f;
  pot.IRES = m;
  pot.KRES = 1;
  for (int i = m; i <= te; ++i) track_largest(pot, s.corr[i], i, mr);
  for (int i = m - 1; i >= 2; --i) track_largest(pot, s.corr[i], i, mr);

  circulation_update(fs);
  ++fs.run.ITERTOTAL;
  units().write(kConsoleOut, kRunningTotal, fs.run.ITERTOTAL);
}

}  // namespace tarn
