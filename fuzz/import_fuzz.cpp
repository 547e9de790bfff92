// Fuzz target of tarnfoil's import reader: a coordinate file of any form
// (Selig, Lednicer, native), read as `tarnfoil import` reads it. A file that
// the reader accepts must give an aerofoil data file that the solver's own
// reader accepts in turn, since that is the file import writes for tarn.
#include <memory>

#include "foil.h"
#include "geometry/geometry.h"
#include "harness.h"
#include "run/run.h"
#include "units.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarn;
  fuzz::RunScope scope;
  fuzz::write_file("IMPORT.DAT", fuzz::as_text(data, size));
  std::string written;
  try {
    written = foil::aerofoil_file_text(foil::read_section("IMPORT.DAT").section);
  } catch (const foil::FoilError&) {
    return 0;
  }
  // Read from a file, as tarn opens it: the aerofoil unit must stay free of
  // text held in memory for the next import.
  fuzz::write_file("IMPORTED.DAT", written);
  units().open(kAerofoil, "IMPORTED.DAT", OpenStatus::kExisting);
  static const auto work = std::make_unique<MappingWork>();
  std::string title;
  try {
    read_aerofoil_file(*work, title);
  } catch (const AerofoilFileError& error) {
    fuzz::broken(std::string("import accepted a file and wrote an aerofoil data file that tarn refuses: ") +
                 error.what() + "\n" + written);
  }
  return 0;
}
