// Fuzz target of the names file. The file is read in this process; when every
// name it gives is a plain file name (no folder, so that the run stays in the
// scratch folder), it is the names file of a whole run among the stock files:
// a short viscous new run (CASE.TIN, NACA0012.DAT) or continuation
// (CONT.TIN, CASE.UNF), as its entries say.
#include "harness.h"
#include "run/run.h"
#include "units.h"

namespace {

using namespace tarn;

bool plain(const std::string& name) { return name.find('/') == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string names = fuzz::as_text(data, size);
  units().feed(kNames, names);
  RunFiles files;
  try {
    files = read_names_file();
  } catch (const RunStop&) {
    return 0;
  }
  for (int e = 1; e <= 8; ++e)
    if (!plain(files.entry[e])) return 0;
  if (!plain(files.input)) return 0;
  fuzz::RunScope scope;
  fuzz::write_file("FUZZ.NAM", names);
  fuzz::run_and_check("FUZZ");
  return 0;
}
