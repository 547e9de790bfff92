// The verdict on a run, from the histories of its last stage rather than
// from its status record (which says only that the run ended): the largest
// potential correction must have fallen below a stated tolerance, the
// coupling change measure below the run's viscous tolerance, and the lift
// must be steady over the last boundary-layer updates (and, where lift
// targeting moves the incidence, the incidence too), and in a viscous run
// the lift and the drags must have settled: near enough to their limits by
// the way their last changes leave to go. A study's stop asks the same
// tests after each sweep. Every figure reported is tested for finiteness
// here, whatever the solver itself stopped on.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "geometry/geometry.h"
#include "point.h"
#include "run/run.h"
#include "run_stop.h"

namespace tarn::sweep {

namespace {

// Largest correction of a sweep, taken as the median of the last sweeps so
// that the one sweep disturbed by a boundary-layer update does not decide.
constexpr float kCorrectionTolerance = 1.0e-4f;
constexpr int kCorrectionSweeps = 5;
// Lift steady: its range over the last updates of a viscous run, or over the
// last sweeps of an inviscid one.
constexpr float kLiftTolerance = 1.0e-3f;
constexpr int kLiftUpdates = 5;
constexpr int kLiftSweeps = 25;
// Lift targeting holds the lift at its target by moving the incidence, so a
// steady lift says nothing of an incidence still on its way, and the
// pressure drag moves with the incidence by about CL times its change in
// radians. The incidence must be steady too, over the same last updates, to
// kIncidenceTolerance degrees (8.7E-6 radians): a drag change of under
// 1E-5 up to CL 1. Each update moves the incidence only a
// share RFA of the way to its limit, so the way left is a few times the
// range over the last updates. Measured by tools/incidence-figures.sh on
// RAE 2822 points against runs of 1000 fine sweeps: with 1E-3 degrees,
// points taken for converged lay up to 5E-3 degrees short and CDP 1.3 % off;
// with this tolerance within 7E-4 degrees and 0.6 %.
constexpr float kIncidenceTolerance = 5.0e-4f;
// The lift and the drags of a viscous run must also have settled (to_go:
// the largest change per update over the last updates, divided by the
// coupling relaxation): steady to kLiftTolerance over the last updates, a
// lift still creeping towards its limit, or turning at the top of an
// overshoot, can be 1.5E-3 from where it ends. The full fine stage does not
// settle it either: RAE 2822 at M 0.65 to 0.7, alpha 1 to 4, ends its 200
// sweeps with the lift steady to 4E-4 over five updates and 1.0E-3 to
// 1.5E-3 above its limit, creeping down by 1E-4 an update. The viscous drag
// must settle to kDragToGo, half the 2E-5 to which a polar's drag is read;
// where the flow is supersonic, the pressure drag, which carries the
// shock's, to kShockDragToGo: the wave drag estimated from the shock moves
// five to ten times as much as the pressure drag while the shock settles.
constexpr float kLiftToGo = 5.0e-4f;
// The lift jitters by a few 1E-5 from one update to the next about a limit
// it keeps (NACA 0012 at M 0.5, alpha 8: within 3E-5 of 1.03290 over 400
// updates), which its change per update over the coupling relaxation takes
// for up to 5.5E-4 still to go. Its change is taken over two updates and
// halved: a creep keeps its rate, the jitter loses a third of its size or
// more. Checked on the cold map against ten times the fine sweeps: no point
// passes that lies beyond 1E-3 in lift or 2E-5 in viscous drag, and eight
// more pass. The drags keep the change per update: over two, the jitter of
// transonic points, whose drag is still drifting, passed at M 0.75 and 0.8
// with the drag 2.5E-5 and 4.4E-5 off. A lift-targeted incidence follows
// the lift's jitter and is judged over the same span.
constexpr int kLiftSpan = 2;
constexpr float kDragToGo = 1.0e-5f;
// The wave drag of a shock creeps on at the end of many stages with a slow
// mode of the coupling, nearing its limit by only 0.01 to 0.05 of the way an
// update, far below the coupling relaxation; the lift and the viscous drag
// move with it too little to tell (NACA 0012 at M 0.8 alpha 1: CD2 1.2E-4
// short after 600 fine sweeps, the viscous drag 1.4E-5 and the lift
// 5E-4). Its way left is judged from its own rate (rate_to_go), to
// kWaveDragToGo, half the 2E-5 to which a polar's drag is read, over two
// blocks of kWaveBlock updates: over shorter ones the shock's jitter of a
// few 1E-7 an update reads as a creep.
constexpr float kWaveDragToGo = 1.0e-5f;
constexpr int kWaveBlock = 15;
constexpr float kSlowestDecay = 0.99f;
constexpr float kShockDragToGo = 2.0e-6f;
// Lift targeting holds the lift and moves the incidence, which the drag
// follows (by CL times its change in radians): the incidence must have
// settled to this many degrees, some 1.4E-5 in drag at CL 0.8. Checked on
// lift-targeted studies of NACA 0012 (M 0.5, 0.7) and RAE 2822 (M 0.6, 0.7),
// CL 0.2 to 0.8, against the full stages: incidences within 4.1E-3 degrees
// without this test, 2.8E-3 with it.
constexpr float kIncidenceToGo = 1.0e-3f;
// Transition positions that differ by more than this between the last
// updates are reported as moving.
constexpr float kTransitionMoves = 1.0e-4f;
// Laminar separation just ahead of the given transition can leave the
// transition switching between two stations from one update to the next:
// each switch moves the displacement thickness behind it, so the coupling
// measure stays at the size of that jump however long the run goes on,
// while the flow round it has settled. Such a run is converged only when,
// over the last kSwitchUpdates updates, the transition takes at most two
// positions on each surface, the lift and the viscous drag are steady, and
// the coupling change stays within kSwitchChange times its tolerance (a
// switch of one or two stations moves the transpiration by a few
// thousandths; larger changes have another cause). The drag must be steady
// to kSwitchDragSwing, the 2E-5 to which a polar's drag is read: the point
// reports whichever station the last update took, and a longer run may end
// on the other. With one drag count, RAE 2822 at M 0.4 alpha 4 and M 0.55
// alpha 3 switched by 6E-5 in drag and ended 6E-5 from the long map.
constexpr int kSwitchUpdates = 10;
constexpr float kSwitchDragSwing = 2.0e-5f;
// Free transition: the predicted point must have settled to this over the
// last kLiftUpdates updates on both surfaces.
constexpr float kTransitionSettled = 1.0e-3f;
constexpr float kSwitchChange = 20.0f;

// The latest `count` entries of a history (oldest first).
std::vector<float> latest(const RVec<kMonitorHistory>& history, int32_t entries, int count) {
  std::vector<float> v;
  for (int32_t n = std::max(1, entries - count + 1); n <= entries; ++n) v.push_back(history(Monitor::slot(n)));
  return v;
}

float median(std::vector<float> v) {
  std::sort(v.begin(), v.end(), [](float a, float b) { return a < b || (std::isnan(b) && !std::isnan(a)); });
  return v.empty() ? NAN : v[v.size() / 2];
}

// Range of the values; not a number when any is not finite.
float spread(const std::vector<float>& v) {
  if (v.empty()) return NAN;
  for (float x : v)
    if (!std::isfinite(x)) return NAN;
  auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  return *hi - *lo;
}

std::string sci(float v, int decimals = 1) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*E", decimals, static_cast<double>(v));
  return buf;
}

std::string fixed4(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", static_cast<double>(v));
  return buf;
}

// A test passes only on a finite figure below its tolerance; the distance
// from convergence grows with every figure's share of its tolerance.
bool below(float figure, float tolerance, float& distance) {
  float share = std::isfinite(figure) ? figure / tolerance : INFINITY;
  distance = std::max(distance, share);
  return share < 1.0f;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string s;
  for (const std::string& p : parts) s += (s.empty() ? "" : "; ") + p;
  return s;
}

// The summary's coefficients, the sums formed as the viscous summary forms
// them, and where the last boundary-layer calculation placed transition.
Json summary_coefficients(const FlowState& fs, bool& finite) {
  const Monitor& m = fs.mon;
  bool viscous = fs.run.IVP != 0;
  Coefficients c;
  c.alpha = m.ALP;
  c.cl = m.CL;
  c.cm = m.CM;
  c.cdp = m.CDP;
  c.cd1 = m.CD1;
  c.cd2 = m.CD2;
  c.cd = viscous ? m.CDV + m.CD2 : m.CD2;
  finite = true;
  for (float v : {m.ALP, m.CL, m.CM, m.CDP, m.CDF, m.CDV, m.CD1, m.CD2, c.cd}) finite = finite && std::isfinite(v);
  if (viscous) {
    c.cdf = m.CDF;
    c.cdv = m.CDV;
    c.cdp_cdf = m.CDP + m.CDF;
    c.cdv_cd1 = m.CDV + m.CD1;
    // Where the layer of the last boundary-layer calculation turned turbulent:
    // the given or predicted position, or the station ahead of an earlier
    // laminar separation, which moves transition forward of the given one.
    c.xtr_upper = m.XTR[0];
    c.xtr_lower = m.XTR[1];
  }
  return coefficients_json(c);
}

// Pressures and local Mach numbers of every surface point are numbers.
bool surface_finite(const FlowState& fs) {
  for (int i = 1; i <= fs.grid.NSG + 1; ++i)
    if (!std::isfinite(fs.res.CP(i)) || !std::isfinite(fs.res.EMLS(i))) return false;
  return true;
}

// Where the transition lay over the last updates, when it moved.
std::string transition_note(const Monitor& m, const RVec<kMonitorHistory>& xtr, const char* surface, Json& figures,
                            const char* key) {
  std::vector<float> v = latest(xtr, m.UPDATES, kLiftUpdates);
  if (v.empty()) return std::string();
  auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  figures[key] = {number(*lo), number(*hi)};
  if (!(*hi - *lo > kTransitionMoves)) return std::string();
  return std::string("transition on the ") + surface + " surface moves between x = " + fixed4(*lo) + " and " +
         fixed4(*hi) + " from one update to the next";
}

}  // namespace

