#include "geometry_cases.h"

#include <cmath>
#include <sstream>

#include "geometry/geometry.h"
#include "potential/potential.h"
#include "run/run.h"
#include "support.h"
#include "units.h"

namespace tarn::test {

std::string mapping_control(int maxit, const std::string& flags, const std::string& pairs) {
  char record[64];
  std::snprintf(record, sizeof record, "%s%5d%5d%10.6f%10.2f\n", flags.c_str(), maxit, 1, 0.000001, 100.0);
  return record + pairs;
}

void run_geometry(FlowState& fs, const std::string& aerofoil, int nsg, const std::string& control, float cn) {
  Units& u = units();
  u.feed(kRunData, control);
  u.feed(kAerofoil, aerofoil);
  for (int unit : {kListing, kBrief, kGridData, kConsoleOut}) u.capture(unit);
  fs.grid.NSG = nsg;
  fs.grid.MR = nsg <= 100 ? 16 : 30;
  grid_constants(fs);
  geometry_and_mapping(fs, 0.0f, cn, 0.1309f, 0.26f);
}

std::string shared_text(const std::string& relative) {
  std::string path = shared_file(relative);
  return path.empty() ? std::string() : read_file(path);
}

namespace {

// Cubic spline through (t, f) with zero end slopes, sampled `per` times an interval.
std::vector<double> sampled_spline(const std::vector<double>& t, const std::vector<double>& f, int per) {
  const size_t n = t.size();
  std::vector<double> diag(n), upper(n), rhs(n), m(n);
  // Moments M from the clamped-end tridiagonal system.
  for (size_t i = 0; i < n; ++i) {
    double hl = i > 0 ? t[i] - t[i - 1] : 0.0, hr = i + 1 < n ? t[i + 1] - t[i] : 0.0;
    double sl = i > 0 ? (f[i] - f[i - 1]) / hl : 0.0, sr = i + 1 < n ? (f[i + 1] - f[i]) / hr : 0.0;
    diag[i] = 2.0 * (hl + hr);
    upper[i] = hr;
    rhs[i] = 6.0 * (sr - sl);
  }
  for (size_t i = 1; i < n; ++i) {
    double lower = t[i] - t[i - 1];
    double w = lower / diag[i - 1];
    diag[i] -= w * upper[i - 1];
    rhs[i] -= w * rhs[i - 1];
  }
  m[n - 1] = rhs[n - 1] / diag[n - 1];
  for (size_t i = n - 1; i-- > 0;) m[i] = (rhs[i] - upper[i] * m[i + 1]) / diag[i];
  std::vector<double> out;
  for (size_t i = 0; i + 1 < n; ++i) {
    double h = t[i + 1] - t[i];
    for (int s = 0; s < per; ++s) {
      double a = static_cast<double>(s) / per, b = 1.0 - a;
      out.push_back(b * f[i] + a * f[i + 1] - a * b * h * h * ((1.0 + b) * m[i] + (1.0 + a) * m[i + 1]) / 6.0);
    }
  }
  out.push_back(f[n - 1]);
  return out;
}

}  // namespace

ReferenceContour::ReferenceContour(const std::string& aerofoil) {
  std::istringstream in(aerofoil);
  std::string title;
  std::getline(in, title);
  int symmetric = 0, nu = 0, nl = 0;
  double xle = 0, xte = 1;
  in >> symmetric >> nu >> nl >> xle >> xte;
  std::vector<double> xu(nu), zu(nu);
  for (int i = 0; i < nu; ++i) in >> xu[i] >> zu[i];
  std::vector<double> xl = xu, zl(nu);
  for (int i = 0; i < nu; ++i) zl[i] = -zu[i];
  if (symmetric != 1) {
    xl.resize(nl);
    zl.resize(nl);
    for (int i = 0; i < nl; ++i) in >> xl[i] >> zl[i];
  }
  // Joined from the upper trailing edge round to the lower one, unit chord.
  std::vector<double> t, zj;
  const double pi = std::acos(-1.0), scale = 1.0 / (xte - xle);
  for (int i = nu - 1; i >= 0; --i) {
    t.push_back(std::acos(std::fmax(-1.0, std::fmin(1.0, 2.0 * (xu[i] - xle) * scale - 1.0))));
    zj.push_back(zu[i] * scale);
  }
  for (size_t i = 1; i < xl.size(); ++i) {
    t.push_back(2.0 * pi - std::acos(std::fmax(-1.0, std::fmin(1.0, 2.0 * (xl[i] - xle) * scale - 1.0))));
    zj.push_back(zl[i] * scale);
  }
  constexpr int kPerInterval = 20;
  z = sampled_spline(t, zj, kPerInterval);
  for (size_t i = 0; i + 1 < t.size(); ++i)
    for (int s = 0; s < kPerInterval; ++s) {
      double th = t[i] + (t[i + 1] - t[i]) * s / kPerInterval;
      x.push_back(0.5 * (1.0 + std::cos(th)));
    }
  x.push_back(0.5 * (1.0 + std::cos(t.back())));
}

double ReferenceContour::distance(double px, double pz) const {
  double best = 1.0e30;
  for (size_t i = 0; i + 1 < x.size(); ++i) {
    double dx = x[i + 1] - x[i], dz = z[i + 1] - z[i];
    double len2 = dx * dx + dz * dz;
    double a = len2 > 0 ? ((px - x[i]) * dx + (pz - z[i]) * dz) / len2 : 0.0;
    a = std::fmax(0.0, std::fmin(1.0, a));
    best = std::fmin(best, std::hypot(px - x[i] - a * dx, pz - z[i] - a * dz));
  }
  return best;
}

}  // namespace tarn::test
