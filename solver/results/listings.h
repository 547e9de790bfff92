// Lines of the results listings written by the results operation.
#pragma once

#include "flow_state.h"

namespace tarn {

// Surface table, pressure lists, wave drag, wake table and inviscid summary,
// each as the final-print flag, ITYP and IVP ask.
void write_results(FlowState& fs);

}  // namespace tarn
