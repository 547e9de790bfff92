// tarn: the solver. Asks for a run name, or takes it from the command line,
// and executes its run-data file.
#include <iostream>
#include <memory>
#include <string>

#include "command_line.h"
#include "geometry/geometry.h"
#include "run/run.h"
#include "units.h"

namespace {

const char* const kUsage =
    "Usage: tarn [NAME]\n"
    "       tarn --help | --version\n";

const char* const kHelp =
    "\n"
    "Computes the steady two-dimensional transonic flow of air past an aerofoil,\n"
    "viscous effects included, for a run set up by tarnprep.\n"
    "\n"
    "  NAME           run name given to tarnprep (1 to 8 letters or digits, no\n"
    "                 extension); without NAME tarn asks for it on the console\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Reads, in the working folder: NAME.NAM (names file), the run-data file it\n"
    "names (NAME.TIN), and the aerofoil data file of a new run or the flow-field\n"
    "dump (.UNF) that a continuation run starts from.\n"
    "Writes: NAME.FUL results listing, NAME.BRF second listing, NAME.IEH\n"
    "iteration history, NAME.VEH coupling history, NAME.SEP coefficient records\n"
    "and, when the run asks for them, NAME.UNF flow-field dump and NAME.GRD\n"
    "grid-data file.\n"
    "\n"
    "Exit status:\n"
    "  0  normal end; the last record of NAME.SEP is 4\n"
    "  1  a fatal numerical or capacity condition (spline, mapping table,\n"
    "     boundary-layer stations) or a write that failed (a full disk);\n"
    "     NAME.SEP has no status record\n"
    "  2  a file that cannot be opened, a record that cannot be read (a tab in\n"
    "     a fixed-column record included), a damaged dump, an output file that\n"
    "     would overwrite a file the run reads, or a bad command line; NAME.SEP\n"
    "     has no status record\n"
    "  3  the iteration diverged, or a result was not a finite number; the last\n"
    "     record of NAME.SEP is -4\n";

// A mapping that did not resolve the aerofoil is told on the console, the
// listings keeping their layout; true when told.
bool warn_of_geometry(const tarn::FlowState& fs) {
  const std::string warning = tarn::geometry_warning(fs.map);
  if (!warning.empty()) std::cerr << "tarn: warning: " << warning << '\n';
  return !warning.empty();
}

const tarn::ProgramHelp kProgram{"tarn", kUsage, kHelp};

}  // namespace

int main(int argc, char** argv) {
  std::string name;
  if (argc > 2) return tarn::usage_error(kProgram, "give one run name at most");
  if (argc == 2) {
    int status = tarn::answer_option(kProgram, argv[1]);
    if (status >= 0) return status;
    std::string refusal = tarn::run_name_refusal(argv[1]);
    if (!refusal.empty()) return tarn::usage_error(kProgram, refusal);
    name = argv[1];
  }

  auto fs = std::make_unique<tarn::FlowState>();
  try {
    if (name.empty()) {
      tarn::run_tarn(*fs);
    } else {
      tarn::write_banner();
      tarn::run_tarn(*fs, name);
    }
    tarn::units().close_all();
  } catch (const tarn::RunStop& stop) {
    tarn::units().abandon_all();
    std::cerr << "tarn: " << stop.what() << '\n';
    const bool geometry = warn_of_geometry(*fs);
    if (stop.status == tarn::kExitDiverged && !geometry) std::cerr << tarn::divergence_advice(fs->run.IVP != 0) << '\n';
    return stop.status;
  }
  warn_of_geometry(*fs);
  return tarn::kExitOk;
}
