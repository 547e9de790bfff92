// Run control, on top of the subsystems: the solver's main sequence, the
// names file, the flow-field dump and the transfer between coarse and fine
// mesh.
#pragma once

#include <string>

#include "file_units.h"
#include "flow_state.h"

namespace tarn {

// The smallest mesh the difference stencils support: the surface curvature
// reaches two points either side along the surface, and the wake curvature
// taper and the trailing-edge extrapolation of the wake four points out.
constexpr int kSmallestGridLines = 8;
constexpr int kSmallestRadialIntervals = 4;

// What the names file says about a run.
struct RunFiles {
  std::string entry[9];   // entries 1 ... 8 (index 0 unused)
  int newrun = 0;         // 1 new run, 0 continuation
  std::string input;      // aerofoil data file or dump to continue from
  int dumpflag = 0;
  int gridflag = 0;
};

// Whole run: prompts for the run name on the console, then executes the
// run-data file step by step. Throws RunStop when the run ends early.
void run_tarn(FlowState& fs);
// The same run for a name given by the caller (a command-line argument or a
// study point) instead of the console reply.
void run_tarn(FlowState& fs, const std::string& name);
// The start of a new run and its geometry step alone: the aerofoil mapped as
// the run would map it (tarnfoil check); every unit is closed after it.
void map_aerofoil(FlowState& fs, const std::string& name);

// Reads the twelve records of the names file from unit 7.
RunFiles read_names_file();
// Run name as typed: the characters before the first blank (at most 8).
std::string run_name_from_reply(const std::string& reply);
// Why a run name cannot be used (empty, a leading or inner blank, an
// extension, a folder, more than 8 characters), or an empty string.
std::string run_name_refusal(const std::string& name);
// The two banner lines and the blank line that open the console dialogue.
void write_banner();
// The line tarn prints after the console's divergence lines: what usually
// brings such a run home, and where it is set. A study keeps it with the
// point's result.
std::string divergence_advice(bool viscous);

// Weights of the artificial viscosity for the present EP.
void form_ep_weights(FlowState& fs);

// Mesh transfer.
void refine_mesh(FlowState& fs);
void coarsen_mesh(FlowState& fs);
void shuffle(FlowState& fs, float* a, int m, int stride, float factor);

// Flow-field dump.
void write_dump(FlowState& fs);
void read_dump(FlowState& fs);

}  // namespace tarn
