// Cost of the potential-flow solver on NACA 0012 (closed trailing edge, from
// tarnfoil's generator): one sweep of the fine mesh (160 x 30), the results
// operation without printing, and whole inviscid and viscous runs of the
// default sequence (100 coarse and 200 fine sweeps) from the run-name prompt
// to the status record. The sweep and the viscous program are also timed
// with the sweep as it stood before it was arranged for speed
// (reference_sweep.cpp), so that both appear in one run:
//     build/bench/tarn_bench --benchmark_filter='Sweep|Program'
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "foil.h"
#include "geometry/geometry.h"
#include "free_stream/free_stream.h"
#include "potential/potential.h"
#include "reference_sweep.h"
#include "results/results.h"
#include "run/run.h"
#include "units.h"

namespace {

using namespace tarn;

std::string naca0012() {
  return foil::aerofoil_file_text(foil::naca_section(foil::naca("0012", true), 101));
}

const char kMappingRecords[] = "11000   30    1  0.000001    100.00\n 1000    1\n";

// NACA 0012 at M = 0.75, 2 degrees, after 100 sweeps on the coarse mesh and
// 200 on the fine mesh.
std::unique_ptr<FlowState> fine_naca() {
  auto fs = std::make_unique<FlowState>();
  for (int unit : {kConsoleOut, kListing, kBrief, kHistory, kCouplingHistory}) units().capture(unit);
  units().feed(kRunData, kMappingRecords);
  units().feed(kAerofoil, naca0012());
  fs->grid.NSG = 160;
  fs->grid.MR = 30;
  grid_constants(*fs);
  geometry_and_mapping(*fs, 0.0f, 0.0f, 0.1309f, 0.26f);
  fs->gas.EM = 0.75f;
  form_gas_constants(*fs);
  fs->pot.EP = 0.8f;
  fs->pot.QCP = 0.25f;
  form_ep_weights(*fs);
  fs->ALP = 2.0f / kDegPerRad;
  initialise_field(*fs);
  coarsen_mesh(*fs);
  fs->run.NS = 100;
  iteration_stage(*fs);
  refine_mesh(*fs);
  fs->run.NS = 200;
  iteration_stage(*fs);
  return fs;
}

void BM_FineSweep(benchmark::State& state) {
  auto fs = fine_naca();
  for (auto _ : state) {
    relaxation_sweep(*fs);
    benchmark::DoNotOptimize(fs->pot.RESMAX);
  }
  state.SetItemsProcessed(state.iterations() * 160 * 30);
}
BENCHMARK(BM_FineSweep)->Unit(benchmark::kMicrosecond);

// The sweep before it was arranged for speed, from the same state; skipped
// unless one sweep of each gives the same bits.
void BM_FineSweepReference(benchmark::State& state) {
  auto fs = fine_naca();
  auto check = std::make_unique<FlowState>(*fs);
  for (int n = 0; n < 3; ++n) {
    relaxation_sweep(*check);
    reference::relaxation_sweep(*fs);
  }
  const Potential &a = fs->pot, &b = check->pot;
  if (std::memcmp(&a.P, &b.P, sizeof a.P) != 0 || a.GAM != b.GAM || a.RESMAX != b.RESMAX || a.IRES != b.IRES ||
      a.KRES != b.KRES) {
    state.SkipWithError("the two sweeps differ");
    return;
  }
  for (auto _ : state) {
    reference::relaxation_sweep(*fs);
    benchmark::DoNotOptimize(fs->pot.RESMAX);
  }
  state.SetItemsProcessed(state.iterations() * 160 * 30);
}
BENCHMARK(BM_FineSweepReference)->Unit(benchmark::kMicrosecond);

void BM_ResultsWithoutPrinting(benchmark::State& state) {
  auto fs = fine_naca();
  fs->ALP *= kDegPerRad;
  for (auto _ : state) {
    fs->run.IPRINT = 0;
    results_operation(*fs);
    benchmark::DoNotOptimize(fs->res.CL);
  }
}
BENCHMARK(BM_ResultsWithoutPrinting)->Unit(benchmark::kMicrosecond);

// Run files of an inviscid default run, as the set-up program writes them.
void write_inviscid_run(const std::filesystem::path& dir) {
  std::ofstream(dir / "INV.NAM") << "INV.NAM\nINV.TIN\nINV.IEH\nINV.VEH\nINV.FUL\nINV.BRF\nINV.GRD\nINV.UNF\n1\n"
                                    "NACA0012.DAT\n0\n0\n";
  const char* stage_options = "    1    1    0  %3d    1 1.00   0.00000    0    0.0000    0.5000\n";
  char coarse[128], fine[128];
  std::snprintf(coarse, sizeof coarse, stage_options, 81);
  std::snprintf(fine, sizeof fine, stage_options, 161);
  std::ofstream(dir / "INV.TIN") << "    0NACA 0012 INVISCID BENCHMARK\n \n"
                                    "  160    0    0.7500    2.0000    0.00001.9001.0000.8000.250    0\n"
                                 << kMappingRecords << "   -1    1\n"
                                 << "  100    1    0.7500    2.0000    0.00001.9001.0000.8000.250    1\n"
                                 << coarse << "    1   -1\n"
                                 << "  200    1    0.7500    2.0000    0.00001.9001.0000.8000.250    1\n"
                                 << fine << "    0    0\n";
  std::ofstream(dir / "NACA0012.DAT") << naca0012();
}

// A whole run in a scratch folder, from the run-name prompt to the status
// record, with the console held in memory.
void whole_run(benchmark::State& state, const std::string& name, void (*write)(const std::filesystem::path&)) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tarn-bench-" + name);
  std::filesystem::create_directories(dir);
  write(dir);
  std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  for (auto _ : state) {
    auto fs = std::make_unique<FlowState>();
    units().capture(kConsoleOut);
    units().feed(kConsoleIn, name + "\n");
    run_tarn(*fs);
    units().close_all();
  }
  std::filesystem::current_path(home);
  std::filesystem::remove_all(dir);
}

