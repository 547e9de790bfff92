// The retry policy of a point: from the verdicts of its tries so far to the
// next try. A try whose transition point was still moving ends them: that
// cycle settles with no numerics. A try that ended with results but did not
// converge is continued from the flow field it dumped, with its own
// numerics and a longer fine stage, unless, itself a continuation, it came
// too little nearer convergence. Otherwise a new run follows with safer
// numerics, while each brings the point nearer; when those are spent, or
// one brought it no nearer, starts from converged neighbours (rescue.cpp),
// on the same terms. A try whose coupling cycles is ended as it runs.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "point.h"
#include "run_stop.h"

namespace tarn::sweep {

namespace fs = std::filesystem;

namespace {

// Safer numerics: the over-relaxation XS falls to these values (never
// rising), the coarse and fine stages grow by these factors (a coarse stage
// of at least kLeastCoarse sweeps), the coupling factors shrink by these.
struct Safer {
  float xs;
  int32_t sweeps;  // factor on NSC and NSF
  float coupling;  // factor on GVISCC and GVISCF
};
constexpr Safer kSafer[] = {{1.7f, 2, 0.5f}, {1.5f, 3, 0.25f}, {1.3f, 4, 0.25f}};
constexpr bool sweeps_fit() {
  for (const Safer& r : kSafer)
    if (r.sweeps > kMostSweepsFactor) return false;
  return true;
}
static_assert(sweeps_fit(), "the run-data fields are checked for kMostSweepsFactor times the sweeps");
constexpr int32_t kLeastCoarse = 100;
constexpr int32_t kContinuedSweeps = 2;  // a continuation's fine stage, in fine stages of the point
constexpr size_t kMostTries = 12;
static_assert(kContinuedSweeps <= kMostSweepsFactor);
// A continuation is continued again only when it brought the run at least
// this much nearer convergence (its distance this share of the one before).
// The next safer numerics follow the last only on the same terms: the
// nearest its run and their continuations came, this share of the nearest
// of every try before them; and so does the start from the next neighbour
// follow the last (on the map, as run, --cold and with three times the
// fine sweeps, and the 40-point study, no point converged on a second
// neighbour's field). A point the safer numerics bring no nearer is
// held by something they do not reach, a viscous drag that wanders by
// 1E-6 an update or a correction stuck at one grid point, and the later
// ones only repeat it: on the robustness map of tools/sweep-figures.sh, no
// point converged on safer numerics that followed a try which came no
// nearer, and RAE 2822 at M 0.6 alpha 5, stuck at 17 times its tolerance
// through every safer run, converged at once from its neighbour's field.
constexpr float kProgress = 0.5f;

// A coupling that cycles: every transpiration change of the last
// kCyclingUpdates updates of the stage at least kCyclingChange (the
// transpiration moving by its own size between updates, where the
// tolerance is some 1E-3) and the later half of them no smaller than the
// earlier, taken by the mean of their logarithms. Such a coupling flips the
// layer between separated states from one update to the next; more sweeps of
// the same numerics do not settle it, and a continuation from its field
// cycles at once (robustness map of tools/sweep-figures.sh and the 40-point
// study of tools/program-figures.sh: no try that met this, or whose
// continuation did, led to convergence; the tries that did converge stayed
// below half this change).
constexpr float kCyclingChange = 0.6f;
constexpr int32_t kCyclingUpdates = 30;

bool coupling_cycles(const Monitor& m) {
  if (m.UPDATES < kCyclingUpdates) return false;
  float earlier = 0.0f, later = 0.0f;
  for (int32_t k = 0; k < kCyclingUpdates; ++k) {
    float change = m.CHANGE(Monitor::slot(m.UPDATES - k));
    if (!(change >= kCyclingChange)) return false;
    (k < kCyclingUpdates / 2 ? later : earlier) += std::log(change);
  }
  return later >= earlier;
}

// A new run with the safer numerics `r`.
RunAnswers safer_run(const RunAnswers& base, const Safer& r, Json& changes) {
  RunAnswers a = base;
  std::vector<std::pair<const char*, float>> c = {
      {"XS", std::min(base.XS, r.xs)},
      {"NSC", static_cast<float>(std::max(base.NSC, kLeastCoarse) * r.sweeps)},
      {"NSF", static_cast<float>(base.NSF * r.sweeps)}};
  if (base.viscous == 1) {
    c.emplace_back("GVISCC", base.GVISCC * r.coupling);
    c.emplace_back("GVISCF", base.GVISCF * r.coupling);
  }
  changes = Json::object();
  for (const auto& [name, value] : c) {
    set_numerical_parameter(a, name, value);
    changes[name] = number(value);
  }
  return a;
}

// A continuation of try `t` (run with answers `from`) from the field it
// dumped, copied in as NAMETk.UNF.
RunAnswers continuation(const RunAnswers& base, const RunAnswers& from, const TryRecord& t, Json& changes) {
  RunAnswers a = continued_from(from, fs::path(t.folder) / (from.name + ".UNF"),
                                from.name + "T" + std::to_string(t.number) + ".UNF", base.NSF * kContinuedSweeps);
  changes = {{"continue_from_try", t.number}, {"NSC", a.NSC}, {"NSF", a.NSF}};
  if (a.XS != base.XS) changes["XS"] = number(a.XS);
  if (a.GVISCF != base.GVISCF) changes["GVISCF"] = number(a.GVISCF);
  if (a.ICL == 1) {
    // Lift targeting goes on from the incidence the try reached.
    a.ALP = t.judgement.coefficients.at("alpha").get<float>();
    changes["ALP"] = number(a.ALP);
  }
  return a;
}

// The nearest convergence of tries [from, to).
float nearest(const std::vector<TryRecord>& tries, size_t from, size_t to) {
  float d = INFINITY;
  for (size_t k = from; k < to; ++k) d = std::fmin(d, tries[k].judgement.distance);
  return d;
}

// The last try that started afresh or from a neighbour's field: the last
// that is not a continuation of a try of the point.
size_t last_start(const std::vector<TryRecord>& tries) {
  size_t start = tries.size() - 1;
  while (start > 0 && tries[start].changes.contains("continue_from_try")) --start;
  return start;
}

// Whether the last start, with its continuations, came kProgress nearer
// convergence than every try before it. Tries that all ended without
// results tell nothing of the way, and the next numerics may still find
// results.
bool start_came_nearer(const std::vector<TryRecord>& tries) {
  size_t start = last_start(tries);
  float before = nearest(tries, 0, start);
  return !std::isfinite(before) || nearest(tries, start, tries.size()) < kProgress * before;
}

// Whether the wave drag's creep is what keeps the try farthest from
// convergence. Such a try is continued, up to the most tries, however
// little nearer it came: the slow mode the wave drag creeps with nears its
// limit by about half the way over a continuation, and its estimate can
// read more after the first continuation than before it, while safer
// numerics, which start afresh, can settle on another shock (RAE 2822 at
// M 0.75 alpha 2: CL 7.6E-4 and CD2 6E-5 from a run of ten times the fine
// sweeps, where its continuations came to within 2E-5).
bool wave_drag_creeps(const Judgement& j) {
  const Json& f = j.figures;
  if (!f.contains("wave_drag_to_go") || !f["wave_drag_to_go"].is_number()) return false;
  return f["wave_drag_to_go"].get<float>() / f["wave_drag_to_go_tolerance"].get<float>() >= j.distance;
}

}  // namespace

NextTry next_try(const Retries& r, const std::vector<TryRecord>& tries, bool dumped) {
  const TryRecord& t = tries.back();
  if (tries.size() >= kMostTries || t.judgement.status == kConverged) return NextTry::kNone;
  if (t.judgement.transition_moves) return NextTry::kNone;  // a switching transition settles with no numerics
  bool continued = t.judgement.has_results && dumped;
  float before = tries.size() > 1 ? tries[tries.size() - 2].judgement.distance : INFINITY;
  bool stalled = continued && t.changes.contains("continue_from_try") &&
                 !(t.judgement.distance <= kProgress * before) &&
                 !wave_drag_creeps(t.judgement);
  if (continued && !stalled) return NextTry::kContinue;
  if (r.rung < std::size(kSafer) && (r.rung == 0 || start_came_nearer(tries))) return NextTry::kSafer;
  if (tries[last_start(tries)].changes.contains("continue_from_point") && !start_came_nearer(tries))
    return NextTry::kNone;
  return NextTry::kNeighbour;
}

bool study_stop(const FlowState& fs) {
  if (fs.run.IVP != 0 && coupling_cycles(fs.mon)) {
    char words[160];
    std::snprintf(words, sizeof words,
                  "the coupling cycles: its change stayed at %.1E or more over the last %d updates without falling",
                  static_cast<double>(kCyclingChange), static_cast<int>(kCyclingUpdates));
    throw RunStop(words, kExitFailure);
  }
  return tests_hold(fs);
}

Retries rescue_retries(const RunAnswers& base) { return {base, base, std::size(kSafer)}; }

RunAnswers retry_answers(Retries& r, NextTry kind, const TryRecord& last, Json& changes) {
  r.last = kind == NextTry::kContinue ? continuation(r.base, r.last, last, changes)
                                      : safer_run(r.base, kSafer[r.rung++], changes);
  return r.last;
}

RunAnswers continued_from(const RunAnswers& from, const fs::path& dump, const std::string& copy, int32_t nsf) {
  fs::copy_file(dump, copy, fs::copy_options::overwrite_existing);
  RunAnswers a = from;
  a.newrun = 0;
  a.input = copy;
  a.NSC = 0;
  a.NSF = nsf;
  return a;
}

}  // namespace tarn::sweep
