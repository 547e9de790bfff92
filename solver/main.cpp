// tarn: the solver. Asks for a run name and executes its run-data file.
#include <iostream>
#include <memory>

#include "run/run.h"
#include "units.h"

int main() {
  auto fs = std::make_unique<tarn::FlowState>();
  try {
    tarn::run_tarn(*fs);
  } catch (const tarn::RunStop& stop) {
    tarn::units().close_all();
    std::cerr << "tarn: " << stop.what() << '\n';
    return stop.status;
  }
  tarn::units().close_all();
  return tarn::kExitOk;
}