std::string verdict_of(const std::string& try_status) {
  return try_status == kConverged ? kConverged : try_status == kNotConverged ? kNotConverged : kFailed;
}

namespace {

// The verdict's tests: each passed or missed with its words, and the figures.
struct Tests {
  Judgement& j;
  std::vector<std::string> met, missed;
  bool drifting = false;  // a quantity still on its way to its limit, which more sweeps settle
  void add(bool passed, const std::string& words) { (passed ? met : missed).push_back(words); }
};

// How far a quantity of a viscous run has still to go: each update relaxes
// the transpiration by the factor `relaxation`, so the quantity nears its
// limit over about 1/relaxation updates, and its change per update divided
// by the factor estimates the rest of the way. The largest change between
// the last updates is taken, not the change over them: at the turning point
// of an overshoot the lift holds steady over a few updates while still a
// few thousandths from its limit. The change may be taken over a `span` of
// updates and divided by it, which keeps a creep's change per update and
// shrinks a jitter's (kLiftSpan).
float to_go(const RVec<kMonitorHistory>& history, int32_t updates, float relaxation, int span = 1) {
  const int count = kLiftUpdates - 1 + span;
  std::vector<float> v = latest(history, updates, count);
  if (v.size() < static_cast<size_t>(count)) return NAN;
  float largest = 0.0f;
  for (size_t k = span; k < v.size(); ++k) largest = std::fmax(largest, std::fabs(v[k] - v[k - span]));
  return largest / (relaxation * static_cast<float>(span));
}

// How far a creeping quantity has still to go by its own rate: the change
// over the later of two blocks of `block` updates against that over the
// earlier gives its decay per update, rho, and a geometric creep has
// rho / (1 - rho) times its change per update still to go. Rho is bounded
// by kSlowestDecay (a hundred changes to go), which a creep that is not
// slowing takes. Blocks that change in opposite senses are no creep: a
// jitter, whose changes over a block stay at its size of a few 1E-7, or the
// turn at the top of an overshoot, whose limit lies some way back down; the
// larger of the two changes is taken for the way left (RAE 2822 at M 0.55,
// alpha 6, turning after the large coupling steps of a study run, read
// nothing to go and stopped 2.3E-5 from its limit). Not a number while there
// are too few updates.
float rate_to_go(const RVec<kMonitorHistory>& history, int32_t updates, int block) {
  std::vector<float> v = latest(history, updates, 2 * block + 1);
  if (v.size() < static_cast<size_t>(2 * block + 1)) return NAN;
  float earlier = v[block] - v[0], later = v[2 * block] - v[block];
  if (!(earlier * later > 0.0f)) return std::fmax(std::fabs(earlier), std::fabs(later));
  float rho = std::fmin(std::pow(later / earlier, 1.0f / static_cast<float>(block)), kSlowestDecay);
  return std::fabs(later) / static_cast<float>(block) * rho / (1.0f - rho);
}

// Whether the flow of the last results is supersonic anywhere on the surface.
bool supersonic(const FlowState& fs) {
  for (int i = 1; i <= fs.grid.NSG + 1; ++i)
    if (fs.res.EMLS(i) >= 1.0f) return true;
  return false;
}

// Whether the transition point has moved over the last kSwitchUpdates updates.
bool transition_switches(const Monitor& m) {
  return spread(latest(m.XTRU, m.UPDATES, kSwitchUpdates)) > kTransitionMoves ||
         spread(latest(m.XTRL, m.UPDATES, kSwitchUpdates)) > kTransitionMoves;
}

void test_correction(const FlowState& fs, float correction, Tests& t) {
  if (below(correction, kCorrectionTolerance, t.j.distance))
    t.add(true, "largest correction " + sci(correction) + " below " + sci(kCorrectionTolerance));
  else
    t.add(false, "largest correction " + sci(correction) + " not below " + sci(kCorrectionTolerance) +
                     " (last at grid point i = " + std::to_string(fs.pot.IRES) +
                     ", k = " + std::to_string(fs.pot.KRES) + ")");
}

// Distinct positions of the transition.
size_t positions(std::vector<float> xtr) {
  std::sort(xtr.begin(), xtr.end());
  return static_cast<size_t>(std::unique(xtr.begin(), xtr.end()) - xtr.begin());
}

// Whether a coupling change above its tolerance owes itself only to the
// transition switching between two stations on an otherwise settled flow;
// the words say what was found. Not asked when the transition stood still.
bool settled_switch(const FlowState& fs, float change, Judgement& j, std::string& words) {
  const Monitor& m = fs.mon;
  std::vector<float> upper = latest(m.XTRU, m.UPDATES, kSwitchUpdates),
                     lower = latest(m.XTRL, m.UPDATES, kSwitchUpdates);
  if (m.UPDATES < kSwitchUpdates || (spread(upper) <= kTransitionMoves && spread(lower) <= kTransitionMoves))
    return false;
  size_t most = std::max(positions(upper), positions(lower));
  float lift = spread(latest(m.CLV, m.UPDATES, kSwitchUpdates));
  float drag = spread(latest(m.CDVU, m.UPDATES, kSwitchUpdates));
  std::vector<float> changes = latest(m.CHANGE, m.UPDATES, kSwitchUpdates);
  float largest = *std::max_element(changes.begin(), changes.end());
  j.figures["switch"] = {{"updates", kSwitchUpdates},          {"transition_positions", most},
                         {"lift_swing", number(lift)},         {"drag_swing", number(drag)},
                         {"drag_tolerance", number(kSwitchDragSwing)}, {"largest_change", number(largest)}};
  std::string over = " over the last " + std::to_string(kSwitchUpdates) + " updates";
  bool settled = most <= 2 && lift < kLiftTolerance && drag < kSwitchDragSwing && largest < kSwitchChange * fs.cpl.VTOL;
  if (settled)
    words = "coupling change " + sci(change) + " above " + sci(fs.cpl.VTOL) +
            " only through the transition switching between two stations, with the lift steady to " + sci(lift) +
            " and the viscous drag to " + sci(drag) + over;
  else
    words = "transition at " + std::to_string(most) + " positions, lift swinging by " + sci(lift) +
            " and viscous drag by " + sci(drag, 2) + " (tolerance " + sci(kSwitchDragSwing) + ")" + over;
  return settled;
}

void test_coupling(const FlowState& fs, Tests& t) {
  const Monitor& m = fs.mon;
  float change = m.UPDATES > 0 ? m.CHANGE(Monitor::slot(m.UPDATES)) : NAN;
  float tolerance = fs.cpl.VTOL;
  t.j.figures["updates"] = m.UPDATES;
  t.j.figures["coupling_change"] = number(change);
  t.j.figures["coupling_tolerance"] = number(tolerance);
  float distance = t.j.distance;
  if (below(change, tolerance, t.j.distance)) {
    t.add(true, "coupling change " + sci(change) + " below " + sci(tolerance));
    return;
  }
  std::string words;
  if (settled_switch(fs, change, t.j, words)) {
    t.j.distance = distance;
    t.add(true, words);
    return;
  }
  t.add(false, m.UPDATES > 0 ? "coupling change " + sci(change) + " not below " + sci(tolerance)
                             : "no boundary-layer update in the last stage");
  if (!words.empty()) t.add(false, words);
}

// Range of the lift over the last updates (viscous), or of the lift estimate
// over the last sweeps; not a number while there are too few.
float lift_swing(const Monitor& m, bool viscous) {
  if (viscous && m.UPDATES >= kLiftUpdates) return spread(latest(m.CLV, m.UPDATES, kLiftUpdates));
  if (!viscous && m.SWEEPS >= kLiftSweeps) return spread(latest(m.CLEST, m.SWEEPS, kLiftSweeps));
  return NAN;
}

// The lift at the last updates (viscous), or the lift estimate of the last sweeps.
void test_lift(const FlowState& fs, bool viscous, Tests& t) {
  float swing = lift_swing(fs.mon, viscous);
  std::string over = viscous ? " over the last " + std::to_string(kLiftUpdates) + " updates"
                             : " over the last " + std::to_string(kLiftSweeps) + " sweeps";
  t.j.figures["lift_swing"] = number(swing);
  t.j.figures["lift_tolerance"] = number(kLiftTolerance);
  if (below(swing, kLiftTolerance, t.j.distance))
    t.add(true, "lift steady to " + sci(swing) + over);
  else
    t.add(false, std::isfinite(swing)
                     ? "lift swings by " + sci(swing) + over
                     : std::string("too few ") + (viscous ? "updates" : "sweeps") + " to judge the lift" + over);
}

// A lift-targeted run: the incidence at the last updates. The incidence nears
// its limit by a share RFA of the way at each update, so an incidence that
// drifts is settled by more sweeps, whatever the transition does.
// A quantity settled over the last updates: its swing (not a number with too
// few updates) below the tolerance; the figure and its tolerance go with the
// verdict as `key`_swing and `key`_tolerance. True when it passes.
bool test_settled(Tests& t, const std::string& key, const std::string& what, float swing, float tolerance,
                  const std::string& unit, const char* steady, const char* moving) {
  t.j.figures[key + "_swing"] = number(swing);
  t.j.figures[key + "_tolerance"] = number(tolerance);
  std::string over = " over the last " + std::to_string(kLiftUpdates) + " updates";
  bool settled = below(swing, tolerance, t.j.distance);
  if (settled)
    t.add(true, what + steady + sci(swing) + unit + over);
  else
    t.add(false, std::isfinite(swing) ? what + moving + sci(swing) + unit + over
                                      : "too few updates to judge the " + what + over);
  return settled;
}

void test_incidence(const FlowState& fs, Tests& t) {
  const Monitor& m = fs.mon;
  float swing = m.UPDATES >= kLiftUpdates ? spread(latest(m.ALPU, m.UPDATES, kLiftUpdates)) : NAN;
  t.drifting = !test_settled(t, "incidence", "incidence", swing, kIncidenceTolerance, " degrees", " steady to ",
                             " drifts by ");
}

// Free transition: the predicted points have settled.
void test_free_transition(const FlowState& fs, Tests& t) {
  const Monitor& m = fs.mon;
  float upper = spread(latest(m.XTRU, m.UPDATES, kLiftUpdates)), lower = spread(latest(m.XTRL, m.UPDATES, kLiftUpdates));
  float swing = m.UPDATES >= kLiftUpdates ? std::max(upper, lower) : NAN;
  test_settled(t, "transition", "free transition", swing, kTransitionSettled, "", " settled to ", " moves by ");
}

// One quantity of a viscous run settled: the way its last changes leave to
// go below `tolerance`; `key`_to_go and its tolerance go with the verdict.
// One still on its way is `creeping`: more sweeps settle it, unless the
// transition switches station, whose jumps no numerics settle.
void test_to_go(Tests& t, const std::string& key, const std::string& what, float go, float tolerance,
                const std::string& unit, bool creeping) {
  t.j.figures[key + "_to_go"] = number(go);
  t.j.figures[key + "_to_go_tolerance"] = number(tolerance);
  if (below(go, tolerance, t.j.distance)) {
    t.add(true, what + " within " + sci(go) + unit + " of its limit");
    return;
  }
  t.drifting = t.drifting || creeping;
  t.add(false, std::isfinite(go) ? what + " still creeping, " + sci(go) + unit + " from its limit (not within " +
                                       sci(tolerance) + ")"
                                 : "too few updates to judge how far the " + what + " has to go");
}

// The lift, the viscous drag and a lift-targeted incidence have settled,
// each by how far its changes over the last updates leave it to go. Not
// asked of the viscous drag while the transition switches station: each
// switch moves it by about the size of the jump, which the estimate would
// take for ten times that still to go; the switch's own test bounds it over
// its longer span (settled_switch).
void test_settled_to_go(const FlowState& fs, Tests& t) {
  const Monitor& m = fs.mon;
  float g = fs.cpl.GVISC;
  bool switches = transition_switches(m);
  test_to_go(t, "lift", "lift", to_go(m.CLV, m.UPDATES, g, kLiftSpan), kLiftToGo, "", !switches);
  if (!switches) test_to_go(t, "drag", "viscous drag", to_go(m.CDVU, m.UPDATES, g), kDragToGo, "", true);
  if (std::abs(fs.run.ICL) == 1)
    test_to_go(t, "incidence", "incidence", to_go(m.ALPU, m.UPDATES, g, kLiftSpan), kIncidenceToGo, " degrees",
               !switches);
  if (supersonic(fs))
    test_to_go(t, "wave_drag", "wave drag", rate_to_go(m.CD2U, m.UPDATES, kWaveBlock), kWaveDragToGo, "", true);
}

// A moving transition point is told with the verdict, whichever it is. A
// fixed one that moves is switching at laminar separation, which no
// numerics settle; a free one, or a drifting incidence, may yet settle with
// more sweeps.
void note_transition(const FlowState& fs, Tests& t) {
  const Monitor& m = fs.mon;
  for (const std::string& note : {transition_note(m, m.XTRU, "upper", t.j.figures, "transition_upper"),
                                  transition_note(m, m.XTRL, "lower", t.j.figures, "transition_lower")}) {
    if (note.empty()) continue;
    t.j.transition_moves = fs.cpl.NCRIT == 0.0f && !t.drifting;
    t.add(t.missed.empty(), note);
  }
}

// The surface computed on is the aerofoil's: the mapping resolved it and the
// mapped surface follows its outline. Judged where the run mapped; a
// continuation keeps the geometry of the run it continues.
void test_geometry(const FlowState& fs, Judgement& j) {
  if (fs.map.NITER == 0) return;
  j.figures["mapping_error"] = number(fs.map.SERR);
  j.figures["mapping_tolerance"] = number(kMappingTolerance);
  j.figures["outline_distance"] = number(fs.map.OUTLINE);
  j.figures["outline_tolerance"] = number(kOutlineTolerance);
  j.geometry = geometry_warning(fs.map);
}

// A run that stopped, or ended without finite results, has failed.
bool failed(const FlowState& fs, const Stop& stop, Judgement& j) {
  const Monitor& m = fs.mon;
  if (stop.stopped) {
    j.status = stop.status == kExitDiverged ? "diverged" : kFailed;
    j.reason = stop.message;
    if (stop.status == kExitDiverged) j.advice = divergence_advice(fs.run.IVP != 0);
    if (m.STAGES > 0)
      j.reason += " (sweep " + std::to_string(m.SWEEPS) + " of the stage on " + std::to_string(m.NSG) + " lines)";
    j.coefficients = nullptr;
    return true;
  }
  bool finite = false;
  j.coefficients = m.SUMMARIES > 0 ? summary_coefficients(fs, finite) : Json(nullptr);
  if (finite && surface_finite(fs)) return false;
  j.status = kFailed;
  j.reason = m.SUMMARIES == 0 ? "the run printed no coefficients"
             : finite         ? "the surface pressures are not all finite numbers"
                              : "the coefficients are not all finite numbers";
  return true;
}

// The tests of a finished stage, or of a stage so far.
void run_tests(const FlowState& fs, float correction, Tests& t) {
  bool viscous = fs.run.IVP != 0;
  test_correction(fs, correction, t);
  if (viscous) test_coupling(fs, t);
  test_lift(fs, viscous, t);
  // Within a stage the iteration control holds the targeting off (ICL
  // negative) for its first sweeps; the run is lift-targeted all the same.
  if (viscous && std::abs(fs.run.ICL) == 1) test_incidence(fs, t);
  if (viscous && fs.cpl.NCRIT > 0.0f) test_free_transition(fs, t);
  if (viscous) test_settled_to_go(fs, t);
  if (viscous) note_transition(fs, t);
}

float latest_correction(const Monitor& m) { return median(latest(m.RES, m.SWEEPS, kCorrectionSweeps)); }

// The coupling test may pass: the last change is below its tolerance, or the
// transition has moved (a switch that may have settled).
bool coupling_may_pass(const Monitor& m, float tolerance) {
  if (m.UPDATES < 1) return false;
  return m.CHANGE(Monitor::slot(m.UPDATES)) < tolerance || transition_switches(m);
}

}  // namespace

