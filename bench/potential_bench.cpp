// Cost of the potential-flow sweep on the fine mesh (160 x 30), on a
// cylinder at a subcritical Mach number, and of a whole inviscid run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "potential/potential.h"
#include "run/run.h"
#include "units.h"

namespace {

using namespace tarn;

std::unique_ptr<FlowState> fine_cylinder() {
  auto fs = std::make_unique<FlowState>();
  fs->grid.NSG = 160;
  fs->grid.MR = 30;
  grid_constants(*fs);
  for (int k = 1; k <= fs->grid.MR1; ++k)
    for (int i = 1; i <= fs->grid.N2; ++i) fs->pot.H(i, k) = 1.0f;
  fs->gas.EM = 0.3f;
  form_gas_constants(*fs);
  fs->gas.QSTAR2 = fs->gas.A0 * 5.0f / 6.0f;
  form_ep_weights(*fs);
  fs->ALP = 0.05f;
  initialise_field(*fs);
  fs->pot.RELA = 0.0f;
  fs->pot.RELB = 1.5f;
  return fs;
}

void BM_FineSweep(benchmark::State& state) {
  units().capture(kConsoleOut);
  auto fs = fine_cylinder();
  for (auto _ : state) {
    relaxation_sweep(*fs);
    benchmark::DoNotOptimize(fs->pot.RESMAX);
  }
  state.SetItemsProcessed(state.iterations() * 160 * 30);
}
BENCHMARK(BM_FineSweep)->Unit(benchmark::kMicrosecond);

}  // namespace
