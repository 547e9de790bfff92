// The circle-plane grid: counts, difference constants, radial tables and the
// initial potential field.
#include <cmath>

#include "free_stream/free_stream.h"
#include "potential.h"

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

namespace tarn {

// Initial field: the compressible vortex of the lift estimate 2 pi sin(ae)/beta
// plus the disturbance of the uniform stream by the circle, s cos(theta).
void initialise_field(FlowState& fs) {
  Grid& g = fs.grid;
  Potential& p = fs.pot;
  int n = g.NSG;
  float ae = fs.ALP + fs.map.ROT;
  float beta = fs.gas.BETA;
  p.GAM = kPi * fs.map.SIGMA * std::sin(ae) / beta;
  p.CLEST = kTwoPi * std::sin(ae) / beta;

  float cae = std::cos(ae), sae = std::sin(ae);
  for (int i = 1; i <= n; ++i) {
    float theta = static_cast<float>(i - 1) * g.DTH;
    float c = std::cos(theta), s = std::sin(theta);
    g.COS(i) = cae * c - sae * s;
    g.SIN(i) = sae * c + cae * s;
  }
  table_completion(fs);

  for (int k = 1; k <= g.MR1; ++k)
    for (int i = 1; i <= g.N2; ++i) p.P(i, k) = p.GAM * g.FF(i) * g.RTWOPI + g.RT(k) * g.COS(i);
  g.FF(n + 1) = kTwoPi + g.FF(1);
  g.FF(n + 2) = kTwoPi + g.FF(2);
  for (int k = 1; k <= g.MR1; ++k) {
    p.P(n + 1, k) = p.GAM + p.P(1, k);
    p.P(n + 2, k) = p.GAM + p.P(2, k);
  }
}

// Wake points along the ray behind the trailing edge: the physical distance
// integrated outward from the trailing edge (x = 1) by the trapezoidal rule,
// |dz/ds| = sqrt(H) r^2 / sigma.
void wake_distances(FlowState& fs) {
  Grid& g = fs.grid;
  Field& h = fs.pot.H;
  RVec<kWake>& xw = fs.res.XW;
  xw(1) = 1.0f;
  for (int k = 2; k <= g.MR; ++k) {
    float r0 = g.R(k - 1), r1 = g.R(k);
    xw(k) = xw(k - 1) -
            0.5f * g.DS * (std::sqrt(h(1, k - 1)) * r0 * r0 + std::sqrt(h(1, k)) * r1 * r1) / fs.map.SIGMA;
  }
}

}  // namespace tarn
