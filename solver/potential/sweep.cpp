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
// The arithmetic of every value is that of a plain line-by-line sweep; the
// work is arranged for speed:
// - The equation of a point has two parts. Its matrix row comes from the
//   speeds of the central differences, which use the line itself and the old
//   values of its neighbours; only its right-hand side needs the new values
//   of the upwind line. So the matrices of the next few lines are formed
//   before the present line is relaxed, and their factorisations, each a
//   chain of dependent divisions, run beside the present elimination.
// - A line works on contiguous copies of the columns of P and H. All its
//   interior points are first formed as subsonic, in a loop without branches
//   that the compiler vectorises; the few points that are supersonic, or
//   follow a supersonic point of the line before, are then formed again on
//   the scalar path. Both paths share the point's terms. The loops over k
//   run over whole vectors, into padding past MR.
// - After the first lines of the upper side, a line of either side depends
//   only on lines of its own side, so one line of each side is solved at a
//   time and the chains of their substitutions interleave.
// - Each point's correction is kept, and the largest is searched for
//   afterwards in the order of the sweep.
#include <algorithm>
#include <cmath>

#include "potential.h"
#include "units.h"

namespace tarn {

namespace {

constexpr float kSonicShare = (kGamma - 1.0f) / (kGamma + 1.0f);  // v^2 share of the sonic test
constexpr float kHalfGm1 = kGammaTerm;                             // a^2 = A0 - 0.2 q^2
// The loops over k that the compiler vectorises run over whole vectors of
// kVector points, past MR into padding of benign values, so that no point is
// left over for a scalar remainder. Arrays indexed by k: element 0 unused,
// then k = 1 ... MR + 1 and the padding.
constexpr int kVector = 4;
constexpr int kColumn = kMaxRadial + kVector + 1;
// End (exclusive) of a vectorised loop over the n points from k = first.
int padded_end(int first, int n) { return first + (n + kVector - 1) / kVector * kVector; }
constexpr int kLeadingLines = 3;  // upper-side lines solved before the lower side starts
constexpr int kAhead = 4;         // lines of a half formed ahead of the one being solved
constexpr int kRing = 8;          // lines whose columns and systems a half keeps (a power of 2)

const Layout kRunningTotal("('+', 3X, I7, ' = running total of potential field iterations')");

// Constants hoisted out of the sweep.
struct Scheme {
  float qstar2, a0, ep, qcp;
  bool transpiration, te_operator;
  float rela, relb;  // relaxation factor omega = rela q^2 + relb ...
  float lo, hi;      // ... clipped to [XM, XS]
};

// Operator of a point, which decides its right-hand side.
enum Operator : int32_t {
  kCentral = 0,  // subsonic interior point
  kCarried,      // subsonic interior point behind a supersonic one
  kUpwind,       // supersonic point
  kWall,         // subsonic surface point of a solid wall
  kTranspired,   // subsonic surface point with transpiration
  kTrailingEdge  // trailing-edge point operator: formed when the line before is solved
};

// The system of one line: the matrix, its factorisation, and the terms that
// the right-hand side needs besides the neighbouring lines. Indexed by k.
struct LineSystem {
  int i;           // line
  int i1, i2, i3;  // upwind neighbours
  float L[kColumn];    // sub-diagonal: L(k - 1) multiplies X(k - 1) in equation k
  float B[kColumn];    // diagonal
  float C[kColumn];    // super-diagonal, scaled by the factorisation
  float piv[kColumn];  // reciprocal pivots
  float R[kColumn], X[kColumn];
  float q2[kColumn];   // squared speed for the relaxation factor
  float r0[kColumn];   // right-hand side without the neighbouring lines
  float c[kColumn];    // cross coefficient
  float d[kColumn];    // round coefficient a^2 - u^2
  float w[kColumn];    // share of the upwind operator carried by the point
  float T;             // free-stream term of a solid-wall surface point
  Operator op[kColumn];  // operator of a point on the scalar path, and of the surface point
  int special[kMaxRadial];  // interior points on the scalar path
  int nspecial;
};

// The grid's difference constants and radial tables, copied beside the
// columns so that the compiler sees that the loops' stores leave them alone.
struct Differences {
  float R2DTH, R2DS, DTHDS, DTHDS2, CROSS, MGRAD, DTH, DTH2DS;
  float RT[kColumn], RS[kColumn], R[kColumn];  // s, s^2 and r by k
};

// One half of the sweep: the lines of one side, from the leading edge
// towards the trailing edge. Columns and systems are kept by line index
// modulo kRing (P before its relaxation, systems), 4 (H) or 2 (P after
// relaxation, speeds), enough for the lines in progress.
struct Half {
  int dir;        // +1 on the upper side (i rising), -1 on the lower side
  float sigma_d;  // i1 - i2
  int formed;     // the last line formed
  Differences dif;
  float P[kRing + 2][kColumn];  // slots 0 ... kRing - 1: P before relaxation, then after
  float H[4][kColumn];
  float u2[2][kColumn], a2[2][kColumn];    // speeds of the lines formed, by line index modulo 2
  int32_t redo[kColumn];                   // nonzero: the point goes to the scalar path
  float u2surf, a2surf;                    // stored surface values
  LineSystem line[kRing];
};

// The whole sweep's work: both halves and the correction of every point.
struct SweepWork {
  Half upper, lower;
  float corr[kMaxRound + 1][kColumn];
};

int old_slot(int i) { return i & (kRing - 1); }
int new_slot(int i) { return kRing + (i & 1); }
int metric_slot(int i) { return i & 3; }
LineSystem& system_of(Half& w, int i) { return w.line[i & (kRing - 1)]; }

void load_column(const Field& f, int i, int mr, float* col) {
  for (int k = 1; k <= mr + 1; ++k) col[k] = f(i, k);
}

// Start of a half at line i0: the speeds of the previous line are reset and
// the columns of the line before i0 and of i0 itself are loaded.
void begin_half(const FlowState& fs, Half& w, int i0, int dir) {
  const Potential& pot = fs.pot;
  int mr = fs.grid.MR;
  w.dir = dir;
  w.sigma_d = static_cast<float>(dir);
  w.formed = i0 - dir;
  std::fill_n(&w.P[0][0], (kRing + 2) * kColumn, 0.0f);
  std::fill_n(&w.H[0][0], 4 * kColumn, 1.0f);
  std::fill_n(&w.u2[0][0], 2 * kColumn, 0.0f);
  std::fill_n(&w.a2[0][0], 2 * kColumn, 1.0f);
  for (LineSystem& ls : w.line) std::fill_n(ls.X, kColumn, 0.0f);
  w.u2surf = 0.0f;
  w.a2surf = 1.0f;
  for (int i : {i0 - dir, i0}) {
    load_column(pot.P, i, mr, w.P[old_slot(i)]);
    load_column(pot.H, i, mr, w.H[metric_slot(i)]);
  }
  load_column(pot.P, i0 - dir, mr, w.P[new_slot(i0 - dir)]);
  const Grid& g = fs.grid;
  Differences& dif = w.dif;
  dif = {g.R2DTH, g.R2DS, g.DTHDS, g.DTHDS2, g.CROSS, g.MGRAD, g.DTH, g.DTH2DS, {}, {}, {}};  // padding 0
  for (int k = 1; k <= mr + 1; ++k) {
    dif.RT[k] = g.RT(k);
    dif.RS[k] = g.RS(k);
    dif.R[k] = g.R(k);
  }
}

float sonic_limit(const Scheme& sc, float v2) { return sc.qstar2 - kSonicShare * v2; }

// Slots of the columns of the line being formed: P before its relaxation,
// H on it and on either side; and its angle.
struct Stencil {
  int Pm, P, Pp, Hm, H, Hp;
  int before, line;  // slots of the speeds of the line formed before and of this one
  float sin_i, cos_i;
};

// Slots of the columns of the neighbouring lines i - 1 and i + 1 for the
// right-hand side: the upwind one relaxed, the other not.
struct Neighbours {
  int Pm, Pp;
};

// Speeds at interior point k from the central differences, and the terms of
// the linearised operator there: b multiplies both radial neighbours, d =
// a^2 - u^2 the round second difference, c the cross difference; r0 is the
// part of the right-hand side that needs no neighbouring line.
struct InteriorTerms {
  float u2, q2, a2, b, d, c, r0, limit;
};

// (The columns are indexed through the half throughout, so that the compiler
// can tell them from the arrays the loops write.)
inline InteriorTerms interior_terms(const Half& w, const Scheme& sc, const Stencil& st, int k) {
  float s = w.dif.RT[k], s2 = w.dif.RS[k];
  float D = w.P[st.Pp][k] - w.P[st.Pm][k];  // central round difference, with the old upwind value
  float pr = w.P[st.P][k + 1] - w.P[st.P][k - 1];
  float U = s * D * w.dif.R2DTH - st.sin_i;
  float V = s2 * pr * w.dif.R2DS - st.cos_i;
  float h = w.H[st.H][k];
  InteriorTerms t;
  t.u2 = U * U / h;
  float v2 = V * V / h;
  t.q2 = t.u2 + v2;
  t.a2 = sc.a0 - kHalfGm1 * t.q2;
  t.b = (v2 - t.a2) * s2 * w.dif.DTHDS2;
  t.d = t.a2 - t.u2;
  float uvh = U * V / h;
  t.c = uvh * w.dif.CROSS * s;
  t.r0 = ((w.H[st.H][k - 1] - w.H[st.H][k + 1]) * V * w.dif.DTHDS + U * w.dif.R[k] * (w.H[st.Hm][k] - w.H[st.Hp][k])) *
             (t.q2 / h) * w.dif.MGRAD +
         (t.u2 + t.a2 - 2.0f * v2) * w.dif.DTH2DS * s * pr - uvh * w.dif.DTH * D;
  t.limit = sonic_limit(sc, v2);
  return t;
}

// Right-hand side of a subsonic interior point: central round and cross
// differences.
inline float central_rhs(const Half& w, const LineSystem& ls, const Neighbours& nb, int k) {
  return ls.r0[k] + ls.c[k] * (w.P[nb.Pp][k + 1] + w.P[nb.Pm][k - 1] - w.P[nb.Pp][k - 1] - w.P[nb.Pm][k + 1]) +
         ls.d[k] * (w.P[nb.Pp][k] + w.P[nb.Pm][k]);
}

// Upwind part shared by every supersonic point: the EP-weighted backward
// second difference plus the carried-over share w of the previous line.
float upwind_rhs(const FlowState& fs, const LineSystem& ls, int k, float d, float wprev) {
  const Field& P = fs.pot.P;
  float ep = fs.pot.EP;
  return (ep * d + (2.0f * ep + 1.0f) * wprev) * P(ls.i2, k) - ep * wprev * P(ls.i3, k) -
         (2.0f * ep * d + (ep + 2.0f) * wprev) * P(ls.i1, k);
}

// Matrix row of interior point k on the scalar path: supersonic, or subsonic
// behind a supersonic point of the previous line.
void scalar_interior_row(const Scheme& sc, const Half& w, const Stencil& st, LineSystem& ls, int k) {
  InteriorTerms t = interior_terms(w, sc, st, k);
  const float u2old = w.u2[st.before][k], a2old = w.a2[st.before][k];
  bool prev_super = u2old > t.limit;
  ls.L[k - 1] = t.b;
  ls.C[k] = t.b;
  if (t.u2 <= t.limit) {
    ls.B[k] = 2.0f * (t.d - t.b);
    ls.op[k] = kCentral;
    if (prev_super) {
      ls.w[k] = sc.qcp * (a2old - u2old);
      ls.B[k] -= ls.w[k];
      ls.op[k] = kCarried;
    }
  } else {
    float c = t.c * w.sigma_d;
    float wprev = prev_super ? a2old - u2old : 0.0f;
    ls.B[k] = -(2.0f * t.b + sc.ep * t.d + wprev);
    float gx = c * (sc.ep + 2.0f);
    ls.L[k - 1] += gx;
    ls.C[k] -= gx;
    ls.c[k] = c;
    ls.w[k] = wprev;
    ls.op[k] = kUpwind;
  }
}

// Right-hand side of an interior point on the scalar path.
void scalar_interior_rhs(const FlowState& fs, const Scheme& sc, const Half& w, const Neighbours& nb, LineSystem& ls,
                         int k) {
  const Field& P = fs.pot.P;
  if (ls.op[k] == kCarried) {
    float r = central_rhs(w, ls, nb, k);
    r += ls.w[k] * ((P(ls.i2, k) - 2.0f * P(ls.i1, k)) - sc.ep * (P(ls.i1, k) - 2.0f * P(ls.i2, k) + P(ls.i3, k)));
    ls.R[k] = r;
  } else if (ls.op[k] == kUpwind) {
    ls.R[k] = ls.r0[k] +
              ls.c[k] * (2.0f * (1.0f + sc.ep) * (P(ls.i1, k - 1) - P(ls.i1, k + 1)) +
                         sc.ep * (P(ls.i2, k + 1) - P(ls.i2, k - 1))) +
              upwind_rhs(fs, ls, k, ls.d[k], ls.w[k]);
  }
}

// Matrix rows of the interior points k = 2 ... MR: every point as subsonic
// in one loop without branches, then the scalar path where that was wrong.
void interior_rows(const FlowState& fs, const Scheme& sc, Half& w, const Stencil& st, int i) {
  const Scheme constants = sc;  // a local copy: the compiler sees that the loop's stores leave it alone
  LineSystem& ls = system_of(w, i);
  int mr = fs.grid.MR, end = padded_end(2, mr - 1);
  int32_t any = 0;
  for (int k = 2; k < end; ++k) {
    InteriorTerms t = interior_terms(w, constants, st, k);
    ls.L[k - 1] = t.b;
    ls.C[k] = t.b;
    ls.B[k] = 2.0f * (t.d - t.b);
    ls.q2[k] = t.q2;
    ls.r0[k] = t.r0;
    ls.c[k] = t.c;
    ls.d[k] = t.d;
    int32_t redo = (!(t.u2 <= t.limit) | (w.u2[st.before][k] > t.limit)) & (k <= mr);
    w.redo[k] = redo;
    any |= redo;
    w.u2[st.line][k] = t.u2;
    w.a2[st.line][k] = t.a2;
  }
  ls.nspecial = 0;
  if (!any) return;
  for (int k = 2; k <= mr; ++k)
    if (w.redo[k]) {
      scalar_interior_row(sc, w, st, ls, k);
      ls.special[ls.nspecial++] = k;
    }
}

// Supersonic surface point: upwind operator; the stored surface values become
// this point's speeds. r0 is the right-hand side without the upwind part.
void supersonic_surface(const Scheme& sc, Half& w, LineSystem& ls, float d, float u2, float a2, float r0,
                        bool stored_super) {
  float wprev = stored_super ? w.a2surf - w.u2surf : 0.0f;
  ls.B[1] = -(sc.ep * d + wprev + ls.C[1]);
  ls.r0[1] = r0;
  ls.d[1] = d;
  ls.w[1] = wprev;
  ls.op[1] = kUpwind;
  w.u2surf = u2;
  w.a2surf = a2;
}

// Surface point of a solid wall (no transpiration). Returns q^2.
float wall_row(const FlowState& fs, const Scheme& sc, Half& w, const Stencil& st, LineSystem& ls,
               bool trailing_edge) {
  const Grid& g = fs.grid;
  float q2 = 0.0f, G = 0.0f;
  if (!trailing_edge) {  // the metric vanishes at the trailing edge: the speed is taken as 0 there
    float U = (w.P[st.Pp][1] - w.P[st.Pm][1]) * g.R2DTH - st.sin_i;
    q2 = U * U / w.H[st.H][1];
    G = (w.H[st.Hm][1] - w.H[st.Hp][1]) * (U / w.H[st.H][1]) * q2;
  }
  float a2 = sc.a0 - kHalfGm1 * q2;
  ls.C[1] = -2.0f * g.DTHDS2 * a2;
  float d = a2 - q2;
  float T = ((q2 + a2) * g.DTH2 + g.DS * ls.C[1]) * st.cos_i;
  if (q2 <= sc.qstar2) {
    ls.B[1] = 2.0f * d - ls.C[1];
    ls.r0[1] = G * g.MGRAD;
    ls.d[1] = d;
    ls.T = T;
    ls.op[1] = kWall;
  } else {
    supersonic_surface(sc, w, ls, d, q2, a2, G * g.MGRAD + T, w.u2surf > sc.qstar2);
  }
  return q2;
}

// Surface point with the transpiration velocity TAW1 of the displacement
// effect (and its round derivative TAW2). Returns q^2.
float transpiration_row(const FlowState& fs, const Scheme& sc, Half& w, const Stencil& st, LineSystem& ls) {
  const Grid& g = fs.grid;
  float taw1 = fs.cpl.TAW1(ls.i), taw2 = fs.cpl.TAW2(ls.i);
  float h = w.H[st.H][1];
  float U = (w.P[st.Pp][1] - w.P[st.Pm][1]) * g.R2DTH - st.sin_i;
  float u2 = U * U / h, v2 = taw1 * taw1 / h, q2 = u2 + v2;
  float a2 = sc.a0 - kHalfGm1 * q2;
  ls.C[1] = 2.0f * (v2 - a2) * g.DTHDS2;
  float d = a2 - u2;
  float e = U * taw1 / h;
  float metric = 2.0f * (w.H[st.H][2] - h) * taw1 * g.R2DS + (w.H[st.Hp][1] - w.H[st.Hm][1]) * U * g.R2DTH;
  float r0 =
      g.DTH2 * (2.0f * e * (U + st.sin_i) - (taw1 + st.cos_i) * (u2 + a2 - 2.0f * v2) - 0.5f * (q2 / h) * metric) +
      2.0f * g.DTH2 * e * (taw2 - st.sin_i) - (taw1 + st.cos_i) * g.DS * ls.C[1];
  float limit = sonic_limit(sc, v2);
  if (u2 <= limit) {
    ls.B[1] = 2.0f * d - ls.C[1];
    ls.r0[1] = r0;
    ls.d[1] = d;
    ls.op[1] = kTranspired;
  } else {
    supersonic_surface(sc, w, ls, d, u2, a2, -r0, w.u2surf > limit);
  }
  return q2;
}

// Trailing-edge point operator: a one-sided stencil in the corner of the
// cut that supplies the surface equation of line N + 1. It uses the new
// values of line N, so it is formed with the right-hand side. Returns q^2.
float trailing_edge_point(const FlowState& fs, const Scheme& sc, LineSystem& ls) {
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
  ls.R[1] = g.DTH2 * (t7 * a2 / hh + t6 * d);
  ls.B[1] = g.DTH2 * (2.0f * a2 / hh + d * e3);
  ls.C[1] = -g.DTH2 * (2.0f * c2 * a2 / hh + d * e1);
  return q2;
}

// Forms the matrix of line i of the half, with the terms of its right-hand
// side: loads the downwind columns and the central round difference, taken
// with the old value of the upwind line. On the trailing-edge line N + 1 the
// upwind neighbours stay those of the line before.
LineSystem& form_line(const FlowState& fs, const Scheme& sc, Half& w, int i) {
  const Grid& g = fs.grid;
  int mr = g.MR, down = i + w.dir;
  load_column(fs.pot.P, down, mr, w.P[old_slot(down)]);
  load_column(fs.pot.H, down, mr, w.H[metric_slot(down)]);

  LineSystem& ls = system_of(w, i);
  bool trailing_edge = i == g.NSG + 1;
  if (trailing_edge) {
    const LineSystem& before = system_of(w, i - w.dir);
    ls.i1 = before.i1;
    ls.i2 = before.i2;
    ls.i3 = before.i3;
  } else {
    ls.i1 = i - w.dir;
    ls.i2 = i - 2 * w.dir;
    ls.i3 = i - 3 * w.dir;
  }
  ls.i = i;
  Stencil st{old_slot(i - 1), old_slot(i),       old_slot(i + 1), metric_slot(i - 1),
             metric_slot(i),     metric_slot(i + 1), (i - w.dir) & 1, i & 1,
             g.SIN(i), g.COS(i)};
  if (trailing_edge && sc.te_operator) ls.op[1] = kTrailingEdge;
  else if (sc.transpiration) ls.q2[1] = transpiration_row(fs, sc, w, st, ls);
  else ls.q2[1] = wall_row(fs, sc, w, st, ls, trailing_edge);
  interior_rows(fs, sc, w, st, i);
  return ls;
}

// The factorisation and the two substitutions of the tridiagonal
// elimination, one step each.
inline void factor_first(LineSystem& ls, float& piv) {
  piv = 1.0f / ls.B[1];
  ls.piv[1] = piv;
}
inline void factor_step(LineSystem& ls, int k, float& piv) {
  float c = ls.C[k - 1] * piv;
  ls.C[k - 1] = c;
  piv = 1.0f / (ls.B[k] - ls.L[k - 1] * c);
  ls.piv[k] = piv;
}
inline void forward_first(LineSystem& ls, float& x) {
  x = ls.R[1] * ls.piv[1];
  ls.X[1] = x;
}
inline void forward_step(LineSystem& ls, int k, float& x) {
  x = (ls.R[k] - ls.L[k - 1] * x) * ls.piv[k];
  ls.X[k] = x;
}
inline void back_step(LineSystem& ls, int k, float& x) {
  x = ls.X[k] - ls.C[k] * x;
  ls.X[k] = x;
}

// Factorises the matrices of the lines `formed` while solving the lines
// `solved` (already factorised, right-hand sides ready): the chains of
// dependent operations of all of them run side by side.
template <int Formed, int Solved>
void eliminate(LineSystem* const* formed, LineSystem* const* solved, int mr) {
  float piv[Formed > 0 ? Formed : 1], x[Solved > 0 ? Solved : 1];
  for (int j = 0; j < Formed; ++j) factor_first(*formed[j], piv[j]);
  for (int j = 0; j < Solved; ++j) forward_first(*solved[j], x[j]);
  for (int k = 2; k <= mr; ++k) {
    for (int j = 0; j < Formed; ++j) factor_step(*formed[j], k, piv[j]);
    for (int j = 0; j < Solved; ++j) forward_step(*solved[j], k, x[j]);
  }
  for (int k = mr - 1; k >= 1; --k)
    for (int j = 0; j < Solved; ++j) back_step(*solved[j], k, x[j]);
}

// The elimination for the numbers of lines at hand, chosen at compile time.
template <int Solved, int Formed = 0>
void eliminate_lines(LineSystem* const* formed, int nformed, LineSystem* const* solved, int mr) {
  if constexpr (Formed < 2 * kAhead) {
    if (nformed != Formed) return eliminate_lines<Solved, Formed + 1>(formed, nformed, solved, mr);
  }
  eliminate<Formed, Solved>(formed, solved, mr);
}

void eliminate(LineSystem* const* formed, int nformed, LineSystem* const* solved, int nsolved, int mr) {
  if (nsolved == 0) eliminate_lines<0>(formed, nformed, solved, mr);
  else if (nsolved == 1) eliminate_lines<1>(formed, nformed, solved, mr);
  else eliminate_lines<2>(formed, nformed, solved, mr);
}

// Right-hand side of line i from the newest values of the upwind line: all
// interior points as subsonic in one loop, then the scalar path. A line with
// the trailing-edge operator gets its surface equation now and is
// factorised (returns true).
bool right_hand_side(const FlowState& fs, const Scheme& sc, Half& w, int i) {
  const Grid& g = fs.grid;
  int mr = g.MR;
  LineSystem& ls = system_of(w, i);
  Neighbours nb{w.dir > 0 ? new_slot(i - 1) : old_slot(i - 1), w.dir > 0 ? old_slot(i + 1) : new_slot(i + 1)};
  for (int k = 2, end = padded_end(2, mr - 1); k < end; ++k) ls.R[k] = central_rhs(w, ls, nb, k);
  for (int j = 0; j < ls.nspecial; ++j) scalar_interior_rhs(fs, sc, w, nb, ls, ls.special[j]);
  bool factorise = false;
  switch (ls.op[1]) {
    case kWall: ls.R[1] = ls.r0[1] + (w.P[nb.Pp][1] + w.P[nb.Pm][1]) * ls.d[1] + ls.T; break;
    case kTranspired: ls.R[1] = ls.d[1] * (w.P[nb.Pp][1] + w.P[nb.Pm][1]) - ls.r0[1]; break;
    case kUpwind: ls.R[1] = ls.r0[1] + upwind_rhs(fs, ls, 1, ls.d[1], ls.w[1]); break;
    case kTrailingEdge:
      ls.q2[1] = trailing_edge_point(fs, sc, ls);
      factorise = true;
      break;
    default: break;
  }
  ls.R[mr] -= ls.C[mr] * w.P[old_slot(i)][mr + 1];  // far-field value moved to the right-hand side
  return factorise;
}

// Relaxation of the solution into P with a factor that falls from XS at rest
// to XM at sonic speed; the corrections are kept for the search of the
// largest.
void relax_points(const Scheme sc, const float* __restrict X, const float* __restrict q2,
                  const float* __restrict old, float* __restrict relaxed, float* __restrict corr, int mr) {
  for (int k = 1, end = padded_end(1, mr); k < end; ++k) {
    corr[k] = std::fabs(X[k] - old[k]);
    float omega = std::min(std::max(sc.rela * q2[k] + sc.relb, sc.lo), sc.hi);
    relaxed[k] = (1.0f - omega) * old[k] + omega * X[k];
  }
}

void relax(FlowState& fs, const Scheme& sc, Half& w, int i, float* corr) {
  int mr = fs.grid.MR;
  const LineSystem& ls = system_of(w, i);
  const float* old = w.P[old_slot(i)];
  float* relaxed = w.P[new_slot(i)];
  relax_points(sc, ls.X, ls.q2, old, relaxed, corr, mr);
  relaxed[mr + 1] = old[mr + 1];  // the far-field value stays
  Field& P = fs.pot.P;
  for (int k = 1; k <= mr; ++k) P(i, k) = relaxed[k];
}

// A line in progress on one half: the line solved now, and the last line of
// the half that may be formed meanwhile.
struct Progress {
  Half* half;
  int i;
  int last;
};

// Solves the lines of one or two halves together. A half that starts forms
// and factorises its line first; and whenever a half has no line formed
// ahead, both form up to kAhead lines ahead, whose factorisations then run
// beside the present eliminations.
void solve_lines(FlowState& fs, const Scheme& sc, SweepWork& s, const Progress* p, int count) {
  int mr = fs.grid.MR;
  LineSystem *formed[2 * kAhead], *solved[2];
  int nformed = 0;
  bool top_up = false;
  for (int j = 0; j < count; ++j) {
    Half& w = *p[j].half;
    if (w.formed == p[j].i - w.dir) {
      LineSystem* ls = &form_line(fs, sc, w, p[j].i);
      w.formed = p[j].i;
      if (ls->op[1] != kTrailingEdge) eliminate(&ls, 1, nullptr, 0, mr);
    }
    top_up |= w.formed == p[j].i && p[j].i != p[j].last;
  }
  for (int j = 0; top_up && j < count; ++j) {
    Half& w = *p[j].half;
    int end = w.dir > 0 ? std::min(p[j].i + kAhead, p[j].last) : std::max(p[j].i - kAhead, p[j].last);
    for (int l = w.formed + w.dir; (end - l) * w.dir >= 0; l += w.dir) {
      LineSystem& ls = form_line(fs, sc, w, l);
      w.formed = l;
      if (ls.op[1] != kTrailingEdge) formed[nformed++] = &ls;
    }
  }
  for (int j = 0; j < count; ++j) {
    solved[j] = &system_of(*p[j].half, p[j].i);
    if (right_hand_side(fs, sc, *p[j].half, p[j].i)) eliminate(solved + j, 1, nullptr, 0, mr);
  }
  eliminate(formed, nformed, solved, count, mr);
  for (int j = 0; j < count; ++j) relax(fs, sc, *p[j].half, p[j].i, s.corr[p[j].i]);
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
// they go alone. Then an upper and a lower line go together. The last lower
// line, 2, reads the cut, so it is formed and solved after it.
void relaxation_sweep(FlowState& fs) {
  Grid& g = fs.grid;
  Potential& pot = fs.pot;
  int n = g.NSG, mr = g.MR, m = g.NHALF;
  Scheme sc{fs.gas.QSTAR2, fs.gas.A0, pot.EP, pot.QCP, fs.run.IVP != 0,
            fs.run.IVP != 0 || fs.cpl.ISMOOTH == 1, pot.RELA, pot.RELB,
            std::min(pot.XM, pot.XS), std::max(pot.XM, pot.XS)};
  SweepWork s;

  const int te = n + 1;
  int iu = m, il = m - 1;
  begin_half(fs, s.upper, iu, +1);
  for (; iu <= std::min(m + kLeadingLines - 1, te); ++iu) {
    Progress up{&s.upper, iu, te};
    solve_lines(fs, sc, s, &up, 1);
  }
  begin_half(fs, s.lower, il, -1);
  for (; iu <= te && il > 2; ++iu, --il) {
    Progress both[2] = {{&s.upper, iu, te}, {&s.lower, il, 3}};
    solve_lines(fs, sc, s, both, 2);
  }
  for (; iu <= te; ++iu) {
    Progress up{&s.upper, iu, te};
    solve_lines(fs, sc, s, &up, 1);
  }
  lower_cut_from_upper(fs);
  for (; il >= 2; --il) {
    Progress low{&s.lower, il, 2};
    solve_lines(fs, sc, s, &low, 1);
  }

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
