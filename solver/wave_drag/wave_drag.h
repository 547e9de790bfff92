// Wave drag: shocks found in the surface Mach-number distribution and their
// first-order and improved drag estimates.
#pragma once

#include "flow_state.h"

namespace tarn {

// Reads the local Mach numbers EMLS, the surface points X, Y (NP = NSG + 1
// points, lower trailing edge round the nose to upper trailing edge), ALP in
// degrees and EM; writes the listing lines, CD1 and CD2, and the station
// monitor list of the boundary layer.
void wave_drag(FlowState& fs);

// The improved wave drag CD2 of the same surface lists, neither listed nor
// entered in any monitor: the history a study judges the shock's settling by.
float update_wave_drag(FlowState& fs);

}  // namespace tarn
