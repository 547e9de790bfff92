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

}  // namespace tarn
