// Boundary-layer tests: a flow state with the listings captured in memory
// and station lines built from edge-speed distributions.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "boundary_layer/boundary_layer.h"
#include "boundary_layer/layer.h"
#include "run/run.h"
#include "support.h"
#include "units.h"

namespace tarn::test {

// P/H of a station whose edge speed is ue times the free-stream speed, from
// the energy equation and the isentropic relation (computed in double).
inline float pressure_ratio(double ue, double em) {
  const double t0r = 1.0 + 0.2 * em * em;
  const double t = t0r - 0.2 * em * em * ue * ue;  // static over free-stream static temperature
  return float(std::pow(t / t0r, 3.5));
}

inline int count_containing(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const auto& l : lines) n += l.find(text) != std::string::npos;
  return n;
}

class BoundaryLayerCase : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int unit : {kListing, kBrief, kCoefficients}) units().capture(unit);
    fs_ = std::make_unique<FlowState>();
    set_case(0.2f, 6.0e6f);
  }
  void set_case(float em, float r) {
    fs_->gas.EM = em;
    fs_->cpl.R = r;
    bl_case_setup(*fs_, 1);
  }
  BoundaryLayer& bl() { return fs_->bl; }
  static std::vector<std::string> listing(int unit = kListing) { return lines_of(units().captured(unit)); }

  // Station i of surface ns at (x, y) with edge speed ue.
  void add(int ns, int i, double x, double y, double ue) {
    bl().X(i, ns) = float(x);
    bl().Y(i, ns) = float(y);
    bl().PM(i, ns) = pressure_ratio(ue, fs_->gas.EM);
  }
  // Station line of surface ns along y = 0 from the stagnation point at
  // x = 0 to x = 1 in equal steps, then a wake to x = 2; returns its length.
  template <typename Speed>
  int build_line(int ns, int surface_stations, int wake_stations, Speed ue) {
    int i = 0;
    for (int k = 0; k < surface_stations; ++k) {
      const double x = double(k) / (surface_stations - 1);
      add(ns, ++i, x, 0.0, ue(x));
    }
    for (int k = 1; k <= wake_stations; ++k) {
      const double x = 1.0 + double(k) / wake_stations;
      add(ns, ++i, x, 0.0, ue(x));
    }
    bl().PM(i + 1, ns) = 9999.0f;
    return i;
  }
  int station_at(int ns, float x) {
    for (int i = 1; i <= bl().N[ns - 1]; ++i)
      if (std::fabs(bl().X(i, ns) - x) < 1.0e-6f) return i;
    return 0;
  }
  bool all_finite(int ns) {
    for (int i = 1; i <= bl().N[ns - 1]; ++i)
      if (!std::isfinite(bl().THETA(i, ns)) || !std::isfinite(bl().DELSTAR(i, ns)) || !std::isfinite(bl().CF(i, ns)))
        return false;
    return true;
  }

  std::unique_ptr<FlowState> fs_;
};

inline double uniform(double) { return 1.0; }

// An aerofoil-like upper surface: a suction peak near the nose, then an
// adverse gradient that takes the edge speed from 1.3 down to 1.3 (1 - decel)
// at the trailing edge, recovering towards 1 in the wake.
struct Suction {
  double decel;
  double operator()(double x) const {
    if (x <= 1.0) return 1.3 * std::sqrt(x / (x + 0.005)) * (1.0 - decel * x);
    const double ute = 1.3 * std::sqrt(1.0 / 1.005) * (1.0 - decel);
    return 1.0 - (1.0 - ute) * std::exp(-(x - 1.0) / 0.2);
  }
};

}  // namespace tarn::test
