// tarnfoil's library: coordinate files of the Selig, Lednicer and native
// forms read into one normalised section, NACA four- and five-digit sections
// generated, and the aerofoil data file that tarn reads written.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tarn::foil {

// A file that cannot be used. what() reads "FILE, line N: problem", or
// "FILE: problem" when the problem belongs to no one line.
struct FoilError : std::runtime_error {
  FoilError(const std::string& file, int line, const std::string& problem);
  std::string file;
  int line;  // from 1; 0 for the whole file
};

// A section at unit chord: the leading edge, the point of smallest x, at
// x = 0, x from 0 to 1. Each surface runs from the leading edge to its
// trailing-edge point, both starting at the leading edge, which lies on the
// x axis only when the chord line was levelled (or the file put it there).
struct Section {
  std::string title;
  std::vector<double> xu, zu;  // upper surface
  std::vector<double> xl, zl;  // lower surface
};

enum class Form { kNative, kSelig, kLednicer };
const char* form_name(Form form);

// What reading did to the coordinates as the file gives them.
struct Report {
  Form form = Form::kSelig;
  int upper = 0, lower = 0;     // points a surface as given, the leading edge counted in both
  double scale = 1.0;           // factor from the given coordinates to unit chord
  double xle = 0.0, zle = 0.0;  // the leading edge in the given coordinates, moved to x = 0
  double rotation = 0.0;        // degrees the given chord line rises towards the trailing edge
  bool derotated = false;       // the chord line turned level (else the file's axes are kept)
  double gap = 0.0;             // trailing-edge gap, chord units
  bool respaced = false;        // a surface re-splined: too few points for the mapping, or too many for tarn
  std::vector<std::string> done;        // other changes (points merged, surfaces taken in the other order)
  std::vector<std::string> suspicious;  // repeated points, spacing jumps, lines tarn would not read
};

struct Imported {
  Section section;
  Report report;
};

// Reads a coordinate file of any of the three forms, found from its content;
// derotate levels the chord line (from the leading edge to the middle of the
// trailing edge), else the file's axes are kept. The native form goes
// through the solver's reader on the aerofoil unit (17), which no run may
// hold open meanwhile.
Imported read_section(const std::string& path, bool derotate = false);

// The aerofoil data file of a section, as text and written to a file (through
// a temporary file renamed into place, so that a failed write leaves nothing).
std::string aerofoil_file_text(const Section& section);
void write_aerofoil_file(const Section& section, const std::string& path);
// Refuses an output that is the input, or, unless replace, any existing file.
void check_output(const std::string& input, const std::string& output, bool replace);
// The output name for an input path: its name in capitals, letters and digits
// only, at most 8, with ".DAT", in the current folder (tarnprep asks for such).
std::string default_output_name(const std::string& input);

// Shape of a section.
struct Measures {
  double thickness = 0.0, x_thickness = 0.0;  // largest thickness (chord units) and where
  double camber = 0.0, x_camber = 0.0;        // largest camber (signed) and where
  double le_radius = 0.0;                     // leading-edge radius: of the circle through the leading
  double nose_x = 0.0;                        // edge and both surfaces at this x
  double gap = 0.0;                           // trailing-edge gap
};
Measures measure(const Section& section);

// A NACA section by its published equations, x and the results in chord units.
struct Naca {
  std::string digits;
  bool five_digit = false;
  bool closed = false;  // sharp trailing edge: last thickness coefficient -0.1036, not -0.1015
  double t = 0.0;       // thickness
  // Four-digit: the maximum camber m at p. Five-digit: the table's m (where the
  // cubic ends), k1 and k2/k1 (0 unless reflexed), k1 scaled to the design
  // lift, and p, where the camber is largest.
  double m = 0.0, p = 0.0, k1 = 0.0, k2_k1 = 0.0;
  double half_thickness(double x) const;
  double camber(double x) const;
  double camber_slope(double x) const;
  // Degrees the line from the leading edge (the point of smallest x) to the
  // middle of the trailing edge lies nose up from the mean-line chord, the
  // x axis of the generated section, from which incidences are measured.
  double chord_turn() const;
};
// Throws std::invalid_argument for digits that name no section.
Naca naca(const std::string& digits, bool closed);
// Thickness laid off normal to the mean line, in the published frame moved
// along x and scaled to unit chord; cosine-spaced points, 3 to the solver's
// capacity a surface.
Section naca_section(const Naca& section, int points);

// An aerofoil data file (its text) mapped onto the circle as a new tarn run
// maps it (160 grid lines, the mapping settings tarnprep writes): the
// iterations, the last MAX S ERROR, the largest distance of the mapped
// surface from the file's outline, and why the mapping did not resolve the
// section (empty when it did). Throws RunStop when the solver stops on it.
struct MappingCheck {
  int iterations = 0;
  float s_error = 0.0f;
  float distance = 0.0f;
  std::string unresolved;
};
constexpr float kCheckMach = 0.3f;  // the Mach number of the check run; the mapping does not depend on it
MappingCheck map_aerofoil_file(const std::string& text, const std::string& title);

}  // namespace tarn::foil
