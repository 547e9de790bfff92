// The mapping passes. The derivative of the map from the exterior of the
// unit circle to the exterior of the aerofoil is written
//   dz/dzeta = (1/sigma) (1 - 1/zeta)^(1 - eps) exp(i abar + sum C_n zeta^-n),
// the first factor carrying the trailing-edge corner. On the circle the
// argument of dz/dzeta must make the tangent follow the surface direction at
// the arc length reached, and the log-modulus is the conjugate series of the
// argument; each pass corrects the argument from the arc lengths of the last
// modulus, with the first harmonic set so that the contour closes.
#include <cmath>

#include "file_units.h"
#include "geometry.h"
#include "mapping_steps.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kIterationLine("(' MAPPING ITERATION =', I3, ' MAX S ERROR =', F12.7)");
constexpr float kSmallestFactor = 1.0e-6f;  // smaller trailing-edge factors are taken as 0
const Complex kI(0.0f, 1.0f);

// Fixed factors of the circle points and the transform tables.
void set_up_circle(FlowState& fs) {
  MappingWork& w = fs.map.WORK;
  const int32_t n = fs.grid.NSG;
  const float eps = fs.map.EPS;
  for (int32_t j = 1; j <= n + 1; ++j) {
    const float phi = static_cast<float>(j - 1) * fs.grid.DTH;
    w.PHI(j) = phi;
    w.COSPHI(j) = std::cos(phi);
    w.SINPHI(j) = std::sin(phi);
    const float t = 2.0f * std::sin(phi / 2.0f);
    w.FTE(j) = t >= kSmallestFactor ? std::pow(t, 1.0f - eps) : 0.0f;
    w.ATE(j) = -phi - kPi / 2.0f - corner_argument(phi, eps);
    w.C(j) = 0.0f;
    w.S(j) = 0.0f;
  }
  prepare_transform(w.TT, n / 2);
}

// The modulus of the present series, sigma, and the arc length and contour
// parameter reached at each circle point.
void arc_lengths(FlowState& fs) {
  Mapping& map = fs.map;
  MappingWork& w = map.WORK;
  const int32_t n1 = fs.grid.NSG + 1;
  for (int32_t j = 1; j <= n1; ++j) w.G(j) = std::exp(w.C(j)) * w.FTE(j);
  SPLIF(-1, n1, w.PHI.v, w.G.v, w.GP.v, w.GPP.v, w.GI.v, kGivenThird, 0.0f, kGivenThird, 0.0f, 0.0f);
  const float total = w.GI(n1);
  map.SIGMA = total / w.STOTAL;
  map.SERR = 0.0f;
  for (int32_t j = 1; j <= n1; ++j) {
    w.U(j) = FACOS(fs, 1.0f - 2.0f * w.GI(j) / total);
    const float s = w.GI(j) / map.SIGMA;
    if (std::fabs(s - w.S(j)) > std::fabs(map.SERR)) map.SERR = s - w.S(j);
    w.S(j) = s;
  }
  w.U(n1) = kPi;
}

// Argument the series must have: the surface direction at the contour
// parameter reached, less the tangent's turn and the corner factor.
void required_argument(FlowState& fs) {
  MappingWork& w = fs.map.WORK;
  const int32_t n1 = fs.grid.NSG + 1;
  spline_evaluate(1, n1, w.U.v, w.BETA.v, nullptr, nullptr, 1, w.NT, w.ST.v, w.DIR.v, w.DIRP.v, w.DIRPP.v,
                  w.DIRPPP.v);
  for (int32_t j = 1; j <= n1; ++j) w.BETA(j) += w.ATE(j);
}

