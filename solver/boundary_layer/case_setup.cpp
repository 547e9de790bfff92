// Boundary-layer case set-up: the records of a viscous stage and the
// constants of the case.
#include <cmath>

#include "boundary_layer.h"
#include "file_units.h"
#include "layer.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kBoundaryLayerRecord("(2F10.0, I5, 4F10.0, I5)");
const Layout kCouplingRecord("(3I5, 2F10.0)");
const Layout kReynoldsLine("(' ','R = ',E10.3,4X,'TRANSITION PTS   XTU =  ',F7.3,3X,'XTL =  ',F7.3)");
// Free transition: a more flag of kFreeTransitionFollows says that the
// coupling record is followed by the free-transition record, holding the
// critical amplification factor NCRIT (0 gives back transition at XTU, XTL).
constexpr int32_t kFreeTransitionFollows = 2;
const Layout kFreeTransitionRecord("(F10.0)");
const Layout kFreeTransitionLine("(' ','FREE TRANSITION:  NCRIT = ',F6.2,3X,'XTU AND XTL ARE TRIPS')");
const Layout kIncrementsLine("(' ','INCREMENTS IN THETA AT TRANSITION:  U/S',E10.3,'  L/S',E10.3)");

}  // namespace

void bl_case_setup(FlowState& fs, int readnew) {
  Coupling& c = fs.cpl;
  Units& u = units();
  if (readnew == 0) {
    float rnew = 0, xtunew = 0, xtlnew = 0, lbnew = 0;
    int32_t more = 0;
    u.read(kRunData, kBoundaryLayerRecord, c.GVISC, c.VTOL, c.IVPRINT, rnew, xtunew, xtlnew, lbnew, more);
    if (std::fabs(rnew) > 0.0f) {
      c.R = rnew;
      c.XTU = xtunew;
      c.XTL = xtlnew;
      c.LB = lbnew;
    }
    if (more != 0) {
      u.read(kRunData, kCouplingRecord, c.FIRSTN, c.NVISC, c.ISMOOTH, c.DD21, c.DD22);
      c.ITHRESH = c.FIRSTN;
    }
    if (more == kFreeTransitionFollows) u.read(kRunData, kFreeTransitionRecord, c.NCRIT);
  }
  BoundaryLayer& bl = fs.bl;
  for (int j = 0; j < 2; ++j) {  // a free transition point moves freely again at a new stage
    bl.TRRELAX[j] = 1.0f;
    bl.TRMOVE[j] = 0.0f;
  }
  float em = fs.gas.EM;
  bl.T0R = temperature_ratio(em * em);
  bl.SL = bl.T0R * kSutherlandLaminar / kTotalTemperature;
  bl.PINF = std::pow(bl.T0R, -kPressureExponent);
  u.write(kListing, kReynoldsLine, c.R, c.XTU, c.XTL);
  if (c.NCRIT > 0.0f) u.write(kListing, kFreeTransitionLine, c.NCRIT);
  if (c.DD21 > 0.0f || c.DD22 > 0.0f) u.write(kListing, kIncrementsLine, c.DD21, c.DD22);
}

}  // namespace tarn
