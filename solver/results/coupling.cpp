// The viscous-inviscid coupling cycle: at its updates the pressure
// distribution of the potential flow is handed to the boundary layer of
// both surfaces and the wake, and the displacement effect comes back as a
// surface transpiration velocity (and wake terms) for the solver's boundary
// conditions, under relaxation. The lift can be driven to a required value
// by moving the incidence.
#include <algorithm>
#include <cmath>
#include <string>

#include "boundary_layer/boundary_layer.h"
#include "coupling_terms.h"
#include "file_units.h"
#include "listings.h"
#include "potential/potential.h"
#include "results.h"
#include "units.h"
#include "wave_drag/wave_drag.h"

namespace tarn {

const Layout kViscousSummary(
    "(/, '   EM = ', F6.4, 4X, ' ALP = ', F10.4, /, '   CL = ', F7.5, 3X, '  CM = ', F7.5, /,"
    " '  CDP = ', F7.5, 3X, ' CDF = ', F7.5, 3X, 'CDP+CDF = ', F7.5, /, '  CDV = ', F7.5, /,"
    " '  CDV+CD1 = ', F7.5, 3X, 'CDV+CD2 = ', F7.5, /, /)");

namespace {

const Layout kParameters("(' ', 'IVP = ', I1, 4X, 'NVISC = ', I3, 4X, 'GVISC = ', F5.3)");
const Layout kRequiredLift("(' ', 'REQUIRED VALUE OF CL IS ', F8.5)");
const Layout kSummaryRecord("(I5, 10F12.6)");
const Layout kMonitorRecord("(I5, 6F12.7)");
const Layout kChangeRecord("(E10.3)");
const Layout kSurfaceTableHeading("(' ', 17X, 'X', 10X, 'P/H', 9X, 'TAW1', 8X, 'TAW2', 8X, 'QKA')");
const Layout kSurfaceTableRow("(' ', 10X, 5F12.7)");
const Layout kTargetLift("(' CLC=', F10.5, ' ALPHA =', F10.5)");
const std::string kOverflow = " * ARRAY OVERFLOW *";

constexpr int kStart = 1, kAfterSweep = 3, kEnd = 6;
constexpr float kQualifyingCorrection = 0.01f;  // sweeps with smaller corrections count towards an update
constexpr float kEndOfList = 9999.0f;           // P/H marking the end of a station list
constexpr float kFarWakeX = 100.0f;             // x of the far-wake station
constexpr float kLiftSlope = 2.2f * kPi;        // lift-curve slope per radian, before compressibility
constexpr int kCoarseMesh = 100;
// Adaptive relaxation (a study's runs): the largest factor, the largest
// transpiration change at which it may exceed GVISC, and the x beyond which
// a supersonic surface point holds it at GVISC.
constexpr float kLargestFactor = 0.5f;
constexpr float kSettlingChange = 1.0e-2f;
constexpr float kLeadingPocket = 0.15f;
constexpr int kSummaryCode = 2, kMonitorCode = 3;

// Step 3: the stagnation point is the last point of highest P/P0.
int stagnation_point(const FlowState& fs) {
  int np = fs.grid.NSG + 1, ist = fs.grid.NSG / 2 + 1;
  float pmax = fs.res.PH(ist);
  for (int i = 1; i <= np; ++i)
    if (fs.res.PH(i) >= pmax) {
      pmax = fs.res.PH(i);
      ist = i;
    }
  return ist;
}

void check_station_capacity(int last) {
  if (last < kMaxStations) return;
  for (int unit : {kListing, kBrief}) units().write_line(unit, kOverflow);
  throw RunStop("ARRAY OVERFLOW: the boundary-layer station table holds 170 stations", kExitFailure);
}

void set_station(BoundaryLayer& bl, int l, int j, float x, float y, float pm) {
  bl.X(l, j) = x;
  bl.Y(l, j) = y;
  bl.PM(l, j) = pm;
}

// Steps 4 and 5: station lists from the stagnation point along each surface
// to the trailing edge and, with wake coupling, on along the wake.
void build_station_lists(FlowState& fs, int ist) {
  BoundaryLayer& bl = fs.bl;
  const Results& r = fs.res;
  int np = fs.grid.NSG + 1, nw = fs.grid.MR + 1;
  int nu = np - ist + 2, nl = ist + 1;
  bool wake = fs.run.IVP >= 2;
  check_station_capacity(std::max(nu, nl) + (wake ? nw - 1 : 0));
  for (int l = 1; l <= nu - 1; ++l) set_station(bl, l, 1, r.X(ist + l - 1), r.Y(ist + l - 1), r.PH(ist + l - 1));
  for (int l = 1; l <= nl - 1; ++l) set_station(bl, l, 2, r.X(ist - l + 1), r.Y(ist - l + 1), r.PH(ist - l + 1));
  bl.PM(nu, 1) = bl.PM(nl, 2) = kEndOfList;
  if (!wake) return;
  int first[2] = {nu, nl};
  const RVec<kWake>* side[2] = {&r.PHU, &r.PHL};
  float em2 = fs.gas.EM * fs.gas.EM;
  float free_stream = 1.0f / std::pow(1.0f + 0.2f * em2, 3.5f);
  for (int j = 1; j <= 2; ++j) {
    int n0 = first[j - 1];
    float yte = bl.Y(n0 - 1, j);
    for (int k = 2; k <= nw; ++k) set_station(bl, n0 - 2 + k, j, r.XW(k), yte, (*side[j - 1])(k));
    int last = n0 + nw - 2;
    set_station(bl, last, j, kFarWakeX, yte, free_stream);
    bl.PM(last + 1, j) = kEndOfList;
  }
}

// Step 6: boundary layers of both surfaces, skin-friction drag, and the
// inserted transition station taken out again.
void boundary_layers(FlowState& fs) {
  BoundaryLayer& bl = fs.bl;
  Coupling& c = fs.cpl;
  const Grid& g = fs.grid;
  int print_switch = fs.run.IPRINT == 1 ? kPrintBoundaryLayer : 0;
  float xt[2] = {c.XTU, c.XTL}, dd[2] = {c.DD21, c.DD22};
  c.CDF = 0.0f;
  c.NMAX = 0;
  for (int j = 1; j <= 2; ++j) {
    surface_boundary_layer(fs, j, xt[j - 1], dd[j - 1], print_switch);
    int& n = bl.N[j - 1];
    fs.mon.XTR[j - 1] = bl.ITR[j - 1] <= n ? bl.X(bl.ITR[j - 1], j) : 1.0f;
    float side = j == 1 ? 1.0f : -1.0f;
    for (int l = 2; l <= n; ++l)
      if (bl.X(l, j) <= 1.0f)
        c.CDF += 0.5f * (bl.CF(l, j) + bl.CF(l - 1, j)) *
                 (side * (bl.Y(l, j) - bl.Y(l - 1, j)) * g.SIN(1) + (bl.X(l, j) - bl.X(l - 1, j)) * g.COS(1));
    if (bl.INSERTED[j - 1] == 1) {
      for (int l = 1; l <= n; ++l)
        if (bl.X(l, j) - bl.XT[j - 1] >= 0.0f) {
          bl.X(l, j) = bl.X(l + 1, j);
          bl.Y(l, j) = bl.Y(l + 1, j);
          bl.DELSTAR(l, j) = bl.DELSTAR(l + 1, j);
          bl.THETA(l, j) = bl.THETA(l + 1, j);
        }
      n -= 1;
    }
    c.THETAEND[j - 1] = bl.THETA(n, j);
    c.NMAX = std::max(c.NMAX, n);
  }
  c.CDV = 2.0f * (c.THETAEND[0] + c.THETAEND[1]);
}

// A value of a coefficient record (item k of its layout) that its field
// cannot hold stops the run as diverged: the record would hold asterisks.
void require_record_field(const Layout& record, size_t k, float value, const char* quantity) {
  const LayoutItem& field = record.items().at(k);
  require_fits(value, quantity, field.width, field.decimals);
}

// Step 7: the viscous summary on both listings and the coefficient records.
void viscous_summary(FlowState& fs) {
  static const char* const kSummaryNames[] = {"EM", "ALP", "CL", "CM", "CDP", "CDF", "CDP+CDF", "CDV", "CDV+CD1",
                                              "CDV+CD2"};
  const Results& r = fs.res;
  const Coupling& c = fs.cpl;
  const BoundaryLayer& bl = fs.bl;
  std::vector<Value> values{fs.gas.EM, fs.ALP, r.CL, r.CM, r.CDP, c.CDF, r.CDP + c.CDF, c.CDV,
                            c.CDV + r.CD1, c.CDV + r.CD2};
  // Items of the records: the record code, then one field per value.
  for (size_t k = 0; k < values.size(); ++k) require_record_field(kSummaryRecord, k + 1, values[k].r, kSummaryNames[k]);
  size_t item = 1;
  for (auto [value, name] : {std::pair{bl.DTE, "DTE"}, {bl.HTE, "HTE"}, {bl.X96, "X96"}, {bl.H96, "H96"},
                             {bl.X94, "X94"}, {bl.H94, "H94"}})
    require_record_field(kMonitorRecord, item++, value, name);
  monitor_summary(fs);
  Units& u = units();
  u.write_values(kListing, kViscousSummary, values);
  values.insert(values.begin(), Value(kSummaryCode));
  u.write_values(kCoefficients, kSummaryRecord, values);
  u.write(kCoefficients, kMonitorRecord, kMonitorCode, bl.DTE, bl.HTE, bl.X96, bl.H96, bl.X94, bl.H94);
  values.erase(values.begin());
  u.write_values(kBrief, kViscousSummary, values);
}

// Step 9: displacement and momentum thickness at the surface points, from
// the station list of the surface the point lies on.
void surface_thicknesses(FlowState& fs, int ist) {
  const BoundaryLayer& bl = fs.bl;
  Coupling& c = fs.cpl;
  const Results& r = fs.res;
  int np = fs.grid.NSG + 1, nmax = c.NMAX;
  for (int i = 1; i <= np; ++i) {
    int j = i <= ist ? 2 : 1;
    float x = r.X(i);
    int l = nmax;
    for (int s = 2; s <= nmax; ++s) {
      float x0 = bl.X(s - 1, j), x1 = bl.X(s, j);
      if (x1 >= 1.0f || (x0 <= x && x <= x1) || (x1 <= x && x <= x0)) {
        l = s;
        break;
      }
    }
    c.DSS(i) = station_interpolate(bl, bl.DELSTAR, l, j, x);
    c.THS(i) = station_interpolate(bl, bl.THETA, l, j, x);
  }
}

struct Transpiration {
  RVec<kMaxRound> taw1, taw2;
};

// Step 11: the transpiration velocity is the round derivative of the mass
// defect of the boundary layer, rho delta* q, scaled to the circle plane.
Transpiration new_transpiration(FlowState& fs) {
  const Grid& g = fs.grid;
  Coupling& c = fs.cpl;
  const Results& r = fs.res;
  int n = g.NSG, np = n + 1, ile = n / 2 + 1;
  float sigma = fs.map.SIGMA;
  RVec<kMaxRound> mass;
  for (int i = 1; i <= np; ++i) {
    c.RHO(i) = density_ratio(r.EMLS(i));
    mass(i) = c.RHO(i) * c.DSS(i) * r.QS(i);
    c.DQK(i) = c.QKA(i) * (c.DSS(i) + c.THS(i)) * sigma;
  }
  Transpiration t;
  for (int i = 2; i <= n; ++i) {
    float side = i < ile ? -1.0f : 1.0f;
    t.taw1(i) = side * (mass(i - 1) - mass(i + 1)) * g.R2DTH * sigma / c.RHO(i);
  }
  t.taw1(1) = t.taw1(np) = 0.0f;
  if (c.ISMOOTH == 1) trailing_edge_smoothing(fs, t.taw1);
  for (int i = 2; i <= n; ++i) t.taw2(i) = (t.taw1(i + 1) - t.taw1(i - 1)) * g.R2DTH;
  t.taw2(1) = t.taw2(np) = 0.0f;
  return t;
}

// Step 12: largest change of the unrelaxed transpiration (first of equals).
float transpiration_change(const FlowState& fs, const Transpiration& t) {
  float largest = 0.0f;
  for (int i = 1; i <= fs.grid.NSG + 1; ++i) {
    float d = std::fabs(t.taw1(i) - fs.cpl.TAW1(i));
    if (d > largest) largest = d;
  }
  return largest;
}

// Whether an adaptive update may take more than GVISC: the incidence is
// given, the coupling is past its first transient (change below
// kSettlingChange) and its change is not growing, and no supersonic region
// reaches aft of kLeadingPocket. Early large steps, or steps while a shock
// stands on the chord, send transonic runs to another shock position or
// another branch of the solution (NACA 0012 at M 0.6, alpha 6: CDV 0.0110
// instead of 0.0116), and a kicked shock drifts back more slowly than the
// verdict's estimates can see; a pocket at the leading edge keeps its place.
// Lift targeting moves the incidence at its own rate behind the lift, and a
// faster lift left it 1.5E-3 degrees from its limit when judged settled.
bool may_accelerate(const FlowState& fs, float last_change) {
  if (std::abs(fs.run.ICL) == 1) return false;
  if (!(fs.cpl.CHANGE < kSettlingChange && fs.cpl.CHANGE <= last_change)) return false;
  for (int i = 1; i <= fs.grid.NSG + 1; ++i)
    if (fs.res.EMLS(i) >= 1.0f && fs.res.X(i) > kLeadingPocket) return false;
  return true;
}

// The factor of an adaptive update (Irons and Tuck's form of Aitken's
// acceleration): the last factor scaled so that, along the change of the
// transpiration residual r = new TAW1 - relaxed TAW1 between the last two
// updates, the step reaches where r would vanish. A lift that creeps to its
// limit by a few per cent an update then gets there in a fraction of the
// updates. Never below GVISC, by which the way a run has still to go is
// judged from its last changes (a smaller step would make a moving run look
// settled), nor above kLargestFactor; GVISC itself at the first update of a
// stage and whenever may_accelerate says no.
float adaptive_factor(FlowState& fs, const Transpiration& t) {
  Coupling& c = fs.cpl;
  float along = 0.0f, squared = 0.0f, last_change = 0.0f;
  for (int i = 1; i <= fs.grid.NSG + 1; ++i) {
    float r = t.taw1(i) - c.TAW1(i), dr = r - c.RLAST(i);
    along += c.RLAST(i) * dr;
    squared += dr * dr;
    last_change = std::max(last_change, std::fabs(c.RLAST(i)));
    c.RLAST(i) = r;
  }
  bool secant = c.OMEGA > 0.0f && squared > 0.0f && may_accelerate(fs, last_change);
  float omega = secant ? -c.OMEGA * along / squared : c.GVISC;
  c.OMEGA = std::clamp(omega, c.GVISC, kLargestFactor);
  return c.OMEGA;
}

// Step 13: relaxation into the arrays the solver's boundary condition reads.
void relax_transpiration(FlowState& fs, const Transpiration& t, float g, bool print_table) {
  Coupling& c = fs.cpl;
  int np = fs.grid.NSG + 1;
  for (int i = 1; i <= np; ++i) {
    c.TAW1(i) += g * (t.taw1(i) - c.TAW1(i));
    c.TAW2(i) += g * (t.taw2(i) - c.TAW2(i));
    c.DQK(i) = c.DQKOLD(i) + g * (c.DQK(i) - c.DQKOLD(i));
  }
  if (print_table) {
    units().write(kListing, kSurfaceTableHeading);
    for (int i = 1; i <= np; ++i)
      units().write(kListing, kSurfaceTableRow, fs.res.X(i), fs.res.PH(i), c.TAW1(i), c.TAW2(i), c.QKA(i));
  }
  for (int i = 1; i <= np; ++i) c.DQKOLD(i) = c.DQK(i);
  c.ISURF = np;
}

// Step 16: incidence moved towards the required lift along the
// compressible lift-curve slope (angles in degrees here).
void lift_targeting(FlowState& fs) {
  Coupling& c = fs.cpl;
  c.ALPOLD = fs.ALP;
  float slope = kLiftSlope / fs.gas.BETA;
  fs.ALP = c.ALPOLD + fs.run.RFA * kDegPerRad * (fs.run.CLC - c.CLV) / slope;
  units().write(kHistory, kTargetLift, c.CLV, fs.ALP);
}

void clear_wake_terms(Coupling& c) {
  c.SIG = Columns<kWake, 4>{};
  c.WKOLD = c.WDOLD = c.WDS = Columns<kWake, 2>{};
}

// One coupling update with relaxation multiplier mult (1 after a sweep, 0 on
// the final pass of a stage).
void update(FlowState& fs, float mult, int mode) {
  Coupling& c = fs.cpl;
  int np = fs.grid.NSG + 1;
  fs.run.ITYP = 3;
  if (c.ISURF == 0)
    for (int i = 1; i <= np; ++i) c.TAW1(i) = c.TAW2(i) = 0.0f;
  if (c.IWAKE == 0) clear_wake_terms(c);
  results_operation(fs);
  c.CLV = fs.res.CL;
  int ist = stagnation_point(fs);
  build_station_lists(fs, ist);
  boundary_layers(fs);
  require_finite(c.CDF, "CDF");
  require_finite(c.CDV, "CDV");
  if (fs.run.IPRINT == 1) viscous_summary(fs);
  float g = c.GVISC * mult;
  surface_thicknesses(fs, ist);
  if (fs.grid.NSG <= kCoarseMesh) surface_curvature_term(fs);
  Transpiration t = new_transpiration(fs);
  c.CHANGE = transpiration_change(fs, t);
  if (c.IADAPT == 1 && mult > 0.0f) g = adaptive_factor(fs, t);
  if (mode != kEnd) {
    units().write(kCouplingHistory, kChangeRecord, c.CHANGE);
    monitor_update(fs, update_wave_drag(fs));
  }
  bool tables = mode == kEnd && c.IVPRINT == 2;
  relax_transpiration(fs, t, g, tables);
  if (fs.run.IVP < 2) return;
  wake_terms(fs, g, tables);
  if (fs.run.IPRINT == 1) units().write_line(kListing, " ");
  fs.run.IPRINT = 0;
  c.IWAKE = fs.grid.MR + 1;
  if (fs.run.ICL == 1) lift_targeting(fs);
}

void start_of_stage(FlowState& fs) {
  bl_case_setup(fs, 0);
  fs.cpl.OMEGA = 0.0f;  // an adaptive factor starts each stage afresh
  for (int unit : {kListing, kBrief}) units().write(unit, kParameters, fs.run.IVP, fs.cpl.NVISC, fs.cpl.GVISC);
  if (fs.run.ICL == 1) units().write(kListing, kRequiredLift, fs.run.CLC);
}

}  // namespace

void coupling_cycle(FlowState& fs, int mode) {
  Coupling& c = fs.cpl;
  fs.ALP *= kDegPerRad;
  c.ALPOLD *= kDegPerRad;
  int ityp = fs.run.ITYP;
  fs.run.IPRINT = 0;
  if (mode == kStart) {
    if (fs.run.IVP != 0) start_of_stage(fs);
  } else if (mode == kAfterSweep) {
    if (c.ICOUNT == c.ITHRESH) {
      c.ITHRESH = c.NVISC;
      c.ICOUNT = 0;
      update(fs, 1.0f, mode);
    }
    if (fs.pot.RESMAX < kQualifyingCorrection) ++c.ICOUNT;
  } else if (mode == kEnd) {
    if (c.IVPRINT > 0) fs.run.IPRINT = 1;
    if (fs.run.IVP != 0) update(fs, 0.0f, mode);
  }
  fs.run.ITYP = ityp;
  fs.ALP /= kDegPerRad;
  c.ALPOLD /= kDegPerRad;
}

}  // namespace tarn
