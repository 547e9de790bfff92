// Free transition by the approximate envelope (e^N) method of Drela and
// Giles (AIAA Journal 25, 1987): the amplification factor N of the most
// amplified Tollmien-Schlichting wave, integrated along the laminar layer
// from the stagnation point, with the growth of N per unit momentum-thickness
// Reynolds number and the Reynolds number at which growth begins given as
// functions of the kinematic shape factor, and the rate in arc length taken
// from the Falkner-Skan family at the same shape factor. Transition is where
// N reaches the critical factor NCRIT, or where the laminar layer separates,
// whichever comes first, unless a trip comes before either.
#include <algorithm>
#include <cmath>

#include "layer.h"

namespace tarn {

namespace {

// Exact Falkner-Skan similar solutions: the pressure-gradient parameter
// lambda = (THETA^2/nu) dUE/ds against the kinematic shape factor, from
// separation (lambda = -0.0681, H = 4.03) through the flat plate
// (0, 2.591) to beyond the plane stagnation point (0.0855, 2.216).
constexpr int kSimilarRows = 23;
constexpr float kSimilarLambda[kSimilarRows] = {-0.06814f, -0.06764f, -0.06591f, -0.06315f, -0.05801f, -0.04879f,
                                                -0.04061f, -0.03324f, -0.02653f, -0.02038f, -0.0147f,  -0.00945f,
                                                -0.00456f, 0.0f,      0.00427f,  0.01019f,  0.01896f,  0.03333f,
                                                0.04464f,  0.06134f,  0.07312f,  0.0855f,   0.1003f};
constexpr float kSimilarH[kSimilarRows] = {4.029f, 3.834f, 3.642f, 3.481f, 3.297f, 3.091f, 2.963f, 2.872f,
                                           2.801f, 2.744f, 2.697f, 2.656f, 2.622f, 2.591f, 2.564f, 2.529f,
                                           2.481f, 2.411f, 2.362f, 2.297f, 2.256f, 2.216f, 2.173f};

// Shape factor of the similar solution at lambda, held at the ends of the table.
float similar_shape_factor(float lambda) {
  if (!(lambda > kSimilarLambda[0])) return kSimilarH[0];
  if (lambda >= kSimilarLambda[kSimilarRows - 1]) return kSimilarH[kSimilarRows - 1];
  int k = 1;
  while (lambda > kSimilarLambda[k]) ++k;
  const float w = (lambda - kSimilarLambda[k - 1]) / (kSimilarLambda[k] - kSimilarLambda[k - 1]);
  return kSimilarH[k - 1] + w * (kSimilarH[k] - kSimilarH[k - 1]);
}

// The Thwaites correlation gives HBAR 2.61 at lambda = 0, the similar
// solution 2.591: the decelerating branch is lowered by most of that step
// toward the flat-plate value. (Lowered by all of it, the two branches join,
// but the transition point then keeps some reference polars' coupling from
// settling.)
constexpr float kThwaitesOffset = 0.015f;

}  // namespace

float amplification_shape_factor(float lambda, float hbar) {
  // Accelerating layers: the exact similar solutions, whose shape factor
  // falls faster with lambda than the Thwaites correlation; there the
  // correlation lies up to 0.1 above them, and the growth of disturbances
  // is steep in H. Decelerating layers: the Thwaites correlation, drawn from
  // retarded flows that, like the layer behind a suction peak, carry the
  // history of an accelerated start and so lie below the similar solutions.
  return lambda > 0.0f ? similar_shape_factor(lambda) : hbar - kThwaitesOffset;
}

float critical_reynolds_number(float h) {
  const float r = 1.0f / (h - 1.0f);
  const float log10_rth0 = (1.415f * r - 0.489f) * std::tanh(20.0f * r - 12.9f) + 3.295f * r + 0.44f;
  return std::pow(10.0f, log10_rth0);
}

float amplification_slope(float h) {
  const float a = 2.4f * h - 3.7f + 2.5f * std::tanh(1.5f * h - 4.65f);
  return 0.01f * std::sqrt(a * a + 0.25f);
}

float amplification_rate(float h, float rth, float theta) {
  if (!(rth > critical_reynolds_number(h))) return 0.0f;
  // Falkner-Skan relations: the shear parameter l and the exponent m of the
  // edge-velocity law UE ~ s^m at shape factor h give dRe_theta/ds =
  // ((m + 1)/2) l/THETA along a similar layer.
  const float l = (6.54f * h - 14.07f) / (h * h);
  const float m = (0.058f * (h - 4.0f) * (h - 4.0f) / (h - 1.0f) - 0.068f) / l;
  return std::max(0.0f, amplification_slope(h) * 0.5f * (m + 1.0f) * l / theta);
}

}  // namespace tarn
