// The relaxation sweep before it was arranged for speed (reference_sweep.cpp).
#pragma once

#include "flow_state.h"

namespace tarn::reference {

void relaxation_sweep(FlowState& fs);
float wake_jump(const FlowState& fs, int k);

}  // namespace tarn::reference
