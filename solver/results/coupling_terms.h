// Higher-order viscous coupling terms formed inside a coupling update.
#pragma once

#include "flow_state.h"

namespace tarn {

// Surface curvature term QKA: surface speed times the curvature of the
// displacement surface, zero ahead of transition (coarse mesh only).
void surface_curvature_term(FlowState& fs);

// Wake source, vortex and curvature terms SIGMA1 ... SIGMA3, QKW1, QKW2 and
// the relaxed curvature jumps, relaxed by g; prints the wake coupling table
// when asked.
void wake_terms(FlowState& fs, float g, bool print_table);

// Linear interpolation in x of a station quantity between stations l - 1 and
// l of surface j (held constant where the two stations share their x).
float station_interpolate(const BoundaryLayer& bl, const Columns<kMaxStations, 2>& q, int l, int j, float x);

}  // namespace tarn