// First harmonic set so that the integral of dz/dzeta round the circle
// equals the trailing-edge gap.
void close_contour(FlowState& fs, int32_t mm) {
  Mapping& map = fs.map;
  MappingWork& w = map.WORK;
  const float abar = (w.Z(1).real() + w.Z(1).imag()) / 2.0f;
  const float gx = (w.XFIRST - w.XLAST) / kTwoPi;
  const float gz = (w.ZFIRST - w.ZLAST) / kTwoPi;
  const float ca = std::cos(abar), sa = std::sin(abar);
  const Complex required((gx * sa - gz * ca) * map.SIGMA + (1.0f - map.EPS), (gx * ca + gz * sa) * map.SIGMA);
  const Complex rot(w.COSPHI(2), w.SINPHI(2));
  const Complex dc = required - series_coefficient(w.Z.v, 2, mm, rot);
  map.CLOSURE = std::abs(dc);
  w.Z(2) += (std::conj(rot) - kI) * dc / 2.0f;
  w.Z(mm) -= (rot - kI) * std::conj(dc) / 2.0f;
}

// Transform of the required argument, closure, and the log-modulus series
// as its conjugate.
void correct_series(FlowState& fs) {
  MappingWork& w = fs.map.WORK;
  const int32_t n = fs.grid.NSG, mm = n / 2;
  pack_series(w.BETA.v, w.Z.v, mm);
  complex_transform(w.TT, w.Z.v, w.ZWORK.v, +1);
  const float scale = 2.0f / static_cast<float>(n);
  for (int32_t m = 1; m <= mm; ++m) w.Z(m) *= scale;
  close_contour(fs, mm);
  for (int32_t m = 1; m <= mm; ++m) {
    w.ZKEEP(m) = w.Z(m);
    w.Z(m) *= Complex(w.COSPHI(m), -w.SINPHI(m));
  }
  w.Z(1) = 0.0f;
  complex_transform(w.TT, w.Z.v, w.ZWORK.v, -1);
  unpack_conjugate(w.Z.v, w.C.v, mm);
}

}  // namespace

void pack_series(const float* f, Complex* z, int32_t mm) {
  const From1<const float> F{f};
  for (int32_t m = 1; m <= mm; ++m) z[m - 1] = Complex(F(2 * m - 1), F(2 * m));
}

Complex series_coefficient(const Complex* z, int32_t m, int32_t mm, Complex rot) {
  const From1<const Complex> Z{z};
  const Complex pair = std::conj(Z(mm + 2 - m));
  return 0.5f * (kI * (Z(m) + pair) + (Z(m) - pair) * rot);
}

Complex packed_harmonics(const Complex* b, int32_t m, int32_t mm, Complex rot) {
  const From1<const Complex> B{b};
  const Complex pair = std::conj(B(mm + 2 - m));
  return 0.5f * ((B(m) + pair) * std::conj(rot) - kI * (B(m) - pair));
}

void unpack_series(const Complex* y, float* f, int32_t mm) {
  const From1<const Complex> Y{y};
  const From1<float> F{f};
  for (int32_t m = 1; m <= mm; ++m) {
    F(2 * m - 1) = Y(m).real();
    F(2 * m) = Y(m).imag();
  }
  F(2 * mm + 1) = F(1);
}

void unpack_conjugate(const Complex* y, float* c, int32_t mm) {
  const From1<const Complex> Y{y};
  const From1<float> C{c};
  for (int32_t m = 1; m <= mm; ++m) {
    C(2 * m) = -Y(m).imag();
    C(2 * m + 1) = Y(m).real();
  }
  C(1) = C(2 * mm + 1);
}

void map_to_circle(FlowState& fs) {
  Mapping& map = fs.map;
  set_up_circle(fs);
  map.CLOSURE = 0.0f;
  for (int32_t pass = 0;; ++pass) {
    arc_lengths(fs);
    required_argument(fs);
    if (pass > 0) {
      for (int unit : {kListing, kBrief}) units().write(unit, kIterationLine, pass, map.SERR);
      const bool converged = map.CLOSURE < map.CTOL && std::fabs(map.SERR) < map.STOL;
      if (converged || pass == map.MAXIT) {
        map.NITER = pass;
        return;
      }
    }
    correct_series(fs);
  }
}

}  // namespace tarn
