#include "prep.h"
#include "units.h"

namespace tarn {

int run_tarnprep() {
  units().write_list(kConsoleOut, "tarnprep: the set-up dialogue is not built yet.");
  return kExitFailure;
}

}  // namespace tarn
