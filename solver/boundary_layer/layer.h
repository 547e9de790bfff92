// Inside the boundary layer: gas and closure constants, the Thwaites table,
// the adaptive Runge-Kutta integrator and the lag-entrainment equations.
// Used by the files of this folder and by the tests; the rest of the program
// calls only boundary_layer.h.
#pragma once

#include <cmath>
#include <limits>

#include "flow_state.h"

namespace tarn {

constexpr float kTotalTemperature = 293.0f;     // K, fixed total temperature
constexpr float kSutherlandLaminar = 110.4f;    // K
constexpr float kSutherlandTurbulent = 114.0f;  // K
constexpr float kPressureExponent = 3.5f;       // gamma/(gamma - 1)
constexpr float kHbarMax = 3.5f;                // upper clamp of the turbulent HBAR
constexpr float kCfhFloor = 1.0e-6f;            // floor of half the skin friction on the surface

constexpr float kNotYet = std::numeric_limits<float>::quiet_NaN();  // key of an empty cache entry

// Total over static temperature at Mach number squared m2: 1 + 0.2 m2.
inline float temperature_ratio(float m2) { return 1.0f + kGammaTerm * m2; }

// Entrainment shape factor H1 of the normal closure at shape factor hbar,
// and its slope dH1/dHBAR.
inline float entrainment_shape_factor(float hbar, float* slope = nullptr) {
  const float e = hbar - 1.0f, re = 1.0f / e;
  if (slope) *slope = -1.72f * re * re - 0.02f * e;
  return 3.15f + 1.72f * re - 0.01f * e * e;
}

// Thwaites table: shear parameter l and HBAR at the pressure-gradient
// parameter lambda.
void thwaites_lookup(float lambda, float& l, float& hbar);

// ---------------------------------------------------------------------------
// VINT: six-stage Runge-Kutta scheme of fourth order with a fifth-order error
// estimate (England), integrating dY/dX = F(X, Y) from X to XEND. The step H
// is halved when a component's relative error exceeds 5 ACC, kept when one
// lies between 5 ACC/32 and 5 ACC, doubled otherwise; the final step is cut
// to land on XEND and leaves H as it was. The derivative is called as
// deriv(x, y, f) and may change y in place. Failures (zero interval, zero
// step, more than maxsteps attempts) write one line to the listing and
// return with X and Y as they stand.

// Work array W(N,7): K1..K5, Y at the start of the step, K6.
template <int NEQ>
struct VintWork {
  float K1[NEQ], K2[NEQ], K3[NEQ], K4[NEQ], K5[NEQ], Y0[NEQ], K6[NEQ];
};

void report_vint_failure(float h, float xend, float x, int nstep);

template <int NEQ, typename Derivative>
void vint(Derivative&& deriv, float& h, float& x, float (&y)[NEQ], float xend, float acc, int maxsteps,
          float (&f)[NEQ], VintWork<NEQ>& w) {
  constexpr float kTiny = 1.0e-20f;
  constexpr float kSmallValue = 1.0e-8f;  // below this |Y| the error is taken as absolute
  if (std::fabs(xend - x) < kTiny || std::fabs(h) < kTiny) {
    report_vint_failure(h, xend, x, 0);
    return;
  }
  const float tolu = 5.0f * acc, toll = tolu / 32.0f;
  int nstep = 0;
  bool retry = false;  // a rejected step restarts with F at its start known
  for (;;) {
    const float remaining = h > 0.0f ? xend - x : x - xend;
    if (remaining <= 0.0f) return;
    const float x0 = x;
    const bool last = remaining <= std::fabs(h);
    const float ht = last ? xend - x : h;
    if (++nstep > maxsteps) {
      report_vint_failure(h, xend, x, nstep);
      return;
    }
    if (!retry) {
      for (int i = 0; i < NEQ; ++i) w.Y0[i] = y[i];
      deriv(x0, y, f);
    }
    retry = false;
    for (int i = 0; i < NEQ; ++i) {
      w.K1[i] = ht * f[i];
      y[i] = w.Y0[i] + 0.5f * w.K1[i];
    }
    deriv(x0 + 0.5f * ht, y, f);
    for (int i = 0; i < NEQ; ++i) {
      w.K2[i] = ht * f[i];
      y[i] = w.Y0[i] + 0.25f * (w.K1[i] + w.K2[i]);
    }
    deriv(x0 + 0.5f * ht, y, f);
    for (int i = 0; i < NEQ; ++i) {
      w.K3[i] = ht * f[i];
      y[i] = w.Y0[i] - w.K2[i] + 2.0f * w.K3[i];
    }
    deriv(x0 + ht, y, f);
    for (int i = 0; i < NEQ; ++i) {
      w.K4[i] = ht * f[i];
      y[i] = w.Y0[i] + (7.0f * w.K1[i] + 10.0f * w.K2[i] + w.K4[i]) * (1.0f / 27.0f);
    }
    deriv(x0 + 2.0f * ht / 3.0f, y, f);
    for (int i = 0; i < NEQ; ++i) {
      w.K5[i] = ht * f[i];
      y[i] = w.Y0[i] +
             (28.0f * w.K1[i] - 125.0f * w.K2[i] + 546.0f * w.K3[i] + 54.0f * w.K4[i] - 378.0f * w.K5[i]) * (1.0f / 625.0f);
    }
    deriv(x0 + 0.2f * ht, y, f);
    for (int i = 0; i < NEQ; ++i) w.K6[i] = ht * f[i];

    bool grow = !last, rejected = false;
    for (int i = 0; i < NEQ && !rejected; ++i) {
      const float yn = w.Y0[i] + (w.K1[i] + 4.0f * w.K3[i] + w.K4[i]) * (1.0f / 6.0f);
      const float e = (125.0f * w.K6[i] + 162.0f * w.K5[i] - 42.0f * w.K1[i] - 224.0f * w.K3[i] - 21.0f * w.K4[i]) *
                      (1.0f / 67.2f);
      const float re = std::fabs(e / (std::fabs(yn) < kSmallValue ? 1.0f : yn));
      if (re > tolu) {
        rejected = true;
      } else {
        if (re >= toll) grow = false;
        y[i] = yn;
      }
    }
    if (rejected) {
      // Retry from the start of the step with half the step just used.
      for (int i = 0; i < NEQ; ++i) {
        f[i] = w.K1[i] / ht;
        y[i] = w.Y0[i];
      }
      h = 0.5f * ht;
      x = x0;
      retry = true;
      continue;
    }
    x = last ? xend : x0 + ht;
    if (grow) h *= 2.0f;
  }
}

// ---------------------------------------------------------------------------
// Lag-entrainment equations of one surface, in arc length S: Y = (HBAR,
// THETA, CE), F = dY/dS, between stations J-1 and J of the work arrays.
enum EntrainmentMode {
  kAuxiliary = 0,    // H, THETA, CFH only; report pending HBAR limits; F untouched
  kDerivative = 3,   // F at (S, Y)
  kEquilibrium = 5,  // CE set to its equilibrium value, then F
};

struct EntrainmentEquations {
  EntrainmentEquations(FlowState& fs, int ite);
  // Takes the interval from station j-1 to station j.
  void set_interval(int j);
  void operator()(int mode, float (&f)[3], float s, float (&y)[3]);
  // The same with the mode fixed, inlined into the march.
  template <EntrainmentMode Mode>
  void evaluate(float (&f)[3], float s, float (&y)[3]);
  // Edge Mach number squared, static temperature (K) and unit Reynolds
  // number at edge-velocity ratio uex.
  void edge_conditions(float uex, float& me2, float& tsk, float& rux) const;

