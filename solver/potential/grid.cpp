// The circle-plane grid: counts, difference constants, radial tables and the
// initial potential field.
#include "potential.h"
#include "run/run.h"

namespace tarn {

void grid_constants(FlowState& fs) {
  Grid& g = fs.grid;
  int n = g.NSG;
  int mr = g.MR;
  g.N1 = n + 1;
  g.N2 = n + 2;
  g.MR1 = mr + 1;
  g.NHALF = (n + 2) / 2;
  g.NHALF2 = g.NHALF + 2;
  g.PI = kPi;
  g.RAD = kDegPerRad;
  g.TWOPI = kTwoPi;
  g.RTWOPI = 1.0f / kTwoPi;
  g.DS = -1.0f / static_cast<float>(mr);
  g.DTH = kTwoPi / static_cast<float>(n);
  g.R2DS = 1.0f / (2.0f * g.DS);
  g.R2DTH = 1.0f / (2.0f * g.DTH);
  g.DTHDS = g.DTH / g.DS;
  g.DTHDS2 = g.DTHDS * g.DTHDS;
  g.CROSS = -g.DTH / (2.0f * g.DS);
  g.MGRAD = -g.DTH / 4.0f;
  g.DTH2 = g.DTH * g.DTH;
  g.DTH2DS = g.DTH2 / (2.0f * g.DS);
  for (int k = 1; k <= g.MR1; ++k) {
    // s = 1 + (k - 1) delta s, formed so that the far-field row is exactly 0.
    float s = static_cast<float>(mr + 1 - k) / static_cast<float>(mr);
    g.RT(k) = s;
    g.RS(k) = s * s;
    g.R(k) = k <= mr ? 1.0f / s : 0.0f;
  }
  fs.run.NFIELD = 0;
}

}  // namespace tarn
