// The section mapped as tarn maps it: a new run's files written by
// tarnprep's writer into a scratch folder, and the solver's own start-up
// and geometry step run there, its listings and console kept out of sight.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "foil.h"
#include "geometry/geometry.h"
#include "prep.h"
#include "run/run.h"
#include "text_files.h"
#include "units.h"

namespace tarn::foil {

namespace {

namespace fs = std::filesystem;

const char* const kRunName = "CHECK";
const char* const kAerofoilName = "CHECK.DAT";

// A scratch folder made current while it lives, removed with all it holds.
class ScratchFolder {
 public:
  ScratchFolder() : home_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "tarnfoil-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw FoilError(pattern, 0, "no scratch folder for the mapping can be made");
    path_ = pattern;
    fs::current_path(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::current_path(home_, ec);
    fs::remove_all(path_, ec);
  }

 private:
  fs::path home_, path_;
};

std::string padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

}  // namespace

MappingCheck map_aerofoil_file(const std::string& text, const std::string& title) {
  ScratchFolder scratch;
  write_text(kAerofoilName, text);
  RunAnswers a;
  a.name = kRunName;
  a.TITLE = padded(title, kRunTitleField);
  a.input = padded(kAerofoilName, kInputNameField);
  a.EM = kCheckMach;
  a.dumpflag = 0;
  auto state = std::make_unique<FlowState>();
  Units& u = units();
  u.capture(kConsoleOut);
  try {
    open_run_files(a.name);
    write_run_files(a);
    map_aerofoil(*state, a.name);
  } catch (...) {
    u.abandon_all();
    throw;
  }
  const Mapping& map = state->map;
  return {map.NITER, map.SERR, map.OUTLINE, geometry_warning(map)};
}

}  // namespace tarn::foil
