// Fuzz target of the flow-field dump: the input is the dump FUZZ.UNF from
// which two stock runs continue for a few sweeps on the dump's own mesh, each
// writing a dump of its own: DUMP viscous, DUMI inviscid (which keeps the
// dump's iteration count and circulation options, as no viscous-options
// record restates them).
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dump = tarn::fuzz::as_text(data, size);
  for (const char* run : {"DUMP", "DUMI"}) {
    tarn::fuzz::RunScope scope;
    tarn::fuzz::write_file("FUZZ.UNF", dump);
    tarn::fuzz::run_and_check(run);
  }
  return 0;
}
