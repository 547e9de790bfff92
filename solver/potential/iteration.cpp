// Iteration control of a stage: relaxation-factor set-up, the sweep loop with
// its history file, lift targeting, divergence stop, convergence test and
// the stop a study may set.
#include <cmath>
#include <cstdlib>

#include "file_units.h"
#include "free_stream/free_stream.h"
#include "potential.h"
#include "results/results.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kHistoryHeading("('  RES', 9X, 'CL')");
const Layout kHistoryLine("(E12.3, F11.5)");
const Layout kStatusRecord("(I5)");
const std::string kDiverged = " ITERATIVE PROCEDURE HAS DIVERGED";
const char* const kNotFinite = " IS NOT A FINITE NUMBER";
const char* const kTooLarge = " IS TOO LARGE FOR ITS RECORD FIELD";

constexpr float kDivergenceLimit = 10.0f;
constexpr float kIncidenceChange = 1.0e-8f;
constexpr int kTargetingStart = 20;  // iterations of a stage before lift targeting resumes
constexpr int kStatusDiverged = -4;

void stage_setup(FlowState& fs) {
  Potential& p = fs.pot;
  p.RELA = (p.XS - p.XM) / (1.0f - fs.gas.QSTAR2);
  p.RELB = p.XS - p.RELA;
  if (p.F == 0.0f) p.DGHELD = p.DGHELD / (2.0f / fs.map.SIGMA);
}

bool converged(FlowState& fs) {
  Potential& p = fs.pot;
  float m = std::max(std::fabs(p.DGHELD), p.RESMAX);
  if (!(m < fs.run.TOL)) return false;
  return fs.run.IVP == 0 || fs.cpl.CHANGE < fs.cpl.VTOL;
}

}  // namespace

bool correction_diverged(float resmax) { return !(resmax <= kDivergenceLimit); }

void stop_diverged(const char* quantity, const char* fault) {
  Units& u = units();
  std::string message = kDiverged;
  if (quantity) message += "\n " + std::string(quantity) + (fault ? fault : kNotFinite);
  for (int unit : {kListing, kBrief}) u.write_line(unit, message);
  for (int unit : {1, kListing, kDumpIn, kDumpOut, kBrief, kHistory, kCouplingHistory, kGridData}) u.close(unit);
  u.write(kCoefficients, kStatusRecord, kStatusDiverged);
  u.close(kCoefficients);
  throw RunStop(message.substr(1), kExitDiverged);
}

void require_finite(float value, const char* quantity) {
  if (!std::isfinite(value)) stop_diverged(quantity);
}

void require_fits(float value, const char* quantity, int width, int decimals) {
  require_finite(value, quantity);
  if (format_fixed(value, width, decimals).find('*') != std::string::npos) stop_diverged(quantity, kTooLarge);
}

void iteration_stage(FlowState& fs) {
  RunControl& run = fs.run;
  Potential& p = fs.pot;
  bool viscous = run.IVP != 0;
  int nvisc = std::max(fs.cpl.NVISC, 1);

  if (run.MACHCHANGED != 0) {
    run.MACHCHANGED = 0;
    far_field_refresh(fs);
  }
  if (std::fabs(fs.ALP - fs.grid.ALPPREV) > kIncidenceChange) incidence_update(fs);
  stage_setup(fs);
  wake_distances(fs);
  if (viscous) coupling_cycle(fs, 1);
  if (run.ICL == 1) run.ALP0 = fs.ALP;
  int block = 0;
  units().write(kHistory, kHistoryHeading);
  monitor_stage(fs);
  if (run.NFIELD == 0) p.IRES = p.KRES = 0;
  run.ICL = -run.ICL;

  int n = 1;
  for (; n <= run.NS; ++n) {
    if (n == (kTargetingStart / nvisc) * nvisc) run.ICL = std::abs(run.ICL);
    p.CLEST = 2.0f * p.GAM / fs.map.SIGMA;
    relaxation_sweep(fs);
    units().write(kHistory, kHistoryLine, p.RESMAX, p.CLEST);
    monitor_sweep(fs);
    if (viscous) coupling_cycle(fs, 3);
    if (run.ICL == 1) {
      if (std::fabs(fs.ALP - run.ALP0) > kIncidenceChange && n / nvisc != block) incidence_update(fs);
      block = n / nvisc;
    }
    if (correction_diverged(p.RESMAX)) stop_diverged();
    if (converged(fs)) break;
    p.DGHELD = p.F * p.DGHELD;
    if (p.F != 0.0f) p.DGHELD = p.DGHELD / (p.F * p.F);
    if (run.STAGESTOP && run.STAGESTOP(fs)) {
      ++n;  // the stage ends as a stage of n sweeps would
      break;
    }
  }

  run.ICL = std::abs(run.ICL);
  // A lift-targeting step made within the last block, which the angle tables
  // have not followed, is withdrawn: the final pass resolves the forces at,
  // and reports, the incidence the flow was computed at.
  if (run.ICL == 1) fs.ALP = fs.grid.ALPPREV;
  if (viscous) coupling_cycle(fs, 6);
  run.IPRINT = viscous ? 0 : 1;
  run.NFIELD += n - 1;
}

}  // namespace tarn
