#!/usr/bin/env bash
# Plants plausible one-line faults in the figures a user reads, one at a
# time, and lists the tests each one fails: a fault that fails no test, or
# only the output checksums and the guide excerpts (which an intended change
# of results regenerates), is a figure the suite does not defend.
#
#     tools/fault-check.sh [BUILD]        (default build folder: build)
#
# Each fault is planted in the working tree, the build folder is rebuilt and
# the test binary run; the file is then put back as it was, also when the
# script is interrupted, and the build is brought back at the end. A fault
# whose text is no longer in its file is reported as such. It takes about a
# minute a fault on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
[ -x "$build/tests/tarn_tests" ] || { echo "no test binary in $build: build first" >&2; exit 2; }

# file | text | faulty text | what the fault does
faults=$(cat <<'EOF'
foil/naca.cpp|x = xc - side * yt * std::sin(slope);|x = xc + side * yt * std::sin(slope);|NACA thickness laid off the wrong way in x
sweep/verdict.cpp|kCorrectionTolerance = 1.0e-4f|kCorrectionTolerance = 1.0e-3f|verdict's correction tolerance tenfold
sweep/verdict.cpp|kLiftTolerance = 1.0e-3f|kLiftTolerance = 1.0e-2f|verdict's lift tolerance tenfold
sweep/verdict.cpp|below(change, tolerance, t.j.distance)|below(change, 10.0f * tolerance, t.j.distance)|verdict's coupling tolerance tenfold
sweep/verdict.cpp|c.cd1 = m.CD1;|c.cd1 = m.CD2;|CD2 given as CD1 in the study results
sweep/verdict.cpp|c.cd = viscous ? m.CDV + m.CD2 : m.CD2;|c.cd = viscous ? m.CDV + m.CD1 : m.CD2;|study's total drag with CD1
sweep/polar.cpp|"cdv", "cd1", "cd2", "cd",|"cdv", "cd2", "cd1", "cd",|CD1 and CD2 swapped in polar.csv
solver/results/surface.cpp|fxi * (r.X(i) - kMomentCentre) + fyi * r.Y(i)|fxi * (r.X(i) - kMomentCentre) - fyi * r.Y(i)|CM: sign of the z-arm term
solver/results/surface.cpp|fxi * (r.X(i) - kMomentCentre) + fyi * r.Y(i)|-fxi * (r.X(i) - kMomentCentre) + fyi * r.Y(i)|CM: sign of the x-arm term
solver/results/surface.cpp|r.CDP = bx * ca + by * sa;|r.CDP = bx * ca - by * sa;|CDP: sign of the lift-axis term
solver/results/coupling.cpp|c.CDF += 0.5f *|c.CDF += 0.45f *|CDF 10 % low
solver/results/coupling.cpp|c.CDV = 2.0f * (c.THETAEND[0] + c.THETAEND[1]);|c.CDV = 1.8f * (c.THETAEND[0] + c.THETAEND[1]);|CDV 10 % low
solver/results/coupling.cpp|c.CDV + r.CD1, c.CDV + r.CD2};|c.CDV + r.CD2, c.CDV + r.CD1};|CDV+CD1 and CDV+CD2 swapped in the summary
sweep/polar.cpp|"cd", "xtr_upper", "xtr_lower"}|"cd", "xtr_lower", "xtr_upper"}|transition columns swapped in polar.csv
solver/results/coupling.cpp|float xt[2] = {c.XTU, c.XTL}|float xt[2] = {c.XTL, c.XTU}|upper and lower transition swapped
solver/results/coupling.cpp|bl.X(bl.ITR[j - 1], j) : 1.0f;|bl.X(bl.ITR[j - 1] + 1, j) : 1.0f;|transition reported one station late
solver/wave_drag/wave_drag.cpp|float q = 0.243f * rise|float q = 0.2f * rise|wave drag 18 % low
solver/wave_drag/wave_drag.cpp|out.cd2 = ks * out.cd1 / upstream_mean_curvature(s, is, m1);|out.cd2 = out.cd1 * upstream_mean_curvature(s, is, m1) / ks;|CD2's curvature ratio inverted
solver/wave_drag/wave_drag.cpp|float m1 = 2.0f * M(s.up(is, 1)) - M(s.up(is, 2));|float m1 = M(s.up(is, 1));|pre-shock Mach number not extrapolated
EOF
)

backup=$(mktemp)
planted=""
restore() {
  if [ -n "$planted" ]; then cp "$backup" "$planted"; planted=""; fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'exit 130' INT TERM

printf '%-45s %s\n' "fault" "tests failed (besides checksums and guide) / checksums or guide only"
while IFS='|' read -r file text faulty what; do
  [ -n "$file" ] || continue
  if [ "$(grep -cF -- "$text" "$file" || true)" != 1 ]; then
    printf '%-45s %s\n' "$what" "(text not found once in $file: not planted)"
    continue
  fi
  cp "$file" "$backup"
  planted="$file"
  content=$(cat "$file"; printf x)
  content=${content%x}
  printf '%s' "${content/"$text"/"$faulty"}" > "$file"
  if ! cmake --build "$build" -j2 > /dev/null 2>&1; then
    restore
    printf '%-45s %s\n' "$what" "(does not build)"
    continue
  fi
  failed=$({ "$build/tests/tarn_tests" --gtest_brief=1 2>&1 || true; } | sed -n 's/^\[  FAILED  \] \([^ ,]*\).*/\1/p' | sort -u)
  restore
  independent=$(grep -v -e 'OutputChecksums' -e '^Guide\.' <<< "$failed" | tr '\n' ' ' || true)
  regenerated=$(grep -e 'OutputChecksums' -e '^Guide\.' <<< "$failed" | wc -l || true)
  if [ -n "$independent" ]; then
    printf '%-45s %s\n' "$what" "$independent"
  elif [ "$regenerated" -gt 0 ]; then
    printf '%-45s %s\n' "$what" "NONE; $regenerated checksum or guide tests only"
  else
    printf '%-45s %s\n' "$what" "NONE"
  fi
done <<< "$faults"
cmake --build "$build" -j2 > /dev/null
