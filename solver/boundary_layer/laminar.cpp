// Laminar layer from the stagnation point to transition (compressible
// Thwaites method), laminar separation, and the turbulent starting values
// at transition.
#include <algorithm>
#include <cmath>

#include "boundary_layer.h"
#include "file_units.h"
#include "layer.h"
#include "units.h"

namespace tarn {

const Layout kLayerRow("(' ',1X,F9.5,3X,F5.3,2(3X,E11.4),2(3X,E10.3))");

namespace {

const Layout kHeader("(' ',6X,'X',7X,'HBAR',6X,'DELSTAR',8X,'THETA',8X,'CFLOC',8X,'DELTA',/)");
const Layout kSeparation("(' ','TRANSITION TAKEN AT',F10.5,3X,'FOR SURFACE ',I1,' (1=U/S, 2=L/S)')");

constexpr float kStagnationHbar = 2.355f;   // HBAR of the stagnation-point flow
constexpr float kSeparationCf = 4.0e-5f;    // local skin friction at laminar separation
// Free transition: a separated laminar layer whose amplification reaches
// NCRIT within this chord behind the separation forms a short bubble, and
// transition is taken where N reaches NCRIT in its shear layer.
constexpr float kBubbleLength = 0.04f;
// Onto the trailing edge the inviscid velocity falls steeply to the value
// it leaves with. A laminar layer that reaches that deceleration separates
// in it, wherever it comes and however far its amplification has grown,
// and the station where it does moves with every update: transition is
// taken where the deceleration begins. (Left laminar to the edge, the
// separated layer keeps the coupling from settling.)
constexpr float kTrailingEdgeDeceleration = 0.98f;  // x behind which transition is not predicted

// Thwaites table: lambda ascending, with the shear parameter l and HBAR.
constexpr int kThwaitesRows = 26;
constexpr float kLambda[kThwaitesRows] = {-0.09f,  -0.088f, -0.086f, -0.084f, -0.08f,  -0.076f, -0.072f,
                                          -0.068f, -0.064f, -0.06f,  -0.056f, -0.048f, -0.04f,  -0.032f,
                                          -0.016f, 0.0f,    0.016f,  0.032f,  0.048f,  0.064f,  0.08f,
                                          0.1f,    0.12f,   0.14f,   0.2f,    0.25f};
constexpr float kShear[kThwaitesRows] = {0.0f,   0.015f, 0.027f, 0.038f, 0.056f, 0.072f, 0.085f,
                                         0.095f, 0.104f, 0.113f, 0.122f, 0.138f, 0.153f, 0.168f,
                                         0.195f, 0.22f,  0.244f, 0.268f, 0.291f, 0.313f, 0.333f,
                                         0.359f, 0.382f, 0.404f, 0.463f, 0.5f};
constexpr float kThwaitesHbar[kThwaitesRows] = {3.70f, 3.62f, 3.54f, 3.47f, 3.35f, 3.24f, 3.16f, 3.09f, 3.04f,
                                                2.99f, 2.94f, 2.87f, 2.81f, 2.75f, 2.67f, 2.61f, 2.55f, 2.49f,
                                                2.44f, 2.39f, 2.34f, 2.28f, 2.23f, 2.18f, 2.07f, 2.0f};

void store(BoundaryLayer& bl, int i, int ns, float theta, float delstar) {
  bl.THETA(i, ns) = theta;
  bl.DELSTAR(i, ns) = delstar;
}

// Free transition. The turbulent layer starts thinner in displacement than
// the laminar layer ends, and the inviscid flow answers the step (a sink in
// the transpiration) with a velocity kink at the transition point: the
// pressure-gradient parameter of the stations up to five spacings ahead of
// the step is raised, then driven far below separation over the last two
// and the one behind it. Seen by the layer, the kink would draw transition
// forward update after update (N rises steeply with the shape factor), or
// hold it where the layer "separates" in its own disturbance; so those
// stations take the parameter of the undisturbed layer ahead of them.
constexpr float kDisturbedAhead = 5.0f;   // station spacings ahead of the step
constexpr float kDisturbedBehind = 1.0f;  // and behind it
// The shape factor of a laminar layer follows a change of pressure gradient
// over a development length, not at once. Taken locally, as the one-
// parameter closure takes it, near separation (where HBAR is steep in
// lambda) a bump in the displacement thickness steepens the gradient behind
// it, which raises HBAR further downstream: a wave of a few stations that
// travels along the long adverse gradients free-transition laminar layers
// run into, keeps the coupling from settling and makes the layer separate
// now here, now there (a gradient smoothed over three stations does not
// remove it). The layer therefore keeps this share of the parameter of the
// station before. The amplification takes the parameter without the lag,
// which would delay transition wherever the adverse gradient steepens.
constexpr float kLag = 0.5f;

}  // namespace

void write_layer_row(float x, float hbar, float delstar, float theta, float cf) {
  units().write(kListing, kLayerRow, x, hbar, delstar, theta, cf);
}

void write_layer_row(float x, float hbar, float delstar, float theta, float cf, float delta) {
  units().write(kListing, kLayerRow, x, hbar, delstar, theta, cf, delta);
}

void thwaites_lookup(float lambda, float& l, float& hbar) {
  constexpr int last = kThwaitesRows - 1;
  int k = 0;  // row taken, or the upper of the two rows interpolated
  if (lambda > kLambda[0]) {  // at or below the first row (or not a number): the first row
    k = 1;
    while (k < last && lambda > kLambda[k]) ++k;  // beyond the table: the last two rows extended
  }
  if (k == 0 || lambda == kLambda[k]) {
    l = kShear[k];
    hbar = kThwaitesHbar[k];
    return;
  }
  const float w = (lambda - kLambda[k]) / (kLambda[k] - kLambda[k - 1]);
  l = kShear[k] + w * (kShear[k] - kShear[k - 1]);
  hbar = kThwaitesHbar[k] + w * (kThwaitesHbar[k] - kThwaitesHbar[k - 1]);
}

ThwaitesMarch::ThwaitesMarch(const FlowState& fs) : bl(fs.bl), R(fs.cpl.R), EM(fs.gas.EM) {}

float ThwaitesMarch::stagnation_theta() const {
  return std::sqrt(0.075f / (R * bl.DUE(1) * std::pow(bl.T0R, 1.5f)));
}

LaminarStation ThwaitesMarch::advance(int i) {
  LaminarStation st;
  const float m = bl.M(i), tr = bl.TR(i);
  const float fi = std::pow(tr, 4.0f) * std::pow(m / EM, 5.0f);
  integral += (bl.S(i) - bl.S(i - 1)) * (fi + fprev) / 2.0f;
  fprev = fi;
  st.theta = std::sqrt((0.45f / R) * std::pow(EM / (m * tr), 6.0f) * integral);
  const float dm = spacing > 0.0f ? smoothed_gradient(i) : mean_gradient(i);
  st.lambda = R * dm * bl.T0R * std::sqrt(tr) * st.theta * st.theta;
  st.growth_lambda = st.lambda;
  if (spacing > 0.0f) hold_and_lag(st, i);
  thwaites_lookup(st.lambda, st.l, st.hbar);
  st.growth_hbar = st.hbar;
  if (st.growth_lambda != st.lambda) {
    float l;
    thwaites_lookup(st.growth_lambda, l, st.growth_hbar);
  }
  st.delstar = st.theta * (temperature_ratio(m * m) * (st.hbar + 1.0f) - 1.0f);
  st.cf = 2.0f * st.l / (st.theta * bl.RU(i));
  return st;
}

// The layer that grows disturbances takes the flow's parameter away from
// the kink and the parameter of the station before near it; the layer
// handed to the flow and tested for separation lags as well.
void ThwaitesMarch::hold_and_lag(LaminarStation& st, int i) {
  if (i > 2) {  // the first station behind the stagnation point has none before it
    const float near = kink_share(i);
    st.growth_lambda += near * (growth_lambda - st.growth_lambda);
    st.lambda += std::max(near, kLag) * (lambda - st.lambda);
  }
  growth_lambda = st.growth_lambda;
  lambda = st.lambda;
}

float ThwaitesMarch::mean_gradient(int i) const { return (bl.DUE(i) + bl.DUE(i + 1)) / 2.0f; }

// The velocity gradient taken over three stations, 1-2-1: a gradient that
// alternates from station to station is taken out, a linear trend kept.
// The amplification rate rises ever more steeply with the shape factor, so
// a wavy gradient raises its mean and brings transition forward.
float ThwaitesMarch::smoothed_gradient(int i) const {
  const int n = bl.N[ns - 1];
  auto g = [this, n](int k) { return mean_gradient(std::clamp(k, 1, n)); };
  return 0.25f * (g(i - 1) + 2.0f * g(i) + g(i + 1));
}

void ThwaitesMarch::hold_near_transition(int surface, float x) {
  ns = surface;
  kink = x;
  spacing = 0.0f;
  if (!(x > 0.0f)) return;
  const int n = bl.N[ns - 1];
  int k = 2;
  while (k < n && bl.X(k, ns) < x) ++k;
  // The spacing of the stations the flow was solved at: an inserted
  // transition station is not one of them.
  const bool inserted = bl.INSERTED[ns - 1] == 1 && k == bl.ITR[ns - 1] && k < n;
  spacing = bl.X(inserted ? k + 1 : k, ns) - bl.X(k - 1, ns);
}

// Share of the pressure-gradient parameter of station i taken from the
// station before rather than from the flow, by its distance from the kink:
// 1 over the disturbed stations, 0 beyond, in a ramp one spacing wide
// between, so that the layer moves continuously with the transition point.
float ThwaitesMarch::kink_share(int i) const {
  if (!(spacing > 0.0f)) return 0.0f;
  const float d = (kink - bl.X(i, ns)) / spacing;
  return std::clamp(std::min(kDisturbedAhead + 1.0f - d, d + kDisturbedBehind + 1.0f), 0.0f, 1.0f);
}

float laminar_layer(FlowState& fs, int ns, bool print, bool separation) {
  BoundaryLayer& bl = fs.bl;
  int& itr = bl.ITR[ns - 1];
  const int n = bl.N[ns - 1];
  if (print) units().write(kListing, kHeader);

  ThwaitesMarch march(fs);
  if (!separation) march.hold_near_transition(ns, bl.XT[ns - 1]);
  float theta = march.stagnation_theta();
  bl.CF(1, ns) = 0.0f;
  store(bl, 1, ns, theta, kStagnationHbar * theta);
  if (print) write_layer_row(bl.X(1, ns), kStagnationHbar, kStagnationHbar * theta, theta, 0.0f);

  for (int i = 2; i <= std::min(itr, n); ++i) {
    const LaminarStation st = march.advance(i);
    theta = st.theta;
    bl.CF(i, ns) = st.cf;
    store(bl, i, ns, theta, st.delstar);
    if (separation && bl.CF(i, ns) < kSeparationCf) {
      // Laminar separation: transition at the station before, but never at
      // the stagnation point.
      const int back = std::max(i - 1, 2);
      units().write(kListing, kSeparation, bl.X(back, ns), ns);
      write_layer_row(bl.X(i, ns), st.hbar, st.delstar, theta, bl.CF(i, ns));
      theta = bl.THETA(back, ns);
      itr = back;
      break;
    }
    if (print) write_layer_row(bl.X(i, ns), st.hbar, st.delstar, theta, bl.CF(i, ns));
  }
  if (itr < n) bl.CF(n + 1, ns) = bl.CF(itr, ns);
  return theta;
}

TransitionPoint predict_transition(const FlowState& fs, int ns, float ncrit, float influence, float last_x) {
  const BoundaryLayer& bl = fs.bl;
  const int last = std::min(bl.ITR[ns - 1], bl.N[ns - 1]);
  auto at = [&bl, ns](int i, float w) { return bl.X(i - 1, ns) + w * (bl.X(i, ns) - bl.X(i - 1, ns)); };
  ThwaitesMarch march(fs);
  float amplification = 0.0f, rate = 0.0f, cf = 0.0f;  // at the station before; none at the stagnation point
  TransitionPoint reached{bl.X(last, ns), kTrip, 0.0f}, separation{0.0f, kTrip, 0.0f};
  march.hold_near_transition(ns, last_x);
  for (int i = 2; i <= last; ++i) {
    const LaminarStation st = march.advance(i);
    if (bl.X(i, ns) > kTrailingEdgeDeceleration) {
      if (separation.cause == kTrip && st.cf < kSeparationCf)
        separation = {kTrailingEdgeDeceleration, kLaminarSeparation, amplification};
      continue;
    }
    const float h = amplification_shape_factor(st.growth_lambda, st.growth_hbar);
    const float r = amplification_rate(h, st.theta * bl.RU(i), st.theta);
    const float next = amplification + 0.5f * (rate + r) * (bl.S(i) - bl.S(i - 1));
    if (separation.cause == kTrip && st.cf < kSeparationCf) {
      // The skin friction falls to the separation value; the march goes on,
      // the layer held at the table's separated state, to where N would
      // reach ncrit.
      const float w = i == 2 ? 1.0f : (cf - kSeparationCf) / (cf - st.cf);
      separation = {at(i, w), kLaminarSeparation, amplification + w * (next - amplification)};
    }
    if (next >= ncrit) {
      reached = {at(i, (ncrit - amplification) / (next - amplification)), kAmplification, ncrit};
      break;
    }
    amplification = next;
    rate = r;
    cf = st.cf;
  }
  if (reached.cause == kTrip) reached.n = amplification;
  // A short bubble: transition in the separated shear layer.
  if (separation.cause == kLaminarSeparation && reached.cause == kAmplification &&
      reached.x <= separation.x + kBubbleLength)
    return reached;
  // The displacement thickness falls at transition, and the step disturbs
  // the pressure just ahead of it: a separation found less than `influence`
  // ahead of the transition point of the last calculation (or, at the
  // first, of the point the layer would otherwise reach) may be the
  // transition's own doing, and taken there it would draw transition
  // forward update after update. The layer is taken to separate at that
  // point itself.
  if (separation.cause != kLaminarSeparation || !(separation.x < reached.x)) return reached;
  const float held = last_x > 0.0f ? std::min(last_x, reached.x) : reached.x;
  if (separation.x > held - influence) separation.x = std::max(separation.x, held);
  return separation;
}

TransitionStart transition_start(const BoundaryLayer& bl, int itr, float theta) {
  constexpr int kPasses = 30;
  constexpr float kConverged = 0.01f;
  const float mt = bl.M(itr), mt2 = mt * mt;
  const float fc = 1.0f + (0.066f - 0.008f * mt) * mt2;
  const float fr = 1.0f - (0.134f - 0.027f * mt) * mt2;
  const float a = fc * (2.4711f * std::log(fr * bl.RU(itr) * theta) + 4.75f) - 16.87f;
  const float p = -theta * (bl.DUE(itr) + bl.DUE(itr + 1)) / (2.0f * bl.UE(itr));
  // Equilibrium iteration on the shape parameter G.
  float g = 6.5f, hbar = 0.0f, h = 0.0f;
  for (int pass = 0; pass < kPasses; ++pass) {
    const float root = 1724.0f / (g * g + 200.0f) + 1.5f * g + a;
    const float cf2 = 1.0f / (root * root);
    hbar = 1.0f / (1.0f - g * std::sqrt(cf2));
    h = (1.0f + 0.177f * mt2) * (hbar + 1.0f) - 1.0f;
    const float beta = h * p / cf2;
    const float gnew = 6.1f * std::sqrt(beta + 1.81f) - 1.7f;
    if (std::fabs(gnew - g) < kConverged) break;
    g = gnew;
  }
  return {hbar, theta * h, theta};
}

}  // namespace tarn
