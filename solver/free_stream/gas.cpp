// Gas constants of the free-stream Mach number for the perfect gas of
// gamma 1.4.
#include <algorithm>
#include <cmath>

#include "free_stream.h"

namespace tarn {

namespace {
constexpr float kSmallestMach = 1.0e-11f;
}

void form_gas_constants(FlowState& fs) {
  Gas& g = fs.gas;
  fs.run.NFIELD = 0;
  g.EM = std::max(g.EM, kSmallestMach);
  g.EMPREV = g.EM;
  float em2 = g.EM * g.EM;
  g.G1 = kGammaTerm;
  g.A0 = 1.0f / em2 + g.G1;
  g.CPF = 2.0f / (kGamma * em2);
  g.A2 = g.G1 * em2;
  g.A1 = 1.0f + g.A2;
  g.A2CPF = 1.0f / (g.A2 * g.CPF);
  g.BETA = std::sqrt(1.0f - em2);
  g.QSTAR2 = critical_speed_squared(g);
  fs.run.MACHCHANGED = 1;
}

float critical_speed_squared(const Gas& gas) { return gas.A0 * 5.0f / 6.0f; }

}  // namespace tarn
