#include "boundary_layer.h"

namespace tarn {

void surface_boundary_layer(FlowState&, int, float, float, int) {}

}  // namespace tarn
