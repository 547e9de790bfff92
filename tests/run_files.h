// Run files for end-to-end tests of the solver, written record by record as
// the set-up program writes them.
#pragma once

#include <string>

namespace tarn::test {

struct RunSetup {
  std::string name = "CASE1";
  std::string aerofoil = "NACA0012.DAT";
  std::string aerofoil_source;  // file copied in as the aerofoil; empty: NACA 0012 (closed trailing edge) from tarnfoil
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
  int vprint_fine = 1;  // viscous print level of the fine stage (the coarse stage has 0)
  bool coupling_records = true;  // false: no coupling record, so the update schedule carries on
};

// The aerofoil data file of the bundled example, NACA 0012 as the example
// script makes it (run in the folder `dir`).
std::string naca0012_section(const std::string& dir);

// RAE 2822 at the conditions of AGARD AR-138 case 6, viscous, at its
// required lift; `aerofoil_source` is the aerofoil data file.
RunSetup rae2822_case6(const std::string& aerofoil_source);

// The names file of a new run.
std::string names_file(const RunSetup& s);
// The run-data file of a new run.
std::string run_data_file(const RunSetup& s);
// Writes both into the folder, with the aerofoil data file.
void write_new_run(const std::string& dir, const RunSetup& s);
// Writes the names file and run-data file of a run that continues from the
// dump `dump` (a file name in the folder).
void write_continuation_run(const std::string& dir, const RunSetup& s, const std::string& dump);

// Numbers of a run's summary on the second listing (the last one printed).
struct Summary {
  float em = 0, alp = 0, cl = 0, cm = 0, cdp = 0, cd1 = 0, cd2 = 0;  // inviscid and viscous
  float cdf = 0, cdv = 0, cdv_cd1 = 0, cdv_cd2 = 0;                 // viscous only
  bool found = false;
};
Summary last_summary(const std::string& listing);

// Runs tarn on the run name in the folder; the listings are then in the folder.
int run_tarn(const std::string& dir, const std::string& name);

}  // namespace tarn::test