void BM_InviscidDefaultRun(benchmark::State& state) { whole_run(state, "INV", write_inviscid_run); }
BENCHMARK(BM_InviscidDefaultRun)->Unit(benchmark::kMillisecond);

// The bundled example: the set-up program's default viscous run of NACA 0012
// at M = 0.75 and 2 degrees.
void write_viscous_run(const std::filesystem::path& dir) {
  for (const char* ext : {".NAM", ".TIN"})
    std::filesystem::copy_file(std::string(TARN_SOURCE_DIR) + "/examples/NACA12" + ext, dir / (std::string("NACA12") + ext),
                               std::filesystem::copy_options::overwrite_existing);
  std::ofstream(dir / "NACA0012.DAT") << naca0012();
}

void BM_ViscousDefaultRun(benchmark::State& state) { whole_run(state, "NACA12", write_viscous_run); }
BENCHMARK(BM_ViscousDefaultRun)->Unit(benchmark::kMillisecond);

// Processor time of the program itself (start-up, files and all) on the
// bundled example, for tarn and for tarn_reference, the program built with
// the sweep before it was arranged for speed.
double program_seconds(const char* program, const std::filesystem::path& dir) {
  pid_t pid = fork();
  if (pid == 0) {
    int in = open((dir / "answer").c_str(), O_RDONLY), out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    execl(program, program, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage use{};
  if (pid < 0 || wait4(pid, &status, 0, &use) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1.0e-6 * static_cast<double>(t.tv_usec); };
  return seconds(use.ru_utime) + seconds(use.ru_stime);
}

void viscous_program(benchmark::State& state, const char* program) {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tarn-bench-program-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  write_viscous_run(dir);
  std::ofstream(dir / "answer") << "NACA12\n";
  for (auto _ : state) {
    double t = program_seconds(program, dir);
    if (t < 0.0) {
      state.SkipWithError("the program failed");
      break;
    }
    state.SetIterationTime(t);
  }
  std::filesystem::remove_all(dir);
}

void BM_ViscousProgram(benchmark::State& state) { viscous_program(state, TARN_PROGRAM); }
BENCHMARK(BM_ViscousProgram)->Unit(benchmark::kMillisecond)->UseManualTime();
void BM_ViscousProgramReference(benchmark::State& state) { viscous_program(state, TARN_REFERENCE_PROGRAM); }
BENCHMARK(BM_ViscousProgramReference)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
