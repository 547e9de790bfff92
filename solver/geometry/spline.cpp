// The cubic spline used by the geometry and mapping step: the fit solves for
// the second derivatives (moments) M by one forward and one backward sweep,
// writing each moment as M(j) = b(j) - a(j) M(j + 1).
#include <cstdlib>

#include "file_units.h"
#include "geometry.h"
#include "mapping_steps.h"
#include "units.h"

namespace tarn {

namespace {

[[noreturn]] void spline_failure(const char* why) {
  if (units().is_open(kListing)) units().write_line(kListing, " ** SPLIF ERROR");
  throw RunStop(std::string("SPLIF ERROR: ") + why, kExitFailure);
}

}  // namespace

void SPLIF(int32_t m, int32_t n, const float* s, const float* f, float* fp, float* fpp, float* fppp,
           int32_t km, float vm, int32_t kn, float vn, float fom) {
  const From1<const float> S{s}, F{f};
  const From1<float> A{fp};    // a(j) during the sweeps, then the first derivative
  const From1<float> B{fpp};   // b(j) during the sweeps, then the moment M(j)
  const From1<float> T{fppp};  // third derivative, or the running integral
  const int32_t first = std::abs(m);
  if (n - first < 2) spline_failure("fewer than three points");

  int32_t j = first, k = first + 1;
  float h = S(k) - S(j);
  if (h == 0.0f) spline_failure("zero first interval");
  const float h0 = h;
  float slope = (F(k) - F(j)) / h;
  float a, b;
  if (km == kGivenSlope) {
    a = 0.5f;
    b = 3.0f * (slope - vm) / h;
  } else if (km == kGivenSecond) {
    a = 0.0f;
    b = vm;
  } else {
    a = -1.0f;
    b = -h * vm;
  }
  for (;;) {
    A(j) = a;
    B(j) = b;
    const float ap = (2.0f - a) * h;
    const float bp = b * h + 6.0f * slope;
    if (k == n) {
      if (kn == kGivenSlope) B(n) = (6.0f * vn - bp) / ap;
      else if (kn == kGivenSecond) B(n) = vn;
      else B(n) = (h * vn + b) / (a + 1.0f);
      break;
    }
    j = k;
    ++k;
    h = S(k) - S(j);
    if (!(h * h0 > 0.0f)) spline_failure("abscissae not strictly monotonic");
    slope = (F(k) - F(j)) / h;
    const float r = 1.0f / (2.0f * h + ap);
    a = h * r;
    b = (6.0f * slope - bp) * r;
  }

  // Backward sweep: moments, then the derivatives of each interval.
  for (j = n - 1; j >= first; --j) {
    k = j + 1;
    h = S(k) - S(j);
    const float mj = B(j) - A(j) * B(k);
    T(j) = (B(k) - mj) / h;
    B(j) = mj;
    A(j) = (F(k) - F(j)) / h - (2.0f * mj + B(k)) * h / 6.0f;
  }
  h = S(n) - S(n - 1);
  T(n) = T(n - 1);
  A(n) = (F(n) - F(n - 1)) / h + (2.0f * B(n) + B(n - 1)) * h / 6.0f;

  if (m < 0) {
    // Exact integral of each cubic piece.
    T(first) = fom;
    for (j = first; j < n; ++j) {
      k = j + 1;
      h = S(k) - S(j);
      T(k) = T(j) + (F(j) + F(k) - (B(j) + B(k)) * h * h / 12.0f) * h / 2.0f;
    }
  }
}

void spline_evaluate(int32_t first, int32_t last, const float* x, float* f, float* fp, float* fpp,
                     int32_t m, int32_t n, const float* s, const float* sf, const float* sfp,
                     const float* sfpp, const float* sfppp) {
  const From1<const float> S{s}, SF{sf}, SFP{sfp}, SFPP{sfpp}, SFPPP{sfppp}, X{x};
  const int32_t start = std::abs(m);
  const float dir = S(n) > S(start) ? 1.0f : -1.0f;
  // Outputs are taken in the table's direction so that the search only moves on.
  const bool reverse = last > first && (X(last) - X(first)) * dir < 0.0f;
  const int32_t step = reverse ? -1 : 1;
  int32_t k = start + 1;  // end of the interval in use
  for (int32_t out = reverse ? last : first, count = 0; count <= last - first; out += step, ++count) {
    const float xv = X(out);
    while (k < n && (S(k) - xv) * dir <= 0.0f) ++k;
    const int32_t j = k - 1;
    const float d = xv - S(j);
    const float q = m < 0 ? (SFPPP(j + 1) - SFPPP(j)) / (S(j + 1) - S(j)) : 0.0f;
    f[out - 1] = SF(j) + d * (SFP(j) + d / 2.0f * (SFPP(j) + d / 3.0f * (SFPPP(j) + d / 4.0f * q)));
    if (fp) fp[out - 1] = SFP(j) + d * (SFPP(j) + d / 2.0f * (SFPPP(j) + d / 3.0f * q));
    if (fpp) fpp[out - 1] = SFPP(j) + d * (SFPPP(j) + d / 2.0f * q);
  }
}

}  // namespace tarn
