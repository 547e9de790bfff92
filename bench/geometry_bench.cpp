// Time of the geometry step (aerofoil file, mapping table, mapping passes,
// grid coordinates and metric) on 160 grid lines, listings held in memory.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "geometry/geometry.h"
#include "potential/potential.h"
#include "run/run.h"
#include "units.h"

namespace {

std::string aerofoil_text(const std::string& name) {
  std::ifstream in(std::string(TARN_SHARED_DIR) + "/aerofoils/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void geometry_step(benchmark::State& state, const std::string& name) {
  using namespace tarn;
  const std::string aerofoil = aerofoil_text(name);
  if (aerofoil.empty()) {
    state.SkipWithError("shared aerofoil file not found");
    return;
  }
  const std::string control = "11000   30    1  0.000001    100.00\n 1000    1\n";
  auto fs = std::make_unique<FlowState>();
  for (auto _ : state) {
    units().feed(kRunData, control);
    units().feed(kAerofoil, aerofoil);
    units().capture(kListing);
    units().capture(kBrief);
    fs->grid.NSG = 160;
    fs->grid.MR = 30;
    grid_constants(*fs);
    geometry_and_mapping(*fs, 0.0f, 0.0f, 0.1309f, 0.26f);
    benchmark::DoNotOptimize(fs->pot.H(2, 2));
  }
}

BENCHMARK_CAPTURE(geometry_step, NACA0012_160, std::string("NACA0012.DAT"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(geometry_step, RAE2822_160, std::string("RAE2822.DAT"))->Unit(benchmark::kMillisecond);

}  // namespace
