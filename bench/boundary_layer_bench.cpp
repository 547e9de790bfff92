// One boundary-layer calculation of both surfaces and their wakes, about
// 250 stations in all, on aerofoil-like pressure distributions at M = 0.5,
// R = 6.0E+06, transition at 0.05.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "boundary_layer/boundary_layer.h"
#include "run/run.h"
#include "units.h"

namespace tarn {
namespace {

constexpr int kSurfaceStations = 96;  // stagnation point to trailing edge
constexpr int kWakeStations = 31;     // wake, the last one far downstream

// Edge speed over free-stream speed: a suction peak near the nose, an
// adverse gradient to the trailing edge, recovery in the wake.
float edge_speed(float x, float peak, float decel) {
  if (x <= 1.0f) return peak * std::sqrt(x / (x + 0.005f)) * (1.0f - decel * x);
  const float ute = peak * std::sqrt(1.0f / 1.005f) * (1.0f - decel);
  return 1.0f - (1.0f - ute) * std::exp(-(x - 1.0f) / 0.2f);
}

void fill_surface(FlowState& fs, int ns, float peak, float decel) {
  BoundaryLayer& bl = fs.bl;
  const float em2 = fs.gas.EM * fs.gas.EM, t0r = 1.0f + 0.2f * em2;
  int i = 0;
  auto add = [&](float x, float y) {
    ++i;
    const float ue = edge_speed(x, peak, decel);
    bl.X(i, ns) = x;
    bl.Y(i, ns) = y;
    bl.PM(i, ns) = std::pow((t0r - 0.2f * em2 * ue * ue) / t0r, 3.5f);
  };
  for (int k = 0; k < kSurfaceStations; ++k) {
    const float x = 0.5f * (1.0f - std::cos(kPi * k / (kSurfaceStations - 1)));  // clustered at both ends
    add(x, (ns == 1 ? 0.06f : -0.06f) * std::sqrt(x) * (1.0f - x));
  }
  for (int k = 1; k < kWakeStations; ++k) add(1.0f + 0.005f * (std::pow(1.25f, float(k)) - 1.0f) / 0.25f, 0.0f);
  add(100.0f, 0.0f);
  bl.PM(i + 1, ns) = 9999.0f;
}

void BM_BoundaryLayerBothSurfacesAndWake(benchmark::State& state) {
  for (int unit : {kListing, kBrief, kCoefficients}) units().capture(unit);
  auto fs = std::make_unique<FlowState>();
  fs->gas.EM = 0.5f;
  fs->cpl.R = 6.0e6f;
  bl_case_setup(*fs, 1);
  fill_surface(*fs, 1, 1.3f, 0.3f);
  fill_surface(*fs, 2, 1.1f, 0.15f);
  const auto tables = std::make_unique<BoundaryLayer>(fs->bl);
  for (auto _ : state) {
    fs->bl = *tables;  // the coupling cycle refills the tables before each calculation
    surface_boundary_layer(*fs, 1, 0.05f, 0.0f, 0);
    surface_boundary_layer(*fs, 2, 0.05f, 0.0f, 0);
    benchmark::DoNotOptimize(fs->bl.THETA(fs->bl.N[0], 1));
  }
  state.counters["stations"] = float(fs->bl.N[0] + fs->bl.N[1]);
}
BENCHMARK(BM_BoundaryLayerBothSurfacesAndWake)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarn
