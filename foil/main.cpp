// tarnfoil: aerofoil coordinates for tarn. Generates NACA sections, imports
// Selig, Lednicer and native coordinate files into the aerofoil data file
// that tarn reads, and checks such files.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "command_line.h"
#include "flow_state.h"
#include "foil.h"
#include "prep.h"
#include "text_files.h"
#include "run_stop.h"
#include "version.h"

namespace {

using namespace tarn::foil;

constexpr int kExitDone = 0;
constexpr int kExitUnusable = 1;  // a file that cannot be read or used, an output refused or not written
constexpr int kExitUsage = 2;     // a command line that is not understood
constexpr int kDefaultPoints = 101;
constexpr double kShownZero = 5.0e-6;  // below the last digit of a per-cent figure

const char* const kHelp = R"(tarnfoil: aerofoil coordinates for tarn.

Usage:
  tarnfoil naca DIGITS [--points N] [--closed] [-o FILE] [--force]
  tarnfoil import FILE [-o OUT.DAT] [--force] [--derotate]
  tarnfoil check FILE [--derotate]
  tarnfoil COMMAND --help     what one command does
  tarnfoil --version

Commands:
  naca    generates a NACA four- or five-digit section
  import  reads a Selig, Lednicer or native coordinate file and writes the
          aerofoil data file that tarn reads, at unit chord
  check   reads a coordinate file and reports its shape and anything
          suspicious

tarnfoil reads only the file named on its command line and writes only the
aerofoil data file asked for (naca writes to standard output unless -o is
given); reports go to standard output, errors to standard error. The
aerofoil data file is described in the user's guide, section 7.1, and
tarnfoil in its section 12.

Exit status: 0 done; 1 a file that cannot be read or used, or an output that
is refused or cannot be written (the message names the file and the line);
2 a command line that is not understood.
)";

const char* const kNacaHelp = R"(Usage: tarnfoil naca DIGITS [--points N] [--closed] [-o FILE] [--force]

Generates a NACA section from its published equations and writes it as an
aerofoil data file.

  DIGITS      four digits, e.g. 0012 or 2412: largest camber in per cent,
              its position in tenths, thickness in per cent; or five, e.g.
              23012: design lift in units of 0.15, position of the largest
              camber in units of 5 %, 0 for the standard or 1 for the
              reflexed mean line (23112), thickness in per cent
  --points N  points a surface, cosine-spaced, 3 to 250 (default 101)
  --closed    sharp trailing edge: last thickness coefficient -0.1036
  -o FILE     writes FILE instead of standard output
  --force     replaces FILE if it exists

The trailing edge is open by default: the published thickness distribution
(last coefficient -0.1015) leaves a gap of 2.1 % of the thickness, 0.00252
chord for a 12 % section, and that is the section of the published data and
of most coordinate files. --closed gives the common sharp variant. The
thickness is laid off normal to the mean line, in the published frame: the
mean-line chord along the x axis, so that incidences are measured from it as
published data measure them. The section is moved along x to put its leading
edge, the point of smallest x, at x = 0 and scaled to x from 0 to 1; for a
cambered section the leading edge then lies a little off the axis, and the
line from it to the trailing edge a little nose up from the mean-line chord
(0.09 degrees for 2412, 0.26 for 23012; -o reports it).

Reads nothing; writes the aerofoil data file.
Exit status: 0 done; 1 FILE refused or not written; 2 bad arguments.
)";

const char* const kImportHelp = R"(Usage: tarnfoil import FILE [-o OUT.DAT] [--force] [--derotate]

Reads a coordinate file and writes the aerofoil data file that tarn reads.
The form is found from the content:
  Selig     an optional name line, then x z pairs from the trailing edge
            over the upper surface to the leading edge and back along the
            lower surface
  Lednicer  a name line, a line with the two point counts, then the upper
            and the lower surface, each from the leading edge to the
            trailing edge
  native    the aerofoil data file itself: checked and written again
Blank lines, comment lines starting with #, tabs or commas between the
numbers, CRLF line ends, a leading-edge point given twice, a trailing-edge
gap, a line of four numbers after the title and free text after complete
coordinates (reported, and left out) are accepted.

