// Run files for end-to-end tests of the solver, written record by record as
// the set-up program writes them.
#pragma once

#include <string>

namespace tarn::test {

struct RunSpec {
  std::string name = "CASE1";
  std::string aerofoil = "NACA0012.DAT";
  std::string title = "NACA 0012 TEST RUN";
  bool viscous = true;
  bool dump = true;
  bool grid = false;
  int nsg = 160, nsc = 100, nsf = 200;
  float em = 0.3f, alp = 2.0f;
  float xs = 1.9f, xm = 1.0f, ep = 0.8f, qcp = 0.25f;
  int icl = 0;
  float clc = 0.0f;
  float r = 6.0e6f, xtu = 0.05f, xtl = 0.05f;
  float gviscc = 0.15f, gviscf = 0.075f;
  int nviscc = 5, nviscf = 5;
};

// The names file of a new run.
std::string names_file(const RunSpec& s);
// The run-data file of a new run.
std::string run_data_file(const RunSpec& s);
// Writes both into the folder, with a NACA 0012 section made by nacagen.
void write_new_run(const std::string& dir, const RunSpec& s);

}  // namespace tarn::test
