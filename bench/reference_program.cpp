// The solver's sweep entry points bound to the reference sweep, for the
// program tarn_reference.
#include "potential/potential.h"
#include "reference_sweep.h"

namespace tarn {

void relaxation_sweep(FlowState& fs) { reference::relaxation_sweep(fs); }
float wake_jump(const FlowState& fs, int k) { return reference::wake_jump(fs, k); }

}  // namespace tarn
