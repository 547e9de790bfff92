// Turbulent boundary layer and wake: the lag-entrainment equations for the
// shape factor HBAR, the momentum thickness THETA and the entrainment
// coefficient CE, marched station by station from transition to the last
// wake station, with the trailing-edge and station monitors.
#include <algorithm>
#include <cmath>

#include "file_units.h"
#include "layer.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kHbarLimit("(' ','HBAR',A4,' LIMIT REACHED')");
const Layout kTransitionReynolds("(' ',15X,'RTHETA AT TRANSITION  ',E11.4)");
const Layout kCfFloor("(' ','CF SET TO 0.000002 AT X= ',F10.3,' ON SURFACE',I3,' (1=U/S, 2=L/S)')");
const Layout kStationMonitor("(I5,I8,I3,3F12.7)");

constexpr float kHbarMin = 1.0f;          // HBAR at or below this is raised to 1.0001
constexpr float kCeMin = -0.009f;         // lowest entrainment coefficient
constexpr float kCeStop = -0.0089f;       // below this CE may not decrease further
constexpr float kShapeTemperature = 0.178f;  // 0.89 recovery factor times (gamma - 1)/2
constexpr float kAccuracy = 1.0e-4f;      // integrator accuracy
constexpr int kMaxSteps = 1000;           // integrator steps per interval
constexpr float kLog10E = 0.4342945f;     // log10(e): log10 x = kLog10E ln x

// Once-per-run flags of the trailing-edge monitors in BoundaryLayer::ONCE.
constexpr int kOnceTrailingEdge = kMaxMonitors, kOnce96 = kMaxMonitors + 1, kOnce94 = kMaxMonitors + 2;

float squared(float v) { return v * v; }

// Equal values with the same sign (so +0 and -0 differ); a NaN matches
// nothing. Cached terms are taken only for identical arguments.
bool identical(float a, float b) { return a == b && std::signbit(a) == std::signbit(b); }

// Monitors of a turbulent station: the station list watched by the wave
// drag (one coefficient record each) and the trailing-edge values. The
// first station to reach a position sets its value for the whole run.
void monitor_station(BoundaryLayer& bl, float x, float theta, float hbar, float delta) {
  for (int k = 1; k <= std::min(bl.KMON, kMaxMonitors); ++k) {
    if (squared(x - bl.XK(k)) > 3.0e-6f || bl.ONCE[k - 1]) continue;
    bl.TK(k) = theta;
    bl.ONCE[k - 1] = 1;
    units().write(kCoefficients, kStationMonitor, 1, bl.KMON, k, bl.AK(k), bl.XK(k), bl.TK(k));
  }
  if (squared(x - 1.0f) <= 1.0e-7f && !bl.ONCE[kOnceTrailingEdge]) {
    bl.DTE = delta;
    bl.HTE = hbar;
    bl.ONCE[kOnceTrailingEdge] = 1;
  }
  if (squared(x - 0.96f) <= 1.0e-4f && !bl.ONCE[kOnce96]) {
    bl.X96 = x;
    bl.H96 = hbar;
    bl.ONCE[kOnce96] = 1;
  }
  if (squared(x - 0.94f) <= 1.0e-4f && !bl.ONCE[kOnce94]) {
    bl.X94 = x;
    bl.H94 = hbar;
    bl.ONCE[kOnce94] = 1;
  }
}

}  // namespace

EntrainmentEquations::EntrainmentEquations(FlowState& fs, int ite)
    : bl(fs.bl),
      EM2(fs.gas.EM * fs.gas.EM),
      TINF(kTotalTemperature / temperature_ratio(EM2)),
      RUSCALE(fs.cpl.R / (TINF + kSutherlandTurbulent)),
      HIGHHBAR(fs.run.IVPSIGNED < 0),
      ITE(ite) {}

void EntrainmentEquations::set_interval(int j) {
  J = j;
  for (EdgeState& g : EDGE) g.S = kNotYet;  // no edge state yet on this interval
  DUDS = (bl.UE(j) - bl.UE(j - 1)) / (bl.S(j) - bl.S(j - 1));
  WAKE = j > ITE;
}

void EntrainmentEquations::edge_conditions(float uex, float& me2, float& tsk, float& rux) const {
  // Energy equation: static over free-stream static temperature, so that
  // TSK = (1 + 0.2 EM^2) TINF / (1 + 0.2 ME2) = TINF tr.
  const float u2 = uex * uex;
  const float tr = 1.0f + kGammaTerm * EM2 * (1.0f - u2);
  me2 = u2 * EM2 / tr;
  tsk = TINF * tr;
  rux = RUSCALE * uex * tr * (tsk + kSutherlandTurbulent);
}

void EntrainmentEquations::edge_factors(EdgeFactors& g, float uex) const {
  g.UEX = uex;
  float tsk = 0.0f;
  edge_conditions(uex, g.ME2, tsk, g.RUX);
  const float me2 = g.ME2;
  g.HFACTOR = 1.0f + kShapeTemperature * me2;
  g.RTHFACTOR = 1.0f + 0.056f * me2;
  g.CFFACTOR = 1.0f / std::sqrt(temperature_ratio(me2));
  g.PEQFACTOR = 1.0f + 0.04f * me2;
  g.LAG = 2.8f * std::sqrt(1.0f + 0.1f * me2);
  g.FM = 1.0f + 0.075f * me2 * temperature_ratio(me2) / (1.0f + 0.1f * me2);
}

