// The map on the polar grid: the series coefficients of the converged map,
// modulus and argument on every grid circle, the node coordinates, the
// metric and surface quantities for the flow solver, the mapping listing and
// the grid-data file. Grid node i sits at circle angle phi_j, j = N + 2 - i.
#include <cmath>

#include "file_units.h"
#include "geometry.h"
#include "mapping_steps.h"
#include "units.h"

namespace tarn {

namespace {

const Layout kMapHeading(
    "('     I', 5X, ' PHI ', 8X, 'X', 11X, 'Z', 11X, 'S', 11X, 'MU', 8X, 'MAP MOD', 5X, 'MAP ARG')");
const Layout kMapLine("(I6, 7F12.6)");
const Layout kGridTitle("(A80)");
const Layout kGridNode("(2F15.5)");
const char* const kGridBreak = "//nc";

Complex coefficient(const Mapping& map, int32_t m) { return Complex(map.B1(m), map.B2(m)); }

// Coefficients B_m of the series (log scale and rotation first, the
// alternating term last) from the harmonics of the last pass.
void series_coefficients(FlowState& fs) {
  Mapping& map = fs.map;
  MappingWork& w = map.WORK;
  const int32_t mm = fs.grid.NSG / 2;
  const Complex z1 = w.ZKEEP(1);
  for (int32_t m = 1; m <= map.B1.size(); ++m) map.B1(m) = map.B2(m) = 0.0f;
  map.B1(1) = std::log(map.RSIGMA);
  map.B2(1) = (z1.real() + z1.imag()) / 2.0f;
  map.B2(mm + 1) = (z1.real() - z1.imag()) / 2.0f;
  for (int32_t m = 2; m <= mm; ++m) {
    const Complex b = series_coefficient(w.ZKEEP.v, m, mm, Complex(w.COSPHI(m), w.SINPHI(m)));
    map.B1(m) = b.real();
    map.B2(m) = b.imag();
  }
  map.ROT = -map.B2(1);
}

void surface_row(FlowState& fs) {
  Mapping& map = fs.map;
  MappingWork& w = map.WORK;
  const int32_t n = fs.grid.NSG;
  for (int32_t j = 1; j <= n + 1; ++j) {
    const int32_t i = n + 2 - j;
    map.MAPMOD(i, 1) = map.RSIGMA * w.G(j);
    map.MAPARG(i, 1) = map_argument(corner_argument(w.PHI(j), map.EPS) + w.BETA(j), w.THG(i));
  }
}

// Grid circle k: the series at radius r summed by two inverse transforms,
// one for the argument and one, turned by exp(-i phi_m), for the log-modulus.
void circle_row(FlowState& fs, int32_t k) {
  Mapping& map = fs.map;
  MappingWork& w = map.WORK;
  const int32_t n = fs.grid.NSG, mm = n / 2;
  const float r = fs.grid.R(k), rinv = 1.0f / r;
  float power = 1.0f;
  for (int32_t m = 2; m <= mm; ++m) {
    power *= rinv;
    w.BP(m) = coefficient(map, m) * power;
  }
  const float alternating = power * rinv * map.B2(mm + 1);
  const float abar = map.B2(1), logscale = map.B1(1);
  w.Y(1) = Complex(abar + alternating, abar - alternating);
  w.YP(1) = Complex(logscale, -logscale);
  for (int32_t m = 2; m <= mm; ++m) {
    const Complex turn(w.COSPHI(m), w.SINPHI(m));
    w.Y(m) = packed_harmonics(w.BP.v, m, mm, turn);
    w.YP(m) = w.Y(m) * std::conj(turn);
  }
  complex_transform(w.TT, w.Y.v, w.ZWORK.v, -1);
  complex_transform(w.TT, w.YP.v, w.ZWORK.v, -1);
  unpack_series(w.Y.v, w.W1.v, mm);
  unpack_conjugate(w.YP.v, w.W2.v, mm);
  for (int32_t j = 1; j <= n + 1; ++j) {
    const int32_t i = n + 2 - j;
    const float corner = 1.0f + rinv * rinv - 2.0f * w.COSPHI(j) * rinv;  // |1 - 1/zeta|^2
    map.MAPMOD(i, k) = std::exp(w.W2(j)) * std::pow(corner, map.HALFEXP) * r * r;
    const float corner_arg = (1.0f - map.EPS) * std::atan(w.SINPHI(j) / (r - w.COSPHI(j)));
    map.MAPARG(i, k) = map_argument(corner_arg + w.W1(j), w.THG(i));
  }
}

// Node coordinates: x and z integrated outward along the ray behind the
// trailing edge from the lower trailing-edge point, then round each circle.
void coordinates(FlowState& fs) {
  Mapping& map = fs.map;
  MappingWork& w = map.WORK;
  const Grid& g = fs.grid;
  const int32_t n1 = g.NSG + 1, mr = g.MR;
  for (int32_t k = 1; k <= mr; ++k) {
    const float scale = map.MAPMOD(1, k) / (g.R(k) * g.R(k));
    w.RAYX(k) = -std::cos(map.MAPARG(1, k)) * scale;
    w.RAYZ(k) = -std::sin(map.MAPARG(1, k)) * scale;
  }
  SPLIF(-1, mr, g.R.v, w.RAYX.v, w.W1.v, w.W2.v, w.RAYI.v, kGivenThird, 0.0f, kGivenThird, 0.0f, w.XLAST);
  for (int32_t k = 1; k <= mr; ++k) map.XG(1, k) = w.RAYI(k);
  SPLIF(-1, mr, g.R.v, w.RAYZ.v, w.W1.v, w.W2.v, w.RAYI.v, kGivenThird, 0.0f, kGivenThird, 0.0f, w.ZLAST);
  for (int32_t k = 1; k <= mr; ++k) map.ZG(1, k) = w.RAYI(k);

  for (int32_t k = 1; k <= mr; ++k) {
    for (int32_t i = 1; i <= n1; ++i) {
      const float dir = circle_direction(map.MAPARG(i, k), w.THG(i));
      const float speed = map.MAPMOD(i, k) / g.R(k);
      w.FX(i) = speed * std::cos(dir);
      w.FZ(i) = speed * std::sin(dir);
    }
    SPLIF(-1, n1, w.THG.v, w.FX.v, w.W1.v, w.W2.v, map.XG.column(k), kGivenThird, 0.0f, kGivenThird, 0.0f,
          map.XG(1, k));
    SPLIF(-1, n1, w.THG.v, w.FZ.v, w.W1.v, w.W2.v, map.ZG.column(k), kGivenThird, 0.0f, kGivenThird, 0.0f,
          map.ZG(1, k));
  }
}

void list_mapping(FlowState& fs) {
  const Mapping& map = fs.map;
  const MappingWork& w = map.WORK;
  const int32_t n = fs.grid.NSG;
  units().write(kListing, kMapHeading);
  for (int32_t i = 1; i <= n + 1; ++i) {
    const float mu = 1.5f * kPi + map.MAPARG(i, 1) + w.THG(i);
    units().write(kListing, kMapLine, i, w.THG(i) * kDegPerRad, map.XG(i, 1), map.ZG(i, 1), w.S(n + 2 - i), mu,
                  map.MAPMOD(i, 1), map.MAPARG(i, 1));
  }
}

// Grid-data file: every ray outward, then every circle round.
void write_grid_data(FlowState& fs) {
  Units& u = units();
  const Mapping& map = fs.map;
  const int32_t n1 = fs.grid.NSG + 1, mr = fs.grid.MR;
  u.write(kGridData, kGridTitle, fs.run.AEROTITLE);
  for (int32_t i = 1; i <= n1; ++i) {
    u.write_list(kGridData, kGridBreak);
    for (int32_t k = 1; k <= mr; ++k) u.write(kGridData, kGridNode, map.XG(i, k), map.ZG(i, k));
  }
  for (int32_t k = 1; k <= mr; ++k) {
    u.write_list(kGridData, kGridBreak);
    for (int32_t i = 1; i <= n1; ++i) u.write(kGridData, kGridNode, map.XG(i, k), map.ZG(i, k));
  }
}

// Metric, surface quantities and incidence terms for the flow solver.
void hand_over(FlowState& fs) {
  Mapping& map = fs.map;
  const Grid& g = fs.grid;
  const int32_t n1 = g.NSG + 1, mr = g.MR;
  float xmin = 1.0e20f, xmax = -1.0e20f;
  for (int32_t i = 1; i <= n1; ++i) {
    xmin = std::fmin(xmin, map.XG(i, 1));
    xmax = std::fmax(xmax, map.XG(i, 1));
  }
  const float chord = xmax - xmin;
  for (int32_t i = 1; i <= n1; ++i) {
    map.XZ(i, 1) = (map.XG(i, 1) - xmin) / chord;
    map.XZ(i, 2) = map.ZG(i, 1) / chord;
    map.Q(i) = map.SIGMA * map.MAPMOD(i, 1);
    map.ANGLE(i) = circle_direction(map.MAPARG(i, 1), map.WORK.THG(i));
  }
  Field& h = fs.pot.H;
  for (int32_t k = 1; k <= mr; ++k) {
    for (int32_t i = 1; i <= n1; ++i) {
      const float scaled = map.SIGMA * map.MAPMOD(i, k) / (g.R(k) * g.R(k));
      h(i, k) = scaled * scaled;
    }
  }
  for (int32_t i = 1; i <= n1 + 1; ++i) h(i, mr + 1) = 1.0f;
  for (int32_t k = 1; k <= mr + 1; ++k) h(n1 + 1, k) = h(2, k);
  map.CALP = std::cos(fs.ALP + map.ROT);
  map.SALP = std::sin(fs.ALP + map.ROT);
}

}  // namespace

void map_grid(FlowState& fs) {
  MappingWork& w = fs.map.WORK;
  const int32_t n1 = fs.grid.NSG + 1;
  for (int32_t i = 1; i <= n1; ++i) w.THG(i) = static_cast<float>(i - 1) * fs.grid.DTH;
  series_coefficients(fs);
  surface_row(fs);
  for (int32_t k = 2; k <= fs.grid.MR; ++k) circle_row(fs, k);
  coordinates(fs);
  if (fs.map.IPRT(2) == 0) list_mapping(fs);
  if (units().is_open(kGridData)) write_grid_data(fs);
  hand_over(fs);
}

}  // namespace tarn
