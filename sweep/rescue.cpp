// The neighbour rescue: when the safer numerics fail too, the run starts
// again from the converged flow field of a neighbouring point of the study
// (the next-lower incidence or lift at the same Mach number, then the
// next-lower Mach number): its shock and boundary layer lie near this
// point's, where a start from the free stream overshoots. Only the
// neighbours' own tries count, never a rescue of theirs, so that the start
// of a point does not depend on the order in which the points ran: the
// rescues are a second pass, after the first pass of every neighbour.
#include "point.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

// The fine stage of a start from a neighbour is kNeighbourSweeps fine stages
// of the point, with XS at most kNeighbourXs and the fine coupling factor
// shrunk by kNeighbourCoupling.
constexpr int32_t kNeighbourSweeps = 4;
constexpr float kNeighbourXs = 1.7f;
constexpr float kNeighbourCoupling = 0.5f;
static_assert(kNeighbourSweeps <= kMostSweepsFactor);

}  // namespace

float swept_value(const Point& p) { return p.lift_given ? p.cl : p.alpha; }

std::vector<Neighbour> lower_neighbours(const std::string& folder, const Point& p) {
  fs::path point = fs::absolute(folder).lexically_normal();
  if (point.filename().empty()) point = point.parent_path();  // given with a trailing slash
  fs::path dir = point.parent_path().parent_path();
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

std::vector<Start> neighbour_starts(const std::vector<Neighbour>& neighbours, std::string& waiting) {
  std::vector<Start> starts;
  waiting.clear();
  for (const Neighbour& n : neighbours) {
    fs::path result = n.folder / kResultFile, dump = n.folder / (n.name + ".UNF");
    if (!fs::exists(result)) {
      if (!fs::exists(n.folder / kFirstPassFile)) {
        waiting = "waiting for point " + std::to_string(n.number) + ", whose own tries have not ended";
        return {};
      }
      continue;  // not converged on its own tries
    }
    try {
      PointResult r = read_result(result.string());
      bool own = true;
      for (const TryResult& t : r.tries) own = own && !t.changes.contains("continue_from_point");
      if (own && r.status == kConverged && fs::exists(dump)) starts.push_back({n, dump, r.coefficients.alpha});
    } catch (const std::exception&) {
      // A result that cannot be read offers no start.
    }
  }
  return starts;
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
