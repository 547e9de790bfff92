// Failure line of the adaptive Runge-Kutta integrator.
#include "file_units.h"
#include "layer.h"
#include "units.h"

namespace tarn {

void report_vint_failure(float h, float xend, float x, int nstep) {
  static const Layout kFailure("(' VINT S/R HAS FAILED H=',E11.4,'XD=',E11.4,'X=',E11.4,'V0=',I4)");
  units().write(kListing, kFailure, h, xend, x, nstep);
}

}  // namespace tarn