  BoundaryLayer& bl;
  float EM2;       // free-stream Mach number squared
  float TINF;      // free-stream static temperature, K
  float RUSCALE;   // R / (TINF + 114): unit Reynolds number per (T/TINF)(T + 114)
  bool HIGHHBAR;   // high-HBAR entrainment law (IVP read negative)
  int ITE;         // trailing-edge station: beyond it lies the wake
  int J = 2;       // downstream station of the current interval
  float DUDS = 0.0f;  // edge-velocity gradient of the interval
  bool WAKE = false;  // the interval lies in the wake
  // Results of the last evaluation.
  float H = 0.0f;     // compressible shape factor
  float THETA = 0.0f; // momentum thickness
  float CFH = 0.0f;   // half the local skin-friction coefficient

 private:
  // Compressibility factors at one edge velocity: functions of UEX alone.
  struct EdgeFactors {
    float UEX = kNotYet;     // edge-velocity ratio
    float ME2 = 0.0f;        // edge Mach number squared
    float RUX = 0.0f;        // unit Reynolds number
    float HFACTOR = 1.0f;    // 1 + 0.178 ME2: H from HBAR
    float RTHFACTOR = 1.0f;  // 1 + 0.056 ME2: Reynolds number of the flat-plate friction
    float CFFACTOR = 1.0f;   // 1/sqrt(1 + 0.2 ME2): compressibility of the flat-plate friction
    float PEQFACTOR = 1.0f;  // 1 + 0.04 ME2: compressibility of HBAR0 and of the equilibrium pressure term
    float LAG = 0.0f;        // 2.8 sqrt(1 + 0.1 ME2): lag constant
    float FM = 1.0f;         // compressibility factor of the pressure-gradient term of the lag equation
  };
  // Edge state at arc length S of the current interval.
  struct EdgeState : EdgeFactors {
    float S = kNotYet;       // arc length on the current interval
    float DUDS_UE = 0.0f;    // (dUE/dS)/UE
  };
  // A step of the integrator evaluates at five arc lengths and the next
  // step starts at the furthest of them, where the interval also ends; so
  // two states are kept: the furthest downstream so far and the latest
  // other one. At a new interval their factors still serve an equal edge
  // velocity, as at the station that ends one interval and starts the next.
  EdgeState EDGE[2];
  enum { kFurthest = 0, kLatest = 1 };
  const EdgeState& edge_state(float s);
  const EdgeState& new_edge_state(float s);
  void edge_factors(EdgeFactors& g, float uex) const;

