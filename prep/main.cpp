// tarnprep: the set-up dialogue of a tarn run.
#include <iostream>
#include <string>

#include "command_line.h"
#include "prep.h"
#include "units.h"

namespace {

const char* const kUsage =
    "Usage: tarnprep\n"
    "       tarnprep --help | --version\n";

const char* const kHelp =
    "\n"
    "Asks, one question a line, for the parameters of a tarn run (run name,\n"
    "title, kind of run, aerofoil data file or dump, Mach number, incidence or\n"
    "required lift, Reynolds number, transition, numerical parameters), checks\n"
    "every answer and asks again until it is acceptable. Answers may come from a\n"
    "file, one a line: tarnprep < answers.txt\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Reads nothing but the answers on standard input.\n"
    "Writes, in the working folder, once the dialogue is complete: NAME.NAM\n"
    "(names file), NAME.TIN (run-data file) and NAME.SIR (run-name file); then\n"
    "run tarn NAME.\n"
    "\n"
    "Exit status:\n"
    "  0  the run files were written\n"
    "  2  the input ended before the dialogue was complete (no file is written;\n"
    "     an earlier set-up of the same name is left as it was), a run file\n"
    "     cannot be created, or a bad command line\n";

const tarn::ProgramHelp kProgram{"tarnprep", kUsage, kHelp};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) return tarn::usage_error(kProgram, "too many arguments");
  if (argc == 2) {
    int status = tarn::answer_option(kProgram, argv[1]);
    if (status >= 0) return status;
    return tarn::usage_error(kProgram, "tarnprep takes no run name: it asks for it and for everything else");
  }

  int status = tarn::kExitFailure;
  try {
    status = tarn::run_tarnprep();
    tarn::units().close_all();
  } catch (const tarn::RunStop& stop) {
    tarn::units().abandon_all();
    std::cerr << "tarnprep: " << stop.what() << '\n';
    return stop.status;
  }
  return status;
}
