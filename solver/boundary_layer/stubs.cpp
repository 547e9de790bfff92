// Placeholder for the boundary layer still to come: counts the stations and
// returns zero thicknesses and skin friction.
#include "boundary_layer.h"

namespace tarn {

void surface_boundary_layer(FlowState& fs, int ns, float, float, int) {
  BoundaryLayer& bl = fs.bl;
  int n = 1;
  while (n + 1 < kMaxStations && bl.PM(n + 1, ns) <= 9000.0f) ++n;
  bl.N[ns - 1] = n;
  bl.INSERTED[ns - 1] = 0;
  for (int l = 1; l <= n + 1; ++l) bl.THETA(l, ns) = bl.DELSTAR(l, ns) = bl.CF(l, ns) = 0.0f;
}

}  // namespace tarn
