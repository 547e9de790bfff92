// tarnprep: the set-up dialogue of a tarn run.
#include <iostream>

#include "prep.h"
#include "units.h"

int main() {
  int status = tarn::kExitFailure;
  try {
    status = tarn::run_tarnprep();
  } catch (const tarn::RunStop& stop) {
    tarn::units().close_all();
    std::cerr << "tarnprep: " << stop.what() << '\n';
    return stop.status;
  }
  tarn::units().close_all();
  return status;
}
