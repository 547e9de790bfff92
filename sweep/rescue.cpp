// The neighbour rescue: when the safer numerics fail too, the run starts
// again from the converged flow field of a neighbouring point of the study
// (the next-lower incidence or lift at the same Mach number, then the
// next-lower Mach number): its shock and boundary layer lie near this
// point's, where a start from the free stream overshoots.
#include <chrono>
#include <thread>

#include "point.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The fine stage of a start from a neighbour is kNeighbourSweeps fine stages
// of the point, with XS at most kNeighbourXs and the fine coupling factor
// shrunk by kNeighbourCoupling.
constexpr int32_t kNeighbourSweeps = 4;
constexpr float kNeighbourXs = 1.7f;
constexpr float kNeighbourCoupling = 0.5f;
// A neighbour still running is waited for, this long at most, so that the
// point's result does not hang on which of the two finished first.
constexpr double kNeighbourWait = 300.0;
constexpr auto kNeighbourPoll = std::chrono::milliseconds(100);

float swept_value(const Point& p) { return p.lift_given ? p.cl : p.alpha; }

}  // namespace

std::vector<Neighbour> lower_neighbours(const std::string& folder, const Point& p) {
  fs::path dir = fs::absolute(folder).lexically_normal().parent_path().parent_path();
  std::vector<Point> points;
  try {
    if (fs::exists(dir / kStudyFile)) points = points_of(read_study(dir.string()));
  } catch (const std::exception&) {
    return {};
  }
  const Point *in_value = nullptr, *in_mach = nullptr;
  for (const Point& q : points) {
    if (q.mach == p.mach && swept_value(q) < swept_value(p) && (!in_value || swept_value(q) > swept_value(*in_value)))
      in_value = &q;
    if (swept_value(q) == swept_value(p) && q.mach < p.mach && (!in_mach || q.mach > in_mach->mach)) in_mach = &q;
  }
  std::vector<Neighbour> n;
  for (auto [q, tag] : {std::pair{in_value, "NA"}, {in_mach, "NM"}})
    if (q) n.push_back({q->number, dir / q->folder, run_name(q->number), tag});
  return n;
}

bool converged_dump(const Neighbour& n, fs::path& dump, float& alpha) {
  fs::path result = n.folder / kResultFile;
  auto start = Clock::now();
  auto running = [&] { return fs::exists(n.folder / (n.name + ".NAM")) || fs::exists(n.folder / try_folder(1)); };
  while (!fs::exists(result) && running() &&
         std::chrono::duration<double>(Clock::now() - start).count() < kNeighbourWait)
    std::this_thread::sleep_for(kNeighbourPoll);
  dump = n.folder / (n.name + ".UNF");
  try {
    Json r = read_json(result.string());
    if (r.at("verdict").at("status") != kConverged || !fs::exists(dump)) return false;
    alpha = r.at("coefficients").at("alpha").get<float>();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

RunAnswers from_neighbour(const RunAnswers& base, const Neighbour& n, const fs::path& dump, float alpha,
                          Json& changes) {
  RunAnswers a = continued_from(base, dump, base.name + n.tag + ".UNF", base.NSF * kNeighbourSweeps);
  a.XS = std::min(base.XS, kNeighbourXs);
  changes = {{"continue_from_point", n.number}, {"NSC", a.NSC}, {"NSF", a.NSF}, {"XS", number(a.XS)}};
  if (base.viscous == 1) {
    a.GVISCF = base.GVISCF * kNeighbourCoupling;
    changes["GVISCF"] = number(a.GVISCF);
  }
  if (a.ICL == 1) {
    a.ALP = alpha;
    changes["ALP"] = number(a.ALP);
  }
  return a;
}

}  // namespace tarn::sweep