  // Shape factor and skin friction of the end of an interval (and of the
  // equilibrium start), kept for the same edge velocity, HBAR and THETA:
  // the first evaluation of the next interval repeats them at the same
  // station. The stages of a step never repeat one another.
  struct Friction {
    float UEX = kNotYet, HBAR = kNotYet, THETA = kNotYet;  // at these
    bool WAKE = false;
    float H = 0.0f, CF0H = 0.0f, CFH = 0.0f;
  } FRICTION;
  float limit_hbar(float& hbar);
  template <EntrainmentMode Mode>
  float skin_friction(float hbar, const EdgeFactors& g);
};

// First step of the turbulent march: small derivatives are raised to 1.0E-6
// in f, then the step that changes HBAR by 0.01 or THETA by 1 %, at most
// 0.01 dx.
float initial_step(float (&f)[3], const float (&y)[3], float dx);

// Compressible Thwaites march from the stagnation point, one station at a
// time along the prepared station line.
struct LaminarStation {
  float theta, lambda, l, hbar, delstar, cf;  // lambda: pressure-gradient parameter, l: shear parameter
  float growth_lambda, growth_hbar;           // the same without the lag (free transition), for the amplification
};
class ThwaitesMarch {
 public:
  explicit ThwaitesMarch(const FlowState& fs);
  float stagnation_theta() const;  // THETA at station 1
  LaminarStation advance(int i);   // station i = 2, 3, ... in turn
  // Free transition on surface ns, the flow solved with transition at x
  // (none when x is 0): the velocity gradient taken over three stations,
  // the stations that the velocity kink of the transition disturbs given
  // the pressure-gradient parameter of the layer ahead of them, and the
  // layer lagging the flow's parameter elsewhere.
  void hold_near_transition(int ns, float x);

 private:
  const BoundaryLayer& bl;
  const float R, EM;
  float integral = 0.0f, fprev = 0.0f;  // running integral and its last integrand
  float lambda = 0.0f;                  // pressure-gradient parameter taken at the last station
  int ns = 1;                           // surface of the kink
  float kink = 0.0f, spacing = 0.0f;    // its position and the station spacing there
  float growth_lambda = 0.0f;           // the same without the lag
  float kink_share(int i) const;
  void hold_and_lag(LaminarStation& st, int i);
  float mean_gradient(int i) const;      // dUE/ds over the interval behind station i
  float smoothed_gradient(int i) const;  // the same over three intervals
};

// Free transition (approximate envelope method).
enum TransitionCause : int32_t { kTransitionGiven = 0, kAmplification = 1, kLaminarSeparation = 2, kTrip = 3 };
struct TransitionPoint {
  float x;        // chordwise position
  int32_t cause;  // a TransitionCause
  float n;        // amplification factor reached there
};
// Kinematic shape factor fed to the amplification at pressure-gradient
// parameter lambda, where the Thwaites table gives hbar.
float amplification_shape_factor(float lambda, float hbar);
float critical_reynolds_number(float h);  // momentum-thickness Reynolds number where growth begins
float amplification_slope(float h);       // dN/dRe_theta beyond it
float amplification_rate(float h, float rth, float theta);  // dN/ds (per chord) at Re_theta rth
// Where the laminar layer of the prepared line of surface ns, marched up to
// its transition station (the trip), reaches N = ncrit or separates,
// interpolated between stations; the trip itself when neither comes first.
// A separation in the trailing-edge deceleration is taken where that
// begins (x = 0.98), and a separation less than `influence` ahead of the
// last transition point last_x (0 when there is none) at that point.
TransitionPoint predict_transition(const FlowState& fs, int ns, float ncrit, float influence, float last_x);

// Parts of the surface driver, in calling order.
void prepare_stations(FlowState& fs, int ns, float xt, bool print);
// THETA at transition; with separation false laminar separation does not
// move the transition (free transition has placed it already).
float laminar_layer(FlowState& fs, int ns, bool print, bool separation = true);
struct TransitionStart {
  float HBAR, DELSTAR, THETA;
};
TransitionStart transition_start(const BoundaryLayer& bl, int itr, float theta);
void turbulent_march(FlowState& fs, int ns, const TransitionStart& start, bool print);

// Row of the boundary-layer table: X, HBAR, DELSTAR, THETA, CF and, on
// turbulent rows, DELTA.
void write_layer_row(float x, float hbar, float delstar, float theta, float cf);
void write_layer_row(float x, float hbar, float delstar, float theta, float cf, float delta);

}  // namespace tarn
