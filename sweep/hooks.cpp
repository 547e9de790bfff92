// The pictures of a study: a point's plots once its results are written,
// the study plots and the report once the polar is written, and the
// commands that draw them again (--report) or draw an ordinary run (--plot).
// A picture that cannot be drawn is reported and never changes a point's
// verdict or the study's exit status.
#include <iostream>

#include "files.h"
#include "plot.h"

namespace tarn::sweep {

void point_finished(const std::string& folder) {
  try {
    plot::write_point_plots(folder);
  } catch (const std::exception& e) {
    std::cerr << "tarnsweep: the plots of " << folder << " are not drawn: " << e.what() << '\n';
  }
}

void study_finished(const std::string& dir) {
  try {
    plot::write_study_report(dir, false);
  } catch (const std::exception& e) {
    std::cerr << "tarnsweep: the report of " << dir << " is not written: " << e.what() << '\n';
  }
}

int redraw_report(const std::string& dir, const std::vector<std::string>& compare,
                  const std::vector<std::string>& overlays) {
  read_study(dir);
  FolderLock lock(dir, kStudyLock, "drawing the report", false);  // not while the study writes it
  std::cout << plot::write_study_report(dir, true, {compare, overlays}) << '\n';
  return kSweepConverged;
}

int plot_run(const std::string& name) {
  for (const std::string& file : plot::plot_run(name)) std::cout << file << '\n';
  return kSweepConverged;
}

}  // namespace tarn::sweep
