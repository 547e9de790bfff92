// The geometry step of a new run: the aerofoil from its data file, the
// mapping table along its surface, the conformal map onto the unit circle
// and the grid quantities the flow solver needs.
#include "geometry.h"

#include "file_units.h"
#include "mapping_steps.h"
#include "units.h"

namespace tarn {

void geometry_and_mapping(FlowState& fs, float emc, float cn, float delta1, float ch) {
  static const Layout kFastMapping("(' ', 'FAST MAPPING FOR ', A80)");
  read_mapping_control(fs);
  const ChordLine chord = read_aerofoil(fs);
  correct_camber(fs, emc, cn, delta1, ch);
  for (int unit : {kListing, kBrief}) units().write(unit, kFastMapping, fs.run.AEROTITLE);
  prepare_contour(fs, chord);
  build_mapping_table(fs);
  map_to_circle(fs);
  fs.map.RSIGMA = 1.0f / fs.map.SIGMA;
  map_grid(fs);
  measure_outline(fs.map, fs.grid.NSG);
}

}  // namespace tarn
