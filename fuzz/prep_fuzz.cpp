// Fuzz target of tarnprep's dialogue: the input is its standard input. When
// the dialogue completes, the run files it wrote must hold no field of
// asterisks and must read back: the names file through the solver's reader,
// and the whole run, with its stages shortened, through tarn among the stock
// files (NACA0012.DAT, the dump CASE.UNF).
#include <filesystem>

#include "harness.h"
#include "prep.h"
#include "run/run.h"
#include "units.h"

namespace {

using namespace tarn;

constexpr size_t kTitleText = 5;  // the title record (I5, A68): the text after the IVP field

// The run name of the files written: the one run-name file in the folder.
std::string written_run() {
  for (const auto& entry : std::filesystem::directory_iterator("."))
    if (entry.path().extension() == ".SIR") return entry.path().stem().string();
  fuzz::broken("tarnprep ended normally and wrote no run-name file");
}

// Every field but the free text of the title.
void check_no_asterisks(const std::string& file, const std::string& text, size_t free_from, size_t free_to) {
  size_t star = text.find('*');
  while (star != std::string::npos && star >= free_from && star < free_to) star = text.find('*', star + 1);
  if (star != std::string::npos) fuzz::broken("tarnprep wrote a field of asterisks in " + file + ":\n" + text);
}

void check_read_back(const std::string& name) {
  std::string nam, tin, sir;
  if (!fuzz::read_file(name + ".NAM", nam) || !fuzz::read_file(name + ".TIN", tin) ||
      !fuzz::read_file(name + ".SIR", sir))
    fuzz::broken("tarnprep ended normally without writing the three run files of " + name);
  check_no_asterisks(name + ".NAM", nam, 0, 0);
  check_no_asterisks(name + ".SIR", sir, 0, 0);
  check_no_asterisks(name + ".TIN", tin, kTitleText, tin.find('\n'));

  units().feed(kNames, nam);
  try {
    read_names_file();
  } catch (const RunStop& stop) {
    fuzz::broken("the names file that tarnprep wrote cannot be read: " + std::string(stop.what()));
  }
  fuzz::write_file(name + ".TIN", fuzz::short_stages(tin));
  fuzz::RunEnd end = fuzz::run_and_check(name);
  for (const std::string& file : {name + ".NAM", name + ".TIN", std::string("run-data file")})
    if (end.message.find(file) != std::string::npos)
      fuzz::broken("tarn cannot read back the run files that tarnprep wrote: " + end.message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::RunScope scope;
  units().feed(kConsoleIn, fuzz::as_text(data, size));
  int status = kExitFailure;
  try {
    status = run_tarnprep();
  } catch (const RunStop&) {
    return 0;
  }
  units().close_all();
  if (status == kExitOk) check_read_back(written_run());
  return 0;
}