[[gnu::always_inline]] inline const EntrainmentEquations::EdgeState& EntrainmentEquations::edge_state(float s) {
  if (s == EDGE[kFurthest].S) return EDGE[kFurthest];
  if (s == EDGE[kLatest].S) return EDGE[kLatest];
  return new_edge_state(s);
}

const EntrainmentEquations::EdgeState& EntrainmentEquations::new_edge_state(float s) {
  const bool furthest = !(s <= EDGE[kFurthest].S);  // also on a fresh interval
  EdgeState &g = EDGE[furthest ? kFurthest : kLatest], &other = EDGE[furthest ? kLatest : kFurthest];
  g.S = s;
  const float uex = bl.UE(J - 1) + (s - bl.S(J - 1)) * DUDS;
  if (identical(uex, other.UEX)) {
    static_cast<EdgeFactors&>(g) = other;
  } else if (!identical(uex, g.UEX)) {
    edge_factors(g, uex);
  }
  g.DUDS_UE = DUDS / uex;
  return g;
}

// HBAR held within its limits; a value at or below 1 is raised and noted
// for the report at the end of the interval.
[[gnu::always_inline]] inline float EntrainmentEquations::limit_hbar(float& hbar) {
  if (hbar > kHbarMax) {
    hbar = kHbarMax;
  } else if (hbar <= kHbarMin) {
    hbar = 1.0001f;
    bl.HBARMIN = 1;
  }
  return hbar;
}

// Shape factor H, flat-plate half skin friction (returned) and local half
// skin friction CFH at the current HBAR and THETA; the friction is zero in
// the wake. HBAR0 is the flat-plate shape factor, entering as HBAR/HBAR0.
template <EntrainmentMode Mode>
[[gnu::always_inline]] inline float EntrainmentEquations::skin_friction(float hbar, const EdgeFactors& g) {
  Friction& m = FRICTION;
  if (identical(g.UEX, m.UEX) && identical(hbar, m.HBAR) && identical(THETA, m.THETA) && WAKE == m.WAKE) {
    H = m.H;
    CFH = m.CFH;
    return m.CF0H;
  }
  H = g.HFACTOR * (hbar + 1.0f) - 1.0f;
  const float rth = THETA * g.RUX;  // momentum-thickness Reynolds number
  float cf0h = 0.0f;
  CFH = 0.0f;
  if (!WAKE) {
    cf0h = (0.005065f / (kLog10E * std::log(g.RTHFACTOR * rth) - 1.02f) - 0.000375f) * g.CFFACTOR;
    cf0h = std::max(cf0h, kCfhFloor);
    const float hbar_over_hbar0 = hbar * (1.0f - 6.55f * std::sqrt(cf0h * g.PEQFACTOR));
    CFH = std::max(cf0h * (0.9f / (hbar_over_hbar0 - 0.4f) - 0.5f), kCfhFloor);
  }
  if constexpr (Mode != kDerivative) m = {g.UEX, hbar, THETA, WAKE, H, cf0h, CFH};
  return cf0h;
}

template <EntrainmentMode Mode>
[[gnu::always_inline]] inline void EntrainmentEquations::evaluate(float (&f)[3], float s, float (&y)[3]) {
  const EdgeState& g = edge_state(s);
  const float hbar = limit_hbar(y[0]);
  THETA = y[1];
  const float cf0h = skin_friction<Mode>(hbar, g);
  if constexpr (Mode == kAuxiliary) {
    if (bl.HBARMAX) units().write(kListing, kHbarLimit, " MAX");
    if (bl.HBARMIN) units().write(kListing, kHbarLimit, " MIN");
    bl.HBARMAX = bl.HBARMIN = 0;
    return;
  }
  const float grad = THETA * g.DUDS_UE;  // (THETA/UE) dUE/dS

  // Entrainment shape factor H1 and its slope D1.
  const float e = hbar - 1.0f;
  float d1 = 0.0f, h1 = entrainment_shape_factor(hbar, &d1);
  if (HIGHHBAR && hbar > 1.6f) {
    const float ex = std::exp(-3.325f * hbar);
    h1 = 295.0f * ex + 4.5455f - 0.01f * e * e;
    d1 = -980.0f * ex - 0.02f * e;
  }
  const float peq0 = e * e / (squared(6.432f * hbar) * g.PEQFACTOR);

  // Equilibrium entrainment.
  float ceeq0 = h1 * (CFH - (H + 1.0f) / (0.8f * H) * (CFH - peq0));
  if (WAKE) {
    const float q = -0.08f * ceeq0 - 4.0f * ceeq0 * ceeq0;
    ceeq0 = (std::sqrt(0.0004f - 4.0f * q) - 0.02f) / 2.0f;
  }
  f[1] = CFH - (H + 2.0f - g.ME2) * grad;  // momentum equation
  if constexpr (Mode == kEquilibrium) y[2] = ceeq0;

  // Shape-factor equation; HBAR may not grow at its upper limit.
  f[0] = ((y[2] - CFH * h1) + h1 * (H + 1.0f) * grad) * (1.0f / (THETA * d1));
  if (hbar == kHbarMax) {
    if (f[0] > 0.0f) f[0] = 0.0f;
    bl.HBARMAX = 1;
  }
  if (y[2] <= kCeMin) y[2] = kCeMin;

  // Lag equation for the entrainment coefficient.
  const float ce = y[2];
  const float ff = (0.5333f * cf0h + (ce + 0.02f) * ce) / ((ce + 0.01f) * (H + h1) * THETA);
  const float rooteq = std::sqrt(0.64f * cf0h + 0.024f * ceeq0 + 1.2f * ceeq0 * ceeq0);
  const float root = std::sqrt(0.64f * cf0h + 0.024f * ce + 1.2f * ce * ce);
  const float teq = (CFH - ceeq0 * (1.0f / h1)) * ((H + h1) / (H + 1.0f));
  const float tp = (H + h1) * grad;
  f[2] = ff * ((WAKE ? 0.5f : 1.0f) * g.LAG * (rooteq - root) + teq - tp * g.FM);
  if (f[2] <= 0.0f && ce <= kCeStop) f[2] = 0.0f;
}

