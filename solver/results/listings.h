// Lines of the results listings written by the results operation.
#pragma once

#include "flow_state.h"
#include "records.h"

namespace tarn {

// Layouts of the lines that the plots of an ordinary run read back from the
// listings, defined where the lines are written.
extern const Layout kSurfaceHeading;   // heading of the surface table
extern const Layout kSurfaceRow;       // T, X, Z, CP, P/P0, EML
extern const Layout kInviscidSummary;  // EM, ALP, CL, CM, CDP, CD1, CD2
extern const Layout kViscousSummary;   // EM, ALP, CL, CM, CDP, CDF, CDP+CDF, CDV, CDV+CD1, CDV+CD2

// Surface table, pressure lists, wave drag, wake table and inviscid summary,
// each as the final-print flag, ITYP and IVP ask.
void write_results(FlowState& fs);

}  // namespace tarn
