// Answer files for driving tarnprep through its standard input, one answer
// a line in the order of its questions, and what its console shows.
#pragma once

#include <algorithm>
#include <string>

#include "support.h"

namespace tarn::test {

// The answers of a viscous new run with defaults kept. A field may hold
// several lines: refused answers followed by the accepted one.
struct Answers {
  std::string name = "CASE1";
  std::string title = "NACA 0012 DEFAULT RUN";
  std::string viscous = "1";
  std::string newrun = "1";
  std::string input = "NACA0012.DAT";  // aerofoil data file, or dump name of a continuation run
  std::string slopes = "n", grid = "n", dump = "y";
  std::string em = "0.75", alp = "2";
  std::string icl = "0", clc;
  std::string r = "6", xtu = "0.05", xtl = "0.05";
  std::string defaults = "n";  // the answer on changing defaults and all that follows

  static std::string last_line(const std::string& field) { return field.substr(field.rfind('\n') + 1); }

  std::string text() const {
    std::string t = name + "\n" + title + "\n" + viscous + "\n" + newrun + "\n" + input + "\n";
    if (last_line(newrun) == "1") t += slopes + "\n" + grid + "\n";
    t += dump + "\n" + em + "\n" + alp + "\n";
    if (last_line(viscous) == "1") {
      t += icl + "\n";
      if (last_line(icl) == "1") t += clc + "\n";
      t += r + "\n" + xtu + "\n" + xtl + "\n";
    }
    return t + defaults + "\n";
  }
};

inline ProgramResult run_tarnprep(const TempDir& dir, const Answers& a) {
  return run_program("tarnprep", dir.path(), a.text());
}

// Number of console lines that read exactly as given.
inline long count_lines(const std::string& out, const std::string& line) {
  auto lines = lines_of(out);
  return std::count(lines.begin(), lines.end(), line);
}

// A title blank-padded to the 68 columns of its field.
inline std::string padded_title(const std::string& title) { return title + std::string(68 - title.size(), ' '); }

}  // namespace tarn::test
