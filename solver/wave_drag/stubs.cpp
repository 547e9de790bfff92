#include "wave_drag.h"

namespace tarn {

void wave_drag(FlowState& fs) { fs.res.CD1 = fs.res.CD2 = 0.0f; }

}  // namespace tarn
