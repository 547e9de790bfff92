// Where the plots of a point and the report of a study are drawn once their
// results are written. Nothing is drawn yet.
#include "sweep.h"

namespace tarn::sweep {

void point_finished(const std::string& folder) { (void)folder; }

void study_finished(const std::string& dir) { (void)dir; }

}  // namespace tarn::sweep