bool tests_hold(const FlowState& fs) {
  const Monitor& m = fs.mon;
  bool viscous = fs.run.IVP != 0;
  // Without the coupling there is no time scale to tell how far the lift has
  // still to go: a transonic inviscid run can hold its lift steady to 2E-4
  // over 25 sweeps while 4 % short of its limit. Inviscid stages run on.
  if (!viscous) return false;
  // The tests word what they find, so they are asked in full only once the
  // correction and the lift have settled.
  float correction = latest_correction(m);
  if (!(correction < kCorrectionTolerance && lift_swing(m, viscous) < kLiftTolerance)) return false;
  if (!coupling_may_pass(m, fs.cpl.VTOL)) return false;
  // A stage is stopped early only once the drags have settled by the same
  // estimate in every case: where the flow is supersonic the pressure drag,
  // which carries the shock's (stopped on the lift alone, a point at M 0.8
  // had its drag 7E-5 off), and the viscous drag even while the transition
  // switches. Not tests of the verdict: over a finished stage the pressure
  // drag's surface integral wanders by a few 1E-7 an update on flows settled
  // to 1E-6 in drag, which the estimate takes for 5E-6 to 1E-5 still to go.
  float g = fs.cpl.GVISC;
  if (supersonic(fs) && !(to_go(m.CDPU, m.UPDATES, g) < kShockDragToGo)) return false;
  if (!(to_go(m.CDVU, m.UPDATES, g) < kDragToGo)) return false;
  Judgement j;
  Tests t{j, {}, {}};
  run_tests(fs, correction, t);
  return t.missed.empty();
}

