// Charts drawn as SVG by hand: axes with round-number ticks, series as
// lines and markers, reference levels, a legend placed clear of the data,
// panels stacked on one page and an aerofoil section drawn to scale. Every
// plot of the program is built from these pieces, so all share one look.
#pragma once

#include <string>
#include <vector>

namespace tarn::plot {

enum class Dash { kSolid, kDashed, kDotted, kDashDot };
enum class Marker { kNone, kCircle, kSquare, kTriangle, kDiamond };

struct Style {
  std::string colour = "#000000";
  Dash dash = Dash::kSolid;
  bool line = true;
  Marker marker = Marker::kNone;
};

// One data series. A NaN in x or y breaks the line; points whose `hollow`
// entry is set (points that did not converge) get hollow markers.
struct Series {
  std::string name;  // legend text and the data-series attribute; empty: not in the legend
  Style style;
  std::vector<double> x, y;
  std::vector<bool> hollow;  // empty: every marker filled
};

struct Axis {
  std::string title;
  bool inverted = false;  // values grow downwards (y axis) or leftwards (x axis)
  bool fixed = false;     // the range is [lo, hi] as given, not taken from the data
  double lo = 0.0, hi = 1.0;
};

// A horizontal reference line across the plot (the critical pressure, say).
struct Level {
  std::string name;
  double value = 0.0;
  Style style;
};

// A vertical line across the plot at a position on the x axis (a shock,
// say); marks of one name share one legend entry.
struct Mark {
  std::string name;
  double at = 0.0;
  Style style;
};

struct Panel {
  Axis x, y;
  std::vector<Series> series;
  std::vector<Level> levels;
  std::vector<Mark> marks;
  std::vector<std::string> notes;  // lines of text at the foot of the legend
  double height = 320.0;           // plot area, pixels
  bool legend = true;               // name the series and levels (the notes are always shown)
  bool x_labels = true;            // tick labels and title under the plot area
};

// A closed or open outline in chord units (x, z), drawn under the last
// panel with the scale of that panel's x axis in both directions.
struct Outline {
  std::vector<double> x, z;
};

struct Figure {
  std::string heading;        // a smaller line above the title: the aerofoil or the run
  std::string title;
  std::string warning;        // a line in red under the title: the solution is not converged, say
  std::vector<Panel> panels;  // stacked from the top, all with the same width and x scale
  std::vector<Outline> section;
  std::string section_caption;
};

// The figure as a standalone SVG document. Tick labels carry the exact
// pixel position of their tick (x attribute for the x axis, y for the y
// axis) and each series is a polyline with a data-series attribute, so a
// reader can map the drawing back to data values.
std::string render_svg(const Figure& figure);

// Text made safe for XML character data and attribute values; characters
// that XML does not allow are dropped.
std::string xml_escape(const std::string& text);

// A number as a tick label: fixed decimals and a true minus sign.
std::string number_label(double value, int decimals);

// Colours of series, told apart also by readers with red-green colour
// blindness; the index wraps round.
const char* palette(int index);
Marker marker_shape(int index);

// Round-number ticks covering [lo, hi]: steps of 1, 2, 2.5 or 5 times a
// power of ten, at most `max_count` of them; with `extend` the range is
// widened to the neighbouring ticks.
struct Ticks {
  double lo = 0.0, hi = 1.0, step = 0.1;
  int decimals = 1;
  std::vector<double> at;
};
Ticks nice_ticks(double lo, double hi, int max_count, bool extend);

// Width in pixels of a text line in the plots' typeface at a font size
// (an estimate from the typeface's character widths, on the safe side).
double text_width(const std::string& text, double size);

}  // namespace tarn::plot
