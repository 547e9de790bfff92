// Placeholders for the run-control operations still to come.
#include "run.h"

namespace tarn {

float angle(float, float) { return 0.0f; }
void incidence_update(FlowState& fs) { fs.run.NFIELD = 0; }
void table_completion(FlowState&) {}
void far_field_refresh(FlowState&) {}
void refine_mesh(FlowState&) {}
void coarsen_mesh(FlowState&) {}
void shuffle(FlowState&, float*, int, int, float) {}

}  // namespace tarn
