// tarnprep: the set-up dialogue that collects a run's parameters, checks
// them and writes the run files (names file, run-data file, run-name file).
#pragma once

#include <cstdint>
#include <string>

namespace tarn {

// Ranges of the flow conditions that the dialogue accepts.
constexpr float kMinMach = 0.05f, kMaxMach = 0.95f;
constexpr float kMaxIncidence = 20.0f;  // degrees either way
constexpr float kMinReynoldsMillions = 0.1f;
// A Reynolds number is asked for in millions; an answer above this is one
// typed in full (6000000 for 6 million), not a number of millions.
constexpr float kMaxReynoldsMillions = 1000.0f;
constexpr float kMinTransition = 0.01f, kMaxTransition = 1.0f;
// Free transition: the critical amplification factor, above 0 and at most 20
// (9 for free flight or a quiet wind tunnel); XTU and XTL are then trips,
// kNoTrip meaning none.
constexpr float kMaxNcrit = 20.0f;
constexpr float kNoTrip = 1.0f;
// The required lift coefficient is written in ten columns with four decimals.
constexpr float kMinLift = -9999.0f, kMaxLift = 99999.0f;

// Widths of the run title and of the aerofoil data file or dump name in the
// run files; answers are blank-padded to them.
constexpr size_t kRunTitleField = 68;
constexpr size_t kInputNameField = 12;

// Every answer of the dialogue, held in memory until the files are written.
struct RunAnswers {
  std::string name;       // run name, 1 to 8 letters or digits
  std::string TITLE;      // run title, blank-padded to 68 characters
  int32_t viscous = 0;    // 1 viscous run, 0 inviscid
  int32_t newrun = 1;     // 1 new run with mapping, 0 continuation
  std::string input;      // aerofoil data file (12-character field) or dump to continue from
  int32_t slopes = 1;     // 0 prints the table of aerofoil slopes
  int32_t gridflag = 0;   // 1 writes the grid-data file
  int32_t dumpflag = 1;   // 1 writes a flow-field dump
  float EM = 0.0f;        // Mach number
  float ALP = 0.0f;       // incidence, degrees
  int32_t ICL = 0;        // 1: reach the required lift coefficient CLC
  float CLC = 0.0f;       // required lift coefficient
  float R = 0.0f;         // Reynolds number based on chord
  float XTU = 0.0f;       // upper-surface transition, x/c
  float XTL = 0.0f;       // lower-surface transition, x/c
  float NCRIT = 0.0f;     // free transition at this critical amplification factor; 0: at XTU, XTL
  int32_t NSG = 160;      // fine-mesh grid lines around the aerofoil
  int32_t NSC = 100;      // coarse-mesh iterations
  int32_t NSF = 200;      // fine-mesh iterations
  float XS = 1.9f;        // over-relaxation parameter
  float XM = 1.0f;        // under-relaxation parameter
  float GVISCC = 0.15f;   // coupling relaxation factor, coarse mesh
  int32_t NVISCC = 5;     // sweeps between boundary-layer updates, coarse mesh
  float GVISCF = 0.075f;  // coupling relaxation factor, fine mesh
  int32_t NVISCF = 5;     // sweeps between boundary-layer updates, fine mesh
  float DD21 = 0.0f;      // momentum-thickness increment at XTU
  float DD22 = 0.0f;      // momentum-thickness increment at XTL
  float EP = 0.8f;        // artificial-viscosity parameter
  float QCP = 0.25f;      // partially-conservative parameter
};

// Runs the whole dialogue on the console and writes the run files; returns
// the exit status. Stops with a RunStop at end of input.
int run_tarnprep();

// True when every character is a letter A-Z, a-z or a digit.
bool all_alphanumeric(const std::string& text);

// The message refusing an aerofoil data file name, or an empty string when
// the name (the answer up to its first blank) is acceptable.
std::string aerofoil_name_message(const std::string& answer);

// Sets the numerical parameter of that name (NSG, NSC, NSF, XS, XM, GVISCC,
// NVISCC, GVISCF, NVISCF, DD21, DD22, EP or QCP) as the dialogue would
// accept it; returns an empty string, or why the name or value is refused.
std::string set_numerical_parameter(RunAnswers& a, const std::string& name, float value);

// Opens NAME.NAM, NAME.TIN and NAME.SIR in the working directory as soon as
// the run name is known, so that a folder where they cannot be written is
// found before the dialogue. They are written to temporary files beside
// them: files of an earlier set-up stay as they are until all three are
// complete, and none is left behind by a dialogue that stops early.
void open_run_files(const std::string& name);
// Writes the three files on the units opened and gives them their names.
void write_run_files(const RunAnswers& a);

}  // namespace tarn
