// One point of a study: how a try of the run is judged and what it leaves
// in the point folder. Private to this folder.
#pragma once

#include <cmath>
#include <string>

#include "files.h"
#include "flow_state.h"

namespace tarn::sweep {

// How a run that stopped early ended: the message and exit status of its stop.
struct Stop {
  bool stopped = false;
  std::string message;
  int status = 0;
};

// A try judged from the run's histories and its last summary.
struct Judgement {
  std::string status;  // converged, not converged, diverged or failed
  std::string reason;
  Json figures;              // what the verdict rests on
  Json coefficients;         // the summary's coefficients, null when there are none
  bool has_results = false;  // finite coefficients and surface values to report
  // How far from converged: the largest of the figures over their tolerances
  // (below 1 when converged; infinite without results).
  float distance = INFINITY;
  // The transition point moved between the last boundary-layer updates
  // (laminar separation just ahead of the given transition): the coupling
  // then cycles, and more sweeps do not settle it.
  bool transition_moves = false;
};

Judgement judge(const FlowState& fs, const Stop& stop);
// The verdict of a point for the status of its try: a diverged try fails.
std::string verdict_of(const std::string& try_status);

// surface.csv and wake.csv of a finished run, from its flow state.
void write_surface_table(const FlowState& fs, const std::string& path);
void write_wake_table(const FlowState& fs, const std::string& path);

}  // namespace tarn::sweep
