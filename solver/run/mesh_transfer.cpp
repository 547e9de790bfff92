// Transfer of the flow state between the fine mesh and the coarse mesh (half
// the grid lines in each direction). The mapping is computed once, on the
// fine mesh: coarsening moves every second point of each mesh array to the
// back half so that the front half is the coarse mesh, and refinement puts
// the points back, which restores the geometry exactly; the solution arrays
// are then filled in between by linear interpolation.
#include <cmath>
#include <string>

#include "free_stream/free_stream.h"
#include "potential/potential.h"
#include "run.h"
#include "run_stop.h"

namespace tarn {

namespace {

constexpr float kRefine = 2.0f;
constexpr float kCoarsen = 0.5f;
constexpr int32_t kFineThreshold = 10;  // coupling threshold after the change to the fine mesh
constexpr float kFineGvisc = 0.075f;    // coupling relaxation after the change to the fine mesh

template <int N>
void shuffle_vec(FlowState& fs, RVec<N>& a, int m, float f) {
  shuffle(fs, a.v, m, 1, f);
}

template <int R, int C>
void shuffle_column(FlowState& fs, Columns<R, C>& a, int col, int m, float f) {
  shuffle(fs, a.column(col), m, 1, f);
}

// Every mesh array, in round or radial direction, with the fine counts.
void shuffle_all(FlowState& fs, float f) {
  Grid& g = fs.grid;
  Potential& p = fs.pot;
  Coupling& c = fs.cpl;
  int nround = g.N2, nradial = g.MR1;
  for (auto* a : {&g.RT, &g.RS, &g.R}) shuffle_vec(fs, *a, nradial, f);
  for (auto* a : {&g.COS, &g.SIN, &g.FF}) shuffle_vec(fs, *a, nround, f);
  shuffle_column(fs, fs.map.XZ, 1, nround, f);
  shuffle_column(fs, fs.map.XZ, 2, nround, f);
  shuffle_vec(fs, fs.map.ANGLE, nround, f);
  for (Field* a : {&p.H, &p.P}) {
    for (int k = 1; k <= nradial; ++k) shuffle(fs, &(*a)(1, k), nround, 1, f);
    for (int i = 1; i <= nround; ++i) shuffle(fs, &(*a)(i, 1), nradial, kMaxRound, f);
  }
  for (auto* a : {&c.QKA, &c.DSS, &c.THS}) shuffle_vec(fs, *a, nround, f);
  for (int col = 1; col <= 3; ++col) shuffle_column(fs, c.SIG, col, nradial, f);
  for (auto* a : {&c.DQK, &c.DQKOLD, &c.TAW1, &c.TAW2}) shuffle_vec(fs, *a, nround, f);
  for (auto* a : {&c.WKOLD, &c.WDS, &c.WDOLD})
    for (int col = 1; col <= 2; ++col) shuffle_column(fs, *a, col, nradial, f);
}

// Cut column N + 2 from column 2 across the branch cut: the potential jumps
// by the circulation, with the wake's displacement and vortex terms when
// they are coupled.
void rebuild_cut_column(FlowState& fs, int k) {
  Grid& g = fs.grid;
  Field& P = fs.pot.P;
  int n = g.NSG;
  if (fs.run.IVP >= 2)
    P(n + 2, k) = P(2, k) + (P(n + 1, k) - P(1, k)) + wake_jump(fs, k);
  else
    P(n + 2, k) = fs.pot.GAM + P(2, k);
}

void rescale_constants(Grid& g, float f) {
  g.TRANSFER = f;
  g.R2DS *= f;
  g.R2DTH *= f;
  g.DS /= f;
  g.DTH /= f;
  g.MGRAD /= f;
  g.DTH2DS /= f;
  g.DTH2 /= f * f;
}

void update_round_counts(Grid& g) {
  g.N1 = g.NSG + 1;
  g.N2 = g.NSG + 2;
  g.NHALF = (g.NSG + 2) / 2;
  g.NHALF2 = g.NHALF + 2;
}

template <int N>
void fill_midpoints(RVec<N>& a, int last) {
  for (int j = 1; j <= last - 1; j += 2) a(j + 1) = 0.5f * (a(j) + a(j + 2));
}

template <int R, int C>
void fill_midpoints(Columns<R, C>& a, int col, int last) {
  for (int j = 1; j <= last - 1; j += 2) a(j + 1, col) = 0.5f * (a(j, col) + a(j + 2, col));
}

template <int N>
void extrapolate_ends(RVec<N>& a, int n) {
  a(2) = 2.0f * a(3) - a(4);
  a(n) = 2.0f * a(n - 1) - a(n - 2);
}

template <int N>
void copy_ends(RVec<N>& a, int n) {
  a(2) = a(3);
  a(n) = a(n - 1);
}

// Refinement: the in-between points of the solution and coupling arrays.
void interpolate_fine(FlowState& fs) {
  Grid& g = fs.grid;
  Coupling& c = fs.cpl;
  Field& P = fs.pot.P;
  int n = g.NSG, mr = g.MR;
  for (auto* a : {&c.TAW1, &c.TAW2, &c.DQK, &c.DQKOLD}) fill_midpoints(*a, n);
  for (auto* a : {&c.WDOLD, &c.WDS, &c.WKOLD})
    for (int col = 1; col <= 2; ++col) fill_midpoints(*a, col, mr);
  for (int col = 1; col <= 2; ++col) fill_midpoints(c.SIG, col, mr);
  extrapolate_ends(c.TAW1, n);
  extrapolate_ends(c.DQK, n);
  copy_ends(c.TAW2, n);
  copy_ends(c.DQKOLD, n);
  c.SIG(2, 1) = 2.0f * c.SIG(3, 1) - c.SIG(4, 1);
  c.WDOLD(2, 1) = 2.0f * c.WDOLD(3, 1) - c.WDOLD(4, 1);
  for (auto* a : {&c.QKA, &c.DSS, &c.THS}) fill_midpoints(*a, n);
  fill_midpoints(c.SIG, 3, mr);

  for (int k = 1; k <= mr + 1; k += 2)
    for (int i = 1; i <= n - 1; i += 2) P(i + 1, k) = 0.5f * (P(i, k) + P(i + 2, k));
  for (int k = 1; k <= mr - 1; k += 2)
    for (int i = 1; i <= n + 1; ++i) P(i, k + 1) = 0.5f * (P(i, k) + P(i, k + 2));
  for (int k = 1; k <= mr + 1; ++k) {
    fs.pot.H(2, k) = fs.pot.H(n + 2, k);
    rebuild_cut_column(fs, k);
  }
}

// Refinement: angle tables of the fine mesh, turned by the effective
// incidence of the present ALP, which lift targeting may have moved since
// the tables were last turned.
void rebuild_angle_tables(FlowState& fs) {
  Grid& g = fs.grid;
  g.CA = std::cos(fs.map.ROT + fs.ALP);
  g.SA = std::sin(fs.map.ROT + fs.ALP);
  for (int i = 1; i <= g.N2; ++i) {
    float theta = static_cast<float>(i - 1) * g.DTH;
    g.COS(i) = std::cos(theta);
    g.SIN(i) = std::sin(theta);
  }
  for (int i = 1; i <= g.NSG; ++i) {
    float c = g.COS(i);
    g.COS(i) = g.CA * c - g.SA * g.SIN(i);
    g.SIN(i) = g.CA * g.SIN(i) + g.SA * c;
  }
  table_completion(fs);
}

void mesh_transfer(FlowState& fs, float f) {
  Grid& g = fs.grid;
  rescale_constants(g, f);
  fs.run.NFIELD = 0;
  g.N2 = g.N1 + 1;
  shuffle_all(fs, f);
  update_round_counts(g);
  if (f == kCoarsen) {
    g.MR1 = g.MR + 1;
    int n = g.NSG;
    for (int k = 1; k <= g.MR1; ++k) {
      fs.pot.H(n + 2, k) = fs.pot.H(2, k);
      rebuild_cut_column(fs, k);
    }
    g.COS(n + 2) = g.COS(2);
    g.SIN(n + 2) = g.SIN(2);
    g.FF(n + 2) = kTwoPi + g.FF(2);
  } else {
    interpolate_fine(fs);
    rebuild_angle_tables(fs);
  }
}

}  // namespace

void shuffle(FlowState& fs, float* a, int m, int stride, float factor) {
  float* buf = fs.pot.WORK.v;
  int h = (m + 1) / 2;
  for (int j = 0; j < m; ++j) buf[j] = a[j * stride];
  for (int j = 0; j < m; ++j) {
    // Element j (0-based) of the fine order: odd-numbered ones form the front half.
    int coarse = (j % 2 == 0) ? j / 2 : h + j / 2;
    if (factor == kCoarsen) a[coarse * stride] = buf[j];
    else a[j * stride] = buf[coarse];
  }
}

void refine_mesh(FlowState& fs) {
  Grid& g = fs.grid;
  RunControl& run = fs.run;
  if (2 * g.NSG > kMaxGridLines || 2 * g.MR > kMaxRadial - 1)
    throw RunStop("refinement of NSG = " + std::to_string(g.NSG) + ", K = " + std::to_string(g.MR) +
                      " exceeds the capacity of 160 grid lines and 30 radial intervals",
                  kExitBadInput);
  g.NSG *= 2;
  g.N1 = g.NSG + 1;
  g.MR *= 2;
  g.MR1 = g.MR + 1;
  run.NP = 2 * run.NP - 1;
  run.NB = 2 * run.NB - 1;
  mesh_transfer(fs, kRefine);
  if (run.IVP != 0) {
    fs.cpl.ITHRESH = kFineThreshold;
    fs.cpl.ICOUNT = 0;
    fs.cpl.GVISC = kFineGvisc;
  }
}

void coarsen_mesh(FlowState& fs) {
  Grid& g = fs.grid;
  RunControl& run = fs.run;
  std::string mesh = "coarsening of NSG = " + std::to_string(g.NSG) + ", K = " + std::to_string(g.MR);
  if (g.MR % 2 != 0) throw RunStop(mesh + " needs an even number of radial intervals", kExitBadInput);
  if (g.NSG / 2 < kSmallestGridLines || g.MR / 2 < kSmallestRadialIntervals)
    throw RunStop(mesh + " goes below the smallest mesh the difference stencils support, " +
                      std::to_string(kSmallestGridLines) + " grid lines round the aerofoil and " +
                      std::to_string(kSmallestRadialIntervals) + " radial intervals",
                  kExitBadInput);
  g.NSG /= 2;
  g.MR /= 2;
  run.NP = run.NP / 2 + 1;
  run.NB = run.NB / 2 + 1;
  mesh_transfer(fs, kCoarsen);
}

}  // namespace tarn
