// Incidence changes turn the circle-plane angle tables instead of the free
// stream, so that the potential, the metric and the boundary conditions keep
// their form; the far-field vortex shape follows the tables and beta.
#include <cmath>

#include "free_stream.h"

namespace tarn {

namespace {
constexpr float kFarFieldStart = -4.0f;  // below any angle atan2 returns
}

float angle(float y, float x) {
  float a = std::atan2(y, x);
  if (a > kPi) a -= kTwoPi;
  return a;
}

void incidence_update(FlowState& fs) {
  Grid& g = fs.grid;
  fs.run.NFIELD = 0;
  g.CA = std::cos(fs.ALP - g.ALPPREV);
  g.SA = std::sin(fs.ALP - g.ALPPREV);
  for (int i = 1; i <= g.NSG; ++i) {
    float c = g.COS(i);
    g.COS(i) = g.CA * c - g.SA * g.SIN(i);
    g.SIN(i) = g.CA * g.SIN(i) + g.SA * c;
  }
  table_completion(fs);
}

void table_completion(FlowState& fs) {
  Grid& g = fs.grid;
  int n = g.NSG;
  g.COS(n + 2) = g.COS(2);
  g.COS(n + 1) = g.COS(1);
  g.SIN(n + 1) = g.SIN(1);
  g.SIN(n + 2) = g.SIN(2);
  g.ALPPREV = fs.ALP;
  g.CA = std::cos(fs.map.ROT + fs.ALP);
  g.SA = std::sin(fs.map.ROT + fs.ALP);
  far_field_refresh(fs);
}

float table_incidence(const FlowState& fs) {
  float a = angle(fs.grid.SIN(1), fs.grid.COS(1)) - fs.map.ROT;
  if (a > kPi) a -= kTwoPi;
  if (a <= -kPi) a += kTwoPi;
  return a;
}

// The compressible vortex angle atan2(-beta sin, -cos), made to increase
// round the circle by adding whole turns.
void far_field_refresh(FlowState& fs) {
  Grid& g = fs.grid;
  float beta = fs.gas.BETA;
  g.FFRUN = kFarFieldStart;
  for (int i = 1; i <= g.NSG + 2; ++i) {
    float ff = angle(-beta * g.SIN(i), -g.COS(i));
    while (ff < g.FFRUN) ff += kTwoPi;
    g.FF(i) = ff;
    g.FFRUN = ff;
  }
}

}  // namespace tarn