The section keeps the file's axes: it is moved along x to put the leading
edge at x = 0 and scaled to x from 0 to 1, so that incidences are measured
from the file's x axis; --derotate turns it about the leading edge until the
middle of the trailing edge lies on the x axis. Either way the report gives
the angle of that chord line. The section is prepared so that tarn's
conformal mapping resolves it: the leading edge is found on a spline
through the points (not only among them); given points closer than 0.0002
chord to it are merged into it; a surface of fewer than 41 points is
re-splined to 101, and one of more than 250 (what tarn holds) to 250,
cosine-spaced. The report says what was done: form, shift, scale, chord
line, trailing-edge gap, every change, and anything suspicious.

  -o OUT.DAT  the output file; by default the input's name in capitals,
              letters and digits only, at most 8, with .DAT, in the current
              folder (tarnprep asks for such a name)
  --force     replaces OUT.DAT if it exists (never the input itself)
  --derotate  levels the chord line

Reads FILE; writes OUT.DAT and the report on standard output. Nothing is
written when FILE cannot be used.
Exit status: 0 done; 1 FILE cannot be read or used (the message names the
file and the line), or OUT.DAT is refused or cannot be written; 2 bad
arguments.
)";

const char* const kCheckHelp = R"(Usage: tarnfoil check FILE [--derotate]

Reads a coordinate file of any form as import does and reports the form,
what import would change, the point counts, the largest thickness and
camber and where they are, the leading-edge radius, the trailing-edge gap,
and anything suspicious: repeated points, spacing jumps, lines that tarn
would not read. It then maps the section as tarn does (160 grid lines, the
mapping settings of tarnprep) and reports the mapping's last MAX S ERROR
and the largest distance of the mapped surface from the section's outline.
Points out of order, surfaces that cross, too few points, no thickness,
and a section the mapping does not resolve (MAX S ERROR of 1E-4 or more,
or the mapped surface more than 1E-3 chord off) make a file unusable and
are reported as errors.

Reads FILE; writes the report on standard output and nothing else.
Exit status: 0 the file can be used; 1 it cannot (the message names the
file and the line); 2 bad arguments.
)";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The words after the command: options with their values, and the operand.
struct Arguments {
  std::string operand, output;
  int points = kDefaultPoints;
  bool closed = false, force = false, help = false, derotate = false;
};

int points_of(const std::string& text) {
  size_t used = 0;
  int n = 0;
  try {
    n = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty()) throw UsageError("--points takes a whole number, not '" + text + "'");
  return n;
}

Arguments parse(const std::string& command, const std::vector<std::string>& words) {
  Arguments a;
  const bool naca = command == "naca", import = command == "import";
  for (size_t k = 0; k < words.size(); ++k) {
    const std::string& w = words[k];
    const bool has_value = k + 1 < words.size();
    if (w == "--help" || w == "-h") a.help = true;
    else if ((naca || import) && w == "-o" && has_value) a.output = words[++k];
    else if ((naca || import) && w == "--force") a.force = true;
    else if (naca && w == "--closed") a.closed = true;
    else if (!naca && w == "--derotate") a.derotate = true;
    else if (naca && w == "--points" && has_value) a.points = points_of(words[++k]);
    else if ((w == "-o" || w == "--points") && !has_value) throw UsageError(w + " needs a value");
    else if (w.size() > 1 && w[0] == '-') throw UsageError("'" + w + "' is not an option of " + command);
    else if (a.operand.empty()) a.operand = w;
    else throw UsageError("one " + std::string(naca ? "section" : "file") + " at a time, not '" + w + "' as well");
  }
  if (!a.help && a.operand.empty()) throw UsageError(naca ? "give the digits of the section" : "give a file");
  return a;
}

void print_report(const std::string& path, const Imported& in) {
  const Report& r = in.report;
  std::printf("%s: %s form, \"%s\"\n", path.c_str(), form_name(r.form), in.section.title.c_str());
  std::printf("  points          %d upper, %d lower, the leading edge in both\n", r.upper, r.lower);
  std::printf("  leading edge    (%.6f, %.6f) moved to %s\n", r.xle, r.zle, r.derotated ? "the origin" : "x = 0");
  std::printf("  scale           %.6f to unit chord\n", r.scale);
  if (r.derotated)
    std::printf("  rotation        %.4f degrees, the given chord line's rise to the trailing edge; turned level\n",
                r.rotation);
  else
    std::printf("  chord line      rises %.4f degrees to the trailing edge; the file's axes kept (--derotate "
                "levels it)\n",
                r.rotation);
  std::printf("  trailing edge   gap %.6f chord\n", r.gap);
  for (const auto& note : r.done) std::printf("  done            %s\n", note.c_str());
  for (const auto& note : r.suspicious) std::printf("  suspicious      %s\n", note.c_str());
  if (r.suspicious.empty()) std::printf("  suspicious      nothing\n");
}

