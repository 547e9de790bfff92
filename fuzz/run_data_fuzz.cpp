// Fuzz target of the run-data file, run through the step loop with short
// stages. A file whose first step record reads a dump is the run-data file of
// a continuation from the stock dump CASE.UNF (run FUZC); any other is that
// of a new run of the stock NACA 0012 (run FUZZ). Both write a dump and the
// new run its grid data.
#include "harness.h"
#include "records.h"

namespace {

using namespace tarn;

constexpr int kFirstStepRecord = 3;  // after the title and camber records

bool reads_dump_first(const std::string& run_data) {
  static const Layout kStep("(2I5)");
  size_t start = 0;
  for (int k = 1; k < kFirstStepRecord && start != std::string::npos; ++k) {
    start = run_data.find('\n', start);
    if (start != std::string::npos) ++start;
  }
  if (start == std::string::npos) return false;
  int32_t ns = 0, ityp = 0;
  return parse_record(run_data.substr(start, run_data.find('\n', start) - start), kStep, {ns, ityp}) ==
             ReadStatus::kOk &&
         ns == 0 && ityp > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string run_data = fuzz::short_stages(fuzz::as_text(data, size));
  const std::string name = reads_dump_first(run_data) ? "FUZC" : "FUZZ";
  fuzz::RunScope scope;
  fuzz::write_file(name + ".TIN", run_data);
  fuzz::run_and_check(name);
  return 0;
}
