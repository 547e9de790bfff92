// Surface results and viscous coupling: pressures and forces, the listings,
// the coupling cycle and the wake and curvature coupling terms.
#pragma once

#include "flow_state.h"

namespace tarn {

// Surface and wake speeds, pressures, forces and moment; prints the tables
// when ITYP >= 3 and the final-print flag is set. Leaves ITYP = 1.
void results_operation(FlowState& fs);

// Coupling cycle: mode 1 at the start of a stage, 3 after each sweep, 6 at
// the end of a stage.
void coupling_cycle(FlowState& fs, int mode);

// Isentropic relations of the free stream for a squared speed q^2 (free
// stream speed 1): pressure coefficient, static over free-stream total
// pressure, and local Mach number.
float pressure_coefficient(const Gas& gas, float qsq);
float pressure_ratio(const Gas& gas, float cp);
float local_mach(const Gas& gas, float qsq);
// Density over stagnation density at a local Mach number.
float density_ratio(float mach);

// Smoothing of a surface distribution (NP values) over the rear fifth of the
// chord, blended in linearly from x = 0.8 to x = 0.9.
void trailing_edge_smoothing(const FlowState& fs, RVec<kMaxRound>& f);
// Smoothing of one wake distribution (k = 1 ... MR + 1).
void wake_smoothing(const FlowState& fs, RVec<kWake>& f);

}  // namespace tarn
