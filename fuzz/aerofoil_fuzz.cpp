// Fuzz target of the aerofoil data file. The file is read alone, in this
// process; a file that the reader accepts is then the aerofoil of a short
// viscous run on the default 160-line mesh (stock run FOIL): the geometry
// step, a few sweeps on the coarse and the fine mesh with boundary-layer
// updates, and the results.
#include <memory>

#include "geometry/geometry.h"
#include "harness.h"
#include "run/run.h"
#include "units.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarn;
  const std::string aerofoil = fuzz::as_text(data, size);
  units().feed(kAerofoil, aerofoil);
  static const auto work = std::make_unique<MappingWork>();
  std::string title;
  try {
    read_aerofoil_file(*work, title);
  } catch (const AerofoilFileError&) {
    return 0;
  }
  fuzz::RunScope scope;  // the run opens its aerofoil data file on unit 17 in place of the text fed
  fuzz::write_file("NACA0012.DAT", aerofoil);
  fuzz::run_and_check("FOIL");
  return 0;
}