void EntrainmentEquations::operator()(int mode, float (&f)[3], float s, float (&y)[3]) {
  switch (mode) {
    case kAuxiliary: return evaluate<kAuxiliary>(f, s, y);
    case kEquilibrium: return evaluate<kEquilibrium>(f, s, y);
    default: return evaluate<kDerivative>(f, s, y);
  }
}

namespace {

// Derivatives for the integrator, inlined at each of its six stages so that
// Y and F stay in registers.
struct Slopes {
  EntrainmentEquations& eq;
  [[gnu::always_inline]] void operator()(float s, float (&y)[3], float (&f)[3]) const {
    eq.evaluate<kDerivative>(f, s, y);
  }
};

}  // namespace

float initial_step(float (&f)[3], const float (&y)[3], float dx) {
  constexpr float kSmallDerivative = 1.0e-6f;
  for (float& fk : f)
    if (std::fabs(fk) < kSmallDerivative) fk = kSmallDerivative;
  return std::min({std::fabs(0.01f / f[0]), std::fabs(0.01f * y[1] / f[1]), 0.01f * dx});
}

void turbulent_march(FlowState& fs, int ns, const TransitionStart& start, bool print) {
  BoundaryLayer& bl = fs.bl;
  const int itr = bl.ITR[ns - 1], ite = bl.ITE[ns - 1], n = bl.N[ns - 1];
  EntrainmentEquations eq(fs, ite);
  const Slopes derivative{eq};

  // Starting values at transition.
  const float htr = start.DELSTAR / start.THETA;
  float y[3] = {(htr + 1.0f) / (1.0f + kShapeTemperature * squared(bl.M(itr))) - 1.0f, start.THETA, 0.0f};
  float f[3] = {0.0f, 0.0f, 0.0f};
  const float rth = start.THETA * bl.RU(itr);
  float s = bl.S(itr);
  eq.set_interval(itr + 1);
  eq.evaluate<kEquilibrium>(f, s, y);
  bl.CF(itr, ns) = 2.0f * eq.CFH;
  bl.DELSTAR(itr, ns) = eq.H * eq.THETA;
  bl.THETA(itr, ns) = eq.THETA;
  if (print) {
    units().write(kListing, kTransitionReynolds, rth);
    write_layer_row(bl.X(itr, ns), y[0], bl.DELSTAR(itr, ns), eq.THETA, bl.CF(itr, ns));
  }

  float ds = initial_step(f, y, bl.S(itr + 1) - bl.S(itr));
  VintWork<3> work;
  for (int j = itr + 1; j <= n; ++j) {
    eq.set_interval(j);
    ds = std::min(ds, bl.S(j) - bl.S(j - 1));
    vint(derivative, ds, s, y, bl.S(j), kAccuracy, kMaxSteps, f, work);
    s = bl.S(j);
    eq.evaluate<kAuxiliary>(f, s, y);
    bl.CF(j, ns) = 2.0f * eq.CFH;
    if (j <= ite && eq.CFH <= kCfhFloor) {
      bl.CF(j, ns) = 2.0f * kCfhFloor;
      units().write(kListing, kCfFloor, bl.X(j, ns), ns);
    }
    const float delstar = eq.H * eq.THETA;
    bl.DELSTAR(j, ns) = delstar;
    bl.THETA(j, ns) = eq.THETA;
    const float delta = entrainment_shape_factor(y[0]) * eq.THETA + delstar;
    if (print) {
      write_layer_row(bl.X(j, ns), y[0], delstar, eq.THETA, bl.CF(j, ns), delta);
      monitor_station(bl, bl.X(j, ns), eq.THETA, y[0], delta);
    }
  }
}

}  // namespace tarn
