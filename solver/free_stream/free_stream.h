// The free stream as the flow state holds it: the gas constants of the Mach
// number, and the circle-plane angle tables that carry the incidence, with
// the far-field vortex angles that follow them.
#pragma once

#include "flow_state.h"

namespace tarn {

// Gas constants for the present EM (raised to 1.0E-11 when smaller), the
// critical speed squared included.
void form_gas_constants(FlowState& fs);
// Critical speed squared, (2/(gamma + 1)) times the stagnation speed of sound squared.
float critical_speed_squared(const Gas& gas);

// Angle in (-pi, pi] of the point (x, y).
float angle(float y, float x);
// Turns the angle tables from the incidence they were built for to ALP.
void incidence_update(FlowState& fs);
// Repeats the tables past the cut, records ALP as their incidence, and sets
// CA, SA and the far field for it.
void table_completion(FlowState& fs);
// The incidence (radians) the angle tables carry: the direction of their
// first entry less the zero-incidence rotation.
float table_incidence(const FlowState& fs);
// Far-field vortex angles for the present tables and beta.
void far_field_refresh(FlowState& fs);

}  // namespace tarn
