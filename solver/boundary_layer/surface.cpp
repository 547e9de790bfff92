// Surface boundary-layer driver: prepares the station line of one surface
// (transition and trailing-edge stations, edge conditions, arc length and
// velocity gradient), then runs the laminar layer, the transition start and
// the turbulent march, and refers the skin friction to the free stream.
#include <algorithm>
#include <cmath>

#include "boundary_layer.h"
#include "file_units.h"
#include "layer.h"
#include "units.h"

namespace tarn {

const Layout kUpperLayerTitle("(/,/,/,35X,'UPPER-SURFACE BOUNDARY-LAYER DATA',/,/)");
const Layout kLowerLayerTitle("(/,/,/,35X,'LOWER-SURFACE BOUNDARY-LAYER DATA',/,/)");

namespace {

const Layout kOverflow("(' * ARRAY OVERFLOW *')");
const Layout kPredicted(
    "(' ','TRANSITION PREDICTED AT',F10.5,3X,'FOR SURFACE ',I1,' (1=U/S, 2=L/S) BY ',A,',  N =',F6.2)");

constexpr float kEndOfList = 9000.0f;                // P/H above this ends the station list
constexpr float kTrailingEdgeMatch = 1.0e-5f;        // a station this close to x = 1 is the trailing edge
constexpr float kClippedPressureRatio = 0.99999988f; // largest P/H taken: two float steps below 1

int count_stations(const BoundaryLayer& bl, int ns) {
  int n = 1;
  for (int i = 2; i <= kMaxStations && bl.PM(i, ns) <= kEndOfList; ++i) n = i;
  return n;
}

// The tables hold kMaxStations stations and slot N+1 is written as well, so
// a line of n stations must have n below kMaxStations.
void check_capacity(int n) {
  if (n < kMaxStations) return;
  for (int unit : {kListing, kBrief}) units().write(unit, kOverflow);
  throw RunStop("ARRAY OVERFLOW: too many boundary-layer stations", kExitFailure);
}

// Moves stations i..n up by one place, leaving slot i free.
void open_slot(BoundaryLayer& bl, int ns, int i, int n) {
  for (int k = n; k >= i; --k) {
    bl.X(k + 1, ns) = bl.X(k, ns);
    bl.Y(k + 1, ns) = bl.Y(k, ns);
    bl.PM(k + 1, ns) = bl.PM(k, ns);
  }
}

// Station i at x, with Y and P/H on the straight line (in x) through
// stations a and b; a copy of station a when the two coincide in x.
void place_station(BoundaryLayer& bl, int ns, int i, float x, int a, int b) {
  const float dx = bl.X(b, ns) - bl.X(a, ns);
  const float w = dx != 0.0f ? (x - bl.X(a, ns)) / dx : 0.0f;
  bl.Y(i, ns) = bl.Y(a, ns) + w * (bl.Y(b, ns) - bl.Y(a, ns));
  bl.PM(i, ns) = bl.PM(a, ns) + w * (bl.PM(b, ns) - bl.PM(a, ns));
  bl.X(i, ns) = x;
}

// Transition station: the first station at or beyond xt, or one inserted
// at xt between its neighbours. Transition cannot start at the stagnation
// point (zero edge velocity), so a position at or before station 1 is taken
// at station 2.
void insert_transition(BoundaryLayer& bl, int ns, float xt, int& n) {
  int& itr = bl.ITR[ns - 1];
  bl.INSERTED[ns - 1] = 0;
  itr = n + 1;
  for (int i = 1; i <= n; ++i) {
    if (bl.X(i, ns) < xt) continue;
    if (i == 1) {
      itr = 2;
    } else {
      itr = i;
      if (bl.X(i, ns) > xt) {
        check_capacity(n + 1);
        open_slot(bl, ns, i, n);
        place_station(bl, ns, i, xt, i - 1, i + 1);
        ++n;
        bl.INSERTED[ns - 1] = 1;
      }
    }
    return;
  }
}

// Trailing-edge station: a station within 1.0E-5 of x = 1, or one inserted
// before the first station beyond it (appended after the last when none
// is), extrapolated from the two stations upstream.
void insert_trailing_edge(BoundaryLayer& bl, int ns, int& n) {
  int i = 2;
  for (; i <= n; ++i) {
    if (std::fabs(bl.X(i, ns) - 1.0f) < kTrailingEdgeMatch) {
      bl.ITE[ns - 1] = i;
      return;
    }
    if (bl.X(i, ns) > 1.0f) break;
  }
  check_capacity(n + 1);
  open_slot(bl, ns, i, n);
  place_station(bl, ns, i, 1.0f, i - 1, std::max(i - 2, 1));
  ++n;
  bl.ITE[ns - 1] = i;
  if (i <= bl.ITR[ns - 1]) ++bl.ITR[ns - 1];  // keep ITR on the transition station
}

// Local Mach number at P/H = ph: (1/ph)^(1/3.5) - 1 formed without the
// cancellation that would make it zero in single precision just below 1.
float mach_from_pressure_ratio(float ph) {
  return std::sqrt(std::expm1(-std::log(ph) / kPressureExponent) / kGammaTerm);
}

// Edge conditions, arc length and velocity gradient of stations 1..n.
void station_conditions(FlowState& fs, int ns, int n) {
  BoundaryLayer& bl = fs.bl;
  const float em = fs.gas.EM, r = fs.cpl.R;
  for (int i = 1; i <= n; ++i) {
    float& pm = bl.PM(i, ns);
    if (pm >= 1.0f) pm = kClippedPressureRatio;
    pm = mach_from_pressure_ratio(pm);
    bl.M(i) = pm;
    bl.TR(i) = bl.T0R / temperature_ratio(pm * pm);
    bl.UE(i) = std::sqrt(bl.TR(i)) * pm / em;
    bl.RU(i) = r * bl.UE(i) * bl.TR(i) * (bl.SL + bl.TR(i)) / (bl.SL + 1.0f);
  }
  bl.M(1) = 0.0f;  // stagnation point
  bl.TR(1) = bl.T0R;
  bl.UE(1) = 0.0f;
  bl.RU(1) = 0.0f;
  bl.PM(1, ns) = 0.0f;

  bl.S(1) = 0.0f;
  for (int i = 2; i <= n; ++i) {
    const float dx = bl.X(i, ns) - bl.X(i - 1, ns), dy = bl.Y(i, ns) - bl.Y(i - 1, ns);
    bl.S(i) = bl.S(i - 1) + std::sqrt(dx * dx + dy * dy);
  }
  bl.DUE(1) = (bl.UE(2) - bl.UE(1)) / bl.S(2);
  for (int i = 2; i < n; ++i) bl.DUE(i) = (bl.UE(i + 1) - bl.UE(i - 1)) / (bl.S(i + 1) - bl.S(i - 1));
  bl.DUE(n) = (bl.UE(n) - bl.UE(n - 1)) / (bl.S(n) - bl.S(n - 1));
  bl.DUE(n + 1) = bl.DUE(n);
}

}  // namespace

void prepare_stations(FlowState& fs, int ns, float xt, bool print) {
  BoundaryLayer& bl = fs.bl;
  if (print) units().write(kListing, ns == 1 ? kUpperLayerTitle : kLowerLayerTitle);
  int n = count_stations(bl, ns);
  insert_transition(bl, ns, xt, n);
  insert_trailing_edge(bl, ns, n);
  check_capacity(n);
  bl.N[ns - 1] = n;
  station_conditions(fs, ns, n);
}

namespace {

constexpr float kReversalRelaxation = 0.5f;  // share of the transition movement kept at a reversal
constexpr float kTransitionInfluence = 0.03f;  // chord ahead of transition disturbed by it

// Station tables of one surface as the coupling cycle hands them over.
struct StationLine {
  float X[kMaxStations], Y[kMaxStations], PM[kMaxStations];
  int count;
};

void save_line(const BoundaryLayer& bl, int ns, StationLine& line) {
  line.count = std::min(count_stations(bl, ns) + 1, kMaxStations);  // with the end-of-list entry
  for (int i = 1; i <= line.count; ++i) {
    line.X[i - 1] = bl.X(i, ns);
    line.Y[i - 1] = bl.Y(i, ns);
    line.PM[i - 1] = bl.PM(i, ns);
  }
}

void restore_line(BoundaryLayer& bl, int ns, const StationLine& line) {
  for (int i = 1; i <= line.count; ++i) {
    bl.X(i, ns) = line.X[i - 1];
    bl.Y(i, ns) = line.Y[i - 1];
    bl.PM(i, ns) = line.PM[i - 1];
  }
}

// Free transition on surface ns with a trip at x = trip: a first laminar
// march along the line prepared with the trip finds where N reaches NCRIT
// or the layer separates; the line is then handed back as it came, for
// preparation with transition at the point found.
float free_transition(FlowState& fs, int ns, float trip) {
  BoundaryLayer& bl = fs.bl;
  StationLine line;
  save_line(bl, ns, line);
  prepare_stations(fs, ns, trip, false);
  const TransitionPoint p = predict_transition(fs, ns, fs.cpl.NCRIT, kTransitionInfluence, bl.XTFREE[ns - 1]);
  restore_line(bl, ns, line);
  bl.TRCAUSE[ns - 1] = p.cause;
  bl.NTR[ns - 1] = p.n;
  float& x = bl.XTFREE[ns - 1];
  if (x == 0.0f) return x = p.x;
  // The point found moves with the flow, which responds to it and, between
  // updates, has not yet settled: the point wanders back and forth about
  // where the flow puts it. Each reversal halves the share of the movement
  // taken, for good (a share regained after a run of moves one way let the
  // wandering start again), so the point settles.
  const float move = p.x - x;
  float& share = bl.TRRELAX[ns - 1];
  if (move * bl.TRMOVE[ns - 1] < 0.0f) share *= kReversalRelaxation;
  bl.TRMOVE[ns - 1] = move;
  x += share * move;
  return x;
}

// The displacement thickness falls by about half at transition. The flow
// sees it at the stations of its own list (an inserted transition station is
// taken out again), so with the step placed between two of them it would
// see nothing of the point's movement until the point crossed the station
// behind, and then the whole step at once: a jump in the transpiration that
// takes the coupling tens of updates to absorb. The station behind the
// point therefore keeps the laminar displacement thickness of the
// transition point in proportion to the point's way across the interval,
// all of it when the point reaches the station, so that the flow moves
// continuously with the point.
void spread_transition_step(BoundaryLayer& bl, int ns, float laminar_delstar) {
  const int itr = bl.ITR[ns - 1], behind = bl.INSERTED[ns - 1] == 1 ? itr + 1 : itr;
  if (itr < 2 || behind > bl.N[ns - 1]) return;
  const float ahead_x = bl.X(itr - 1, ns);
  const float w = (bl.X(itr, ns) - ahead_x) / (bl.X(behind, ns) - ahead_x);
  bl.DELSTAR(behind, ns) += w * (laminar_delstar - bl.DELSTAR(behind, ns));
}

const char* cause_words(int32_t cause, float x) {
  switch (cause) {
    case kAmplification: return "AMPLIFICATION";
    case kLaminarSeparation: return "LAMINAR SEPARATION";
    default: return x < 1.0f ? "TRIP" : "TRAILING EDGE";
  }
}

}  // namespace

void surface_boundary_layer(FlowState& fs, int ns, float xt, float dd, int print_switch) {
  const bool print = print_switch == kPrintBoundaryLayer;
  const bool free = fs.cpl.NCRIT > 0.0f;
  BoundaryLayer& bl = fs.bl;
  if (free) xt = free_transition(fs, ns, xt);
  bl.XT[ns - 1] = xt;
  prepare_stations(fs, ns, xt, print);
  if (free && print)
    for (int unit : {kListing, kBrief})
      units().write(unit, kPredicted, xt, ns, cause_words(bl.TRCAUSE[ns - 1], xt), bl.NTR[ns - 1]);
  const float theta = laminar_layer(fs, ns, print, !free);
  const int n = bl.N[ns - 1];
  if (bl.ITR[ns - 1] < n) {
    const float laminar_delstar = bl.DELSTAR(bl.ITR[ns - 1], ns);
    turbulent_march(fs, ns, transition_start(bl, bl.ITR[ns - 1], theta + dd), print);
    if (free) spread_transition_step(bl, ns, laminar_delstar);
  }

  // Skin friction referred to the free-stream dynamic pressure.
  const float em = fs.gas.EM;
  for (int i = 1; i <= n; ++i) {
    const float m2 = bl.M(i) * bl.M(i);
    const float qr = m2 / std::pow(temperature_ratio(m2), kPressureExponent);
    bl.CF(i, ns) *= qr / (em * em * bl.PINF);
  }
}

}  // namespace tarn
