// Placeholder for the flow-field dump still to come.
#include "run.h"

namespace tarn {

void write_dump(FlowState&) {}
void read_dump(FlowState&) {}

}  // namespace tarn
