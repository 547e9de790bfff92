// Complex discrete Fourier transform of any length M: M is split into its
// prime factors and the transform is built up one factor at a time
// (self-sorting mixed-radix form), each stage combining p transforms of the
// length done so far into one p times as long.
#include <cmath>
#include <utility>

#include "mapping_steps.h"

namespace tarn {

void prepare_transform(TransformTables& t, int32_t m) {
  t.M = m;
  t.NFACT = 0;
  int32_t rest = m;
  for (int32_t p = 2; rest > 1; ++p) {
    while (rest % p == 0) {
      t.FACTOR(++t.NFACT) = p;
      rest /= p;
    }
  }
  const float step = kTwoPi / static_cast<float>(m);
  for (int32_t k = 1; k <= m; ++k) {
    t.TCOS(k) = std::cos(static_cast<float>(k - 1) * step);
    t.TSIN(k) = std::sin(static_cast<float>(k - 1) * step);
  }
}

void complex_transform(const TransformTables& t, Complex* z, Complex* work, int sign) {
  const int32_t m = t.M;
  const float s = static_cast<float>(sign);
  // exp(sign i 2 pi e / M) from the tables.
  auto root = [&](int32_t e) { return Complex(t.TCOS(e % m + 1), s * t.TSIN(e % m + 1)); };
  Complex* from = z;
  Complex* to = work;
  Complex v[kMaxTransform], out[kMaxTransform];
  int32_t done = 1;  // length of the transforms already formed
  for (int32_t f = 1; f <= t.NFACT; ++f) {
    const int32_t p = t.FACTOR(f);
    const int32_t stride = m / p;
    const int32_t twiddle_step = m / (done * p);
    for (int32_t j = 0; j < stride; ++j) {
      const int32_t jd = j % done;
      for (int32_t q = 0; q < p; ++q) v[q] = from[j + q * stride] * root(jd * q * twiddle_step);
      for (int32_t r = 0; r < p; ++r) {
        Complex sum = v[0];
        for (int32_t q = 1; q < p; ++q) sum += v[q] * root((r * q % p) * stride);
        out[r] = sum;
      }
      const int32_t dest = (j / done) * done * p + jd;
      for (int32_t r = 0; r < p; ++r) to[dest + r * done] = out[r];
    }
    done *= p;
    std::swap(from, to);
  }
  if (from != z)
    for (int32_t k = 0; k < m; ++k) z[k] = from[k];
}

}  // namespace tarn
