// Placeholder for the geometry and mapping still to come: it consumes its
// records from the run-data file and maps a circle onto itself (metric s^4,
// scale 1), so that the steps after it have a valid grid.
#include <cmath>

#include "geometry.h"
#include "run/run.h"
#include "units.h"

namespace tarn {

void geometry_and_mapping(FlowState& fs, float, float, float, float) {
  static const Layout kMappingControl("(5I1, 2I5, 2F10.0)");
  static const Layout kSubdivision("(2I5)");
  int32_t flags[5], maxit, unused, iend = 0, nsub;
  float stol, ctol;
  units().read(kRunData, kMappingControl, flags[0], flags[1], flags[2], flags[3], flags[4], maxit, unused, stol, ctol);
  while (iend < 1000) units().read(kRunData, kSubdivision, iend, nsub);
  Grid& g = fs.grid;
  for (int k = 1; k <= g.MR1; ++k)
    for (int i = 1; i <= g.N2; ++i) fs.pot.H(i, k) = 1.0f;
  for (int i = 1; i <= g.N2; ++i) {
    float t = static_cast<float>(i - 1) * g.DTH;
    fs.map.XZ(i, 1) = 0.5f * (1.0f + std::cos(t));
    fs.map.XZ(i, 2) = 0.5f * std::sin(t);
    fs.map.ANGLE(i) = 0.5f * kPi + t;
  }
  fs.map.SIGMA = fs.map.RSIGMA = 1.0f;
}

}  // namespace tarn