Judgement judge(const FlowState& fs, const Stop& stop) {
  const Monitor& m = fs.mon;
  Judgement j;
  float correction = latest_correction(m);
  j.figures = {{"grid", m.NSG},
               {"sweeps", m.SWEEPS},
               {"max_correction", number(correction)},
               {"correction_tolerance", number(kCorrectionTolerance)},
               {"correction_at", {fs.pot.IRES, fs.pot.KRES}}};
  j.has_surface = m.NPRES > 0;
  for (int side = 1; side <= 2; ++side)
    for (int k = 1; k <= m.NSHOCK[side - 1]; ++k) (side == 1 ? j.shocks_upper : j.shocks_lower).push_back(m.XSHOCK(k, side));
  test_geometry(fs, j);
  if (failed(fs, stop, j)) {
    if (!j.geometry.empty()) {
      j.reason += "; " + j.geometry;
      j.advice.clear();  // the geometry, not the numerics, is to be changed
    }
    return j;
  }
  j.has_results = true;
  j.distance = 0.0f;
  Tests t{j, {}, {}};
  run_tests(fs, correction, t);
  if (!j.geometry.empty()) t.missed.insert(t.missed.begin(), j.geometry);
  j.status = t.missed.empty() ? kConverged : kNotConverged;
  j.reason = joined(t.missed.empty() ? t.met : t.missed);
  return j;
}

}  // namespace tarn::sweep