int naca_command(const Arguments& a) {
  const Naca n = naca(a.operand, a.closed);
  const Section s = naca_section(n, a.points);
  if (a.output.empty()) {
    std::cout << aerofoil_file_text(s);
    return kExitDone;
  }
  check_output("", a.output, a.force);
  write_aerofoil_file(s, a.output);
  std::printf("wrote %s: %s\n", a.output.c_str(), s.title.c_str());
  std::printf("  trailing-edge gap %.6f chord; the published frame: incidence from the mean-line chord, the line from "
              "the leading edge to the trailing edge %.4f degrees nose up from it\n",
              measure(s).gap, n.chord_turn());
  return kExitDone;
}

int import_command(const Arguments& a) {
  const std::string out = a.output.empty() ? default_output_name(a.operand) : a.output;
  check_output(a.operand, out, a.force);
  const Imported in = read_section(a.operand, a.derotate);
  write_aerofoil_file(in.section, out);
  print_report(a.operand, in);
  std::printf("wrote %s: %zu upper and %zu lower points\n", out.c_str(), in.section.xu.size(), in.section.xl.size());
  const std::string name = std::filesystem::path(out).filename().string();
  const std::string refused = tarn::aerofoil_name_message(name);
  if (!refused.empty())
    std::printf("note: tarnprep will not take %s as the aerofoil data file name:%s\n", name.c_str(), refused.c_str());
  return kExitDone;
}

int check_command(const Arguments& a) {
  const Imported in = read_section(a.operand, a.derotate);
  print_report(a.operand, in);
  const Measures m = measure(in.section);
  const double camber = std::fabs(m.camber) < kShownZero ? 0.0 : m.camber;
  std::printf("  thickness       %.3f %% at x = %.4f\n", 100.0 * m.thickness, m.x_thickness);
  std::printf("  camber          %.3f %% at x = %.4f\n", 100.0 * camber, m.x_camber);
  std::printf("  nose            leading-edge radius %.6f chord (the circle through the leading edge and\n"
              "                  both surfaces at x = %g)\n", m.le_radius, m.nose_x);
  std::fflush(stdout);
  // A native file is what tarn reads as it stands; any other form is mapped as import writes it.
  const bool native = in.report.form == Form::kNative;
  const MappingCheck map = map_aerofoil_file(
      native ? tarn::read_text(a.operand) : aerofoil_file_text(in.section), in.section.title);
  std::printf("  mapping         %d iterations, last MAX S ERROR %.7f; the mapped surface lies within %.6f chord\n"
              "                  of the outline\n",
              map.iterations, static_cast<double>(map.s_error), static_cast<double>(map.distance));
  if (!map.unresolved.empty())
    throw FoilError(a.operand, 0, "unusable: " + map.unresolved);
  return kExitDone;
}

int run(const std::vector<std::string>& words) {
  if (words.empty()) throw UsageError("give a command: naca, import or check");
  const std::string& command = words[0];
  if (command == "--help" || command == "-h") {
    std::cout << kHelp << "\nUser's guide: " << tarn::guide_location() << '\n';
    return kExitDone;
  }
  if (command == "--version") {
    std::printf("tarnfoil %s\n", tarn::kVersion);
    return kExitDone;
  }
  const char* help = command == "naca"     ? kNacaHelp
                     : command == "import" ? kImportHelp
                     : command == "check"  ? kCheckHelp
                                           : nullptr;
  if (!help) throw UsageError("'" + command + "' is not a command: naca, import or check");
  const Arguments a = parse(command, std::vector<std::string>(words.begin() + 1, words.end()));
  if (a.help) {
    std::cout << help << "\nUser's guide: " << tarn::guide_location() << '\n';
    return kExitDone;
  }
  if (command == "naca") return naca_command(a);
  if (command == "import") return import_command(a);
  return check_command(a);
}

}  // namespace

int main(int argc, char** argv) {
  const auto stop = [](const std::exception& e, int status, const char* hint) {
    std::cerr << "tarnfoil: " << e.what() << '\n' << hint;
    return status;
  };
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    return stop(e, kExitUsage, "(tarnfoil --help says how to use it)\n");
  } catch (const std::invalid_argument& e) {
    return stop(e, kExitUsage, "");
  } catch (const FoilError& e) {
    return stop(e, kExitUnusable, "");
  } catch (const tarn::RunStop& e) {
    return stop(e, kExitUnusable, "");
  } catch (const std::bad_alloc& e) {
    std::cerr << "tarnfoil: not enough memory for the file; a coordinate file of up to a million lines needs a few "
                 "hundred megabytes\n";
    return kExitUnusable;
  }
}
