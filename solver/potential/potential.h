// Potential-flow solver: the circle-plane grid and its constants, the
// relaxation sweep of the full-potential equation and the iteration stage.
#pragma once

#include "flow_state.h"

namespace tarn {

// Grid counts and difference constants for NSG and MR (mode 1); NFIELD = 0.
void grid_constants(FlowState& fs);
// Circulation, angle tables and initial potential after the mapping (mode 2).
void initialise_field(FlowState& fs);
// x-positions of the wake points along the ray behind the trailing edge.
void wake_distances(FlowState& fs);
// One line-relaxation sweep with the circulation and far-field update.
void relaxation_sweep(FlowState& fs);
// Jump of the potential across the cut at radial index k due to the viscous
// wake: its displacement term SIGMA1 and vortex terms SIGMA2, SIGMA3.
float wake_jump(const FlowState& fs, int k);
// A largest correction above 10 (or not a number) means the field diverged.
bool correction_diverged(float resmax);
// Stops the run as diverged: the message on both listings, the files closed
// and the status record -4. A named quantity adds the line that says what is
// wrong with it (by default that it is not a finite number), on the listings
// and the console.
[[noreturn]] void stop_diverged(const char* quantity = nullptr, const char* fault = nullptr);
// A value that is not a finite number stops the run as diverged.
void require_finite(float value, const char* quantity);
// So does a value for a record field Fw.d that the field cannot hold (it
// would be written as asterisks).
void require_fits(float value, const char* quantity, int width, int decimals);
// One iteration stage of NS sweeps, with the viscous coupling calls, lift
// targeting, history file, divergence stop and convergence test.
void iteration_stage(FlowState& fs);

}  // namespace tarn
