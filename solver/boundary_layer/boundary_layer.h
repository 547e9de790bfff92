// Boundary layer and wake: the case set-up, the surface driver (laminar
// layer, transition, turbulent lag-entrainment march) and its integrator.
#pragma once

#include "flow_state.h"
#include "records.h"

namespace tarn {

// Layouts of the lines that the plots of an ordinary run read back from the
// results listing, defined where the lines are written.
extern const Layout kUpperLayerTitle, kLowerLayerTitle;  // titles of the tables of each surface
extern const Layout kLayerRow;  // X, HBAR, DELSTAR, THETA, CFLOC and, turbulent, DELTA

// Print switch value that asks the surface driver for its tables.
constexpr int kPrintBoundaryLayer = 5;

// Case set-up: with readnew = 0 reads the boundary-layer record (and the
// coupling record when its more flag is set) from unit 14; then forms the
// case constants and writes the Reynolds-number and transition lines.
void bl_case_setup(FlowState& fs, int readnew);

// Boundary layer of surface ns (1 upper, 2 lower) along its station table,
// transition at x = xt with momentum-thickness increment dd.
void surface_boundary_layer(FlowState& fs, int ns, float xt, float dd, int print_switch);

}  // namespace tarn
