// Placeholders for the results and coupling operations still to come; mode 1
// of the coupling already reads the stage's boundary-layer records.
#include "boundary_layer/boundary_layer.h"
#include "results.h"
#include "run/run.h"
#include "units.h"

namespace tarn {

void results_operation(FlowState& fs) { fs.run.ITYP = 1; }

void coupling_cycle(FlowState& fs, int mode) {
  static const Layout kParameters("(' ', 'IVP = ', I1, 4X, 'NVISC = ', I3, 4X, 'GVISC = ', F5.3)");
  static const Layout kRequiredLift("(' ', 'REQUIRED VALUE OF CL IS ', F8.5)");
  if (mode != 1 || fs.run.IVP == 0) return;
  bl_case_setup(fs, 0);
  for (int unit : {kListing, kBrief}) units().write(unit, kParameters, fs.run.IVP, fs.cpl.NVISC, fs.cpl.GVISC);
  if (std::abs(fs.run.ICL) == 1) units().write(kListing, kRequiredLift, fs.run.CLC);
}

}  // namespace tarn
