// tarnprep: the set-up dialogue that collects a run's parameters, checks
// them and writes the run files.
#pragma once

namespace tarn {

// Runs the whole dialogue on the console; returns the exit status.
int run_tarnprep();

}  // namespace tarn
