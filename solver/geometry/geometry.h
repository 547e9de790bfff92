// Aerofoil geometry and conformal mapping: the aerofoil data file, the
// surface spline and the mapping of the aerofoil onto the unit circle.
#pragma once

#include "flow_state.h"

namespace tarn {

// Geometry step: reads the mapping-control records (unit 14) and the aerofoil
// data file (unit 17), maps the aerofoil onto the circle and sets sigma, the
// metric H, the surface quantities and the zero-incidence rotation.
void geometry_and_mapping(FlowState& fs, float emc, float cn, float delta1, float ch);

}  // namespace tarn
