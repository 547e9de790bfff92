// Placeholder for the geometry and mapping still to come: it consumes its
// records from the run-data file so that the steps after it read theirs.
#include "geometry.h"
#include "run/run.h"
#include "units.h"

namespace tarn {

void geometry_and_mapping(FlowState&, float, float, float, float) {
  static const Layout kMappingControl("(5I1, 2I5, 2F10.0)");
  static const Layout kSubdivision("(2I5)");
  int32_t flags[5], maxit, unused, iend = 0, nsub;
  float stol, ctol;
  units().read(kRunData, kMappingControl, flags[0], flags[1], flags[2], flags[3], flags[4], maxit, unused, stol, ctol);
  while (iend < 1000) units().read(kRunData, kSubdivision, iend, nsub);
}

}  // namespace tarn
