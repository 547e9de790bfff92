// Placeholders for the operations of the potential-flow solver still to come.
#include "potential.h"
#include "units.h"

namespace tarn {

void initialise_field(FlowState&) {}
void wake_distances(FlowState&) {}

void relaxation_sweep(FlowState& fs) {
  static const Layout kRunningTotal("('+', 3X, I7, ' = running total of potential field iterations')");
  ++fs.run.ITERTOTAL;
  units().write(kConsoleOut, kRunningTotal, fs.run.ITERTOTAL);
}

}  // namespace tarn
