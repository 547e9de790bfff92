// Coordinate files: the form found from the content, Selig and Lednicer
// points read line by line, the native form by the solver's own reader.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "contour.h"
#include "flow_state.h"
#include "geometry/geometry.h"
#include "records.h"
#include "run/run.h"
#include "units.h"

namespace tarn::foil {

namespace {

constexpr int kNativeCounts = 5;  // symmetry flag, two point counts, leading- and trailing-edge x
constexpr float kChordMatch = 1.0e-5f;  // relative agreement of the counts record's chord with the points

// One line of the file: its values while they are numbers, and its words
// unless it is an x z pair (pairs are the bulk of a file and need no words).
struct Line {
  int number = 0;
  size_t count = 0;  // words on the line
  std::vector<std::string> words;
  std::vector<float> values;
  bool numeric() const { return count > 0 && values.size() == count; }
  bool pair() const { return count == 2 && values.size() == 2; }
  bool skipped() const { return count == 0 || (!words.empty() && words[0][0] == '#'); }  // blank or a comment
};

Line split_line(const std::string& text, int number) {
  Line line;
  line.number = number;
  size_t k = 0;
  while (k < text.size()) {
    while (k < text.size() && std::strchr(" \t,\r", text[k])) ++k;
    size_t start = k;
    while (k < text.size() && !std::strchr(" \t,\r", text[k])) ++k;
    if (k > start) line.words.push_back(text.substr(start, k - start));
  }
  line.count = line.words.size();
  // A number too large for a real (1e60, say) reads as infinite: it is no
  // coordinate and no point count, so it ends the numbers as a word would.
  for (const auto& word : line.words) {
    float v = 0.0f;
    if (!parse_real_field(word, 0, v) || !std::isfinite(v)) break;
    line.values.push_back(v);
  }
  if (line.pair()) line.words = std::vector<std::string>();
  return line;
}

// Lines of a file, read one at a time. Memory grows with the lines kept, so
// a file longer than any coordinate file is refused before it is read whole.
constexpr int kMostLines = 1000000;

std::vector<Line> lines_of(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(path, ec)) throw FoilError(path, 0, "no such file");
  if (fs::is_directory(path, ec)) throw FoilError(path, 0, "a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FoilError(path, 0, std::string("cannot be opened: ") + std::strerror(errno));
  std::vector<Line> lines;
  std::string text;
  bool empty = true;
  while (std::getline(in, text)) {
    empty = false;
    if (lines.size() == static_cast<size_t>(kMostLines))
      throw FoilError(path, 0,
                      "more than " + std::to_string(kMostLines) +
                          " lines, more than any coordinate file needs: thin the points first (tarn takes " +
                          std::to_string(kMaxSurfacePoints) + " a surface)");
    lines.push_back(split_line(text, static_cast<int>(lines.size()) + 1));
  }
  if (in.bad()) throw FoilError(path, 0, "cannot be read");
  if (empty) throw FoilError(path, 0, "the file is empty");
  return lines;
}

std::string quoted_start(const Line& line) {
  std::string text;
  for (const auto& word : line.words) {
    if (text.size() > 40) return "'" + text + " ...'";
    text += (text.empty() ? "" : " ") + word;
  }
  return "'" + text + "'";
}

// Free text after complete coordinates (a note, a web address, a table):
// the coordinates end at the first line that is not an x z pair when no
// pair follows it; the lines left out are reported.
void drop_text_after(std::vector<const Line*>& data, size_t least, std::vector<std::string>& done) {
  size_t end = 0;
  while (end < data.size() && data[end]->pair()) ++end;
  if (end == data.size() || end < least) return;
  for (size_t k = end; k < data.size(); ++k)
    if (data[k]->pair()) return;
  done.push_back("lines " + std::to_string(data[end]->number) + " to " + std::to_string(data.back()->number) +
                 " after the coordinates are no x z pairs and were left out; they start " + quoted_start(*data[end]));
  data.resize(end);
}

// A point count of the Lednicer form: a whole number no larger than any file
// holds, so that it converts to a size safely.
constexpr float kLargestCount = 1.0e7f;
bool whole_count(float v) { return v >= kMinSurfacePoints - 1 && v <= kLargestCount && v == std::floor(v); }

// Every data line after the first holds one x z pair.
void check_pair(const std::string& path, const Line& line) {
  if (!line.numeric())
    throw FoilError(path, line.number, "'" + line.words[line.values.size()] + "' is not a number");
  if (line.values.size() != 2)
    throw FoilError(path, line.number,
                    std::to_string(line.values.size()) + " numbers where two, x and z, were expected");
}

// Every x of the data lines below the limit: the line before them is no point.
bool below(const std::vector<const Line*>& data, float limit) {
  for (const Line* line : data)
    if (!line->values.empty() && !(line->values[0] < limit)) return false;
  return true;
}

GivenPoint point_of(const Line& line) { return {line.values[0], line.values[1], line.number}; }

// The native form through the solver's reader on the aerofoil unit; lines
// holds the data lines after the counts record, one point each.
void read_native(GivenContour& c, const std::vector<const Line*>& lines, bool mirrored) {
  auto work = std::make_unique<MappingWork>();
  MappingWork& w = *work;
  std::string title;
  ChordLine chord{0.0f, 0.0f};
  Units& u = units();
  if (u.is_open(kAerofoil)) throw std::logic_error("a native aerofoil file read while a run holds the aerofoil unit");
  try {
    u.open(kAerofoil, c.path, OpenStatus::kExisting);
  } catch (const RunStop& stop) {
    throw FoilError(c.path, 0, stop.what());
  }
  struct Closer {
    ~Closer() { units().close(kAerofoil); }
  } closer;
  try {
    chord = read_aerofoil_file(w, title);
  } catch (const AerofoilFileError& error) {
    throw FoilError(c.path, static_cast<int>(u.records_read(kAerofoil)), error.what());
  }
  c.title = title.substr(0, title.find_last_not_of(' ') + 1);

  // The joined contour runs from the upper trailing edge; a mirrored lower
  // surface takes the lines of the upper.
  const int nu = w.NU, nl = w.NC - w.NU + 1;
  for (int32_t i = 1; i <= w.NC; ++i) {
    const int upper_point = nu + 1 - i, lower_point = i - nu + 1;
    const int k = i <= nu ? upper_point - 1 : (mirrored ? lower_point - 1 : nu + lower_point - 1);
    const int line = k < static_cast<int>(lines.size()) ? lines[static_cast<size_t>(k)]->number : 0;
    c.points.push_back({w.XC(i), w.ZC(i), line});
  }
  const size_t used = static_cast<size_t>(mirrored ? nu : nu + nl);
  if (lines.size() > used)
    c.suspicious.push_back("lines from " + std::to_string(lines[used]->number) +
                           " on are not read: the counts record asks for fewer points");

  float xmin = w.XC(1), xmax = w.XC(1);
  for (int32_t i = 1; i <= w.NC; ++i) xmin = std::fmin(xmin, w.XC(i)), xmax = std::fmax(xmax, w.XC(i));
  const float tolerance = kChordMatch * (xmax - xmin);
  if (std::fabs(chord.xle - xmin) > tolerance || std::fabs(chord.xte - xmax) > tolerance) {
    std::ostringstream note;
    note << "the counts record gives the chord from x = " << chord.xle << " to " << chord.xte
         << ", the points run from " << xmin << " to " << xmax;
    c.suspicious.push_back(note.str());
  }
}

}  // namespace

FoilError::FoilError(const std::string& file_name, int line_number, const std::string& problem)
    : std::runtime_error(file_name + (line_number > 0 ? ", line " + std::to_string(line_number) : "") + ": " +
                         problem),
      file(file_name),
      line(line_number) {}

const char* form_name(Form form) {
  switch (form) {
    case Form::kNative: return "native";
    case Form::kLednicer: return "Lednicer";
    case Form::kSelig: break;
  }
  return "Selig";
}

Imported read_section(const std::string& path, bool derotate) {
  const std::vector<Line> lines = lines_of(path);

  GivenContour c;
  c.path = path;
  // A name line first, unless the first line is already an x z pair; then
  // any title or comment lines that do not begin with a number.
  size_t first = 0;
  while (first < lines.size() && lines[first].skipped()) ++first;
  if (first == lines.size()) throw FoilError(path, 0, "holds nothing but blank lines");
  const Line& head = lines[first];
  if (!head.pair()) {
    for (const auto& word : head.words) c.title += (c.title.empty() ? "" : " ") + word;
    for (++first; first < lines.size() && (lines[first].skipped() || !lines[first].numeric()); ++first)
      if (!lines[first].skipped() && !lines[first].values.empty()) check_pair(path, lines[first]);
  }
  if (first == lines.size()) throw FoilError(path, 0, "holds no points");

  std::vector<const Line*> data;
  for (size_t k = first + 1; k < lines.size(); ++k)
    if (!lines[k].skipped()) data.push_back(&lines[k]);
  // Some tools write a line of four numbers (a plotting domain, counts)
  // between the title and the points.
  if (!c.title.empty() && lines[first].numeric() && lines[first].values.size() == 4 && !data.empty() &&
      data.front()->pair()) {
    c.done.push_back("line " + std::to_string(lines[first].number) + ", four numbers after the title (" +
                     quoted_start(lines[first]) + "), taken for a domain or count line of another tool and left out");
    first = static_cast<size_t>(data.front() - lines.data());
    data.erase(data.begin());
  }
  const Line& lead = lines[first];
  if (lead.numeric() && lead.values.size() != kNativeCounts) drop_text_after(data, 2 * kMinSurfacePoints - 2, c.done);

  const auto& v = lead.values;
  int32_t flag = 0, nu = 0, nl = 0;
  if (v.size() == kNativeCounts && parse_int_field(lead.words[0], flag) && parse_int_field(lead.words[1], nu) &&
      parse_int_field(lead.words[2], nl)) {
    c.form = Form::kNative;
    read_native(c, data, flag == 1);
  } else if (v.size() == 2 && whole_count(v[0]) && whole_count(v[1]) &&
             static_cast<size_t>(v[0] + v[1]) == data.size()) {
    // Lednicer: both surfaces from the leading edge, the upper first.
    c.form = Form::kLednicer;
    for (const Line* line : data) check_pair(path, *line);
    const size_t upper = static_cast<size_t>(v[0]);
    for (size_t k = upper; k-- > 0;) c.points.push_back(point_of(*data[k]));
    for (size_t k = upper; k < data.size(); ++k) c.points.push_back(point_of(*data[k]));
  } else if (v.size() == 2 && whole_count(v[0]) && whole_count(v[1]) && below(data, std::fmin(v[0], v[1]))) {
    throw FoilError(path, lead.number,
                    "the point counts " + std::to_string(static_cast<long>(v[0])) + " and " +
                        std::to_string(static_cast<long>(v[1])) + " (Lednicer form) call for " +
                        std::to_string(static_cast<long>(v[0] + v[1])) + " points; the file holds " +
                        std::to_string(data.size()));
  } else if (v.size() == 2) {
    c.form = Form::kSelig;
    check_pair(path, lead);
    c.points.push_back(point_of(lead));
    for (const Line* line : data) {
      check_pair(path, *line);
      c.points.push_back(point_of(*line));
    }
  } else {
    throw FoilError(path, lead.number,
                    "expected x z (Selig form), the two point counts (Lednicer form) or the symmetry flag, "
                    "point counts and chord ends (native form)");
  }
  if (c.title.empty()) c.title = std::filesystem::path(path).filename().string();
  return normalise(c, derotate);
}

}  // namespace tarn::foil
