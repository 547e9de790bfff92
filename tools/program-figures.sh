#!/usr/bin/env bash
# Program-level speed of two builds, run alternately so that both see the
# same load: the medians of wall time and of processor time (the program and
# its child processes, by perf stat) of
#   example  tarn on the bundled example (NACA 0012, M 0.75, 2 degrees, viscous);
#   polar    tarnsweep's 10-point polar (NACA 0012, M 0.5, alpha 0 to 9,
#            viscous, R 6E6, transition 0.05, 160 lines, 2 jobs);
#   study    the same at M 0.3, 0.5, 0.6 and 0.7: 40 points (not in all).
# Usage: tools/program-figures.sh OLD_BUILD [NEW_BUILD [ROUNDS [example|polar|study|all]]]
# OLD_BUILD is the build folder of the version compared against (the programs
# tarn, tarnfoil and tarnsweep in it); NEW_BUILD defaults to this checkout's build.
# The polar's aerofoil is read from ../shared beside the checkout, or from
# TARN_SHARED_DIR.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
old="$(cd "$1" && pwd)"
new="$(cd "${2:-$top/build}" && pwd)"
rounds="${3:-20}"
what="${4:-all}"
shared="${TARN_SHARED_DIR:-$top/../shared}"
[ -d "$shared/aerofoils" ] || { echo "program-figures: no reference aerofoils in $shared/aerofoils (set TARN_SHARED_DIR)" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
command -v perf > /dev/null || { echo "perf (linux-perf) is needed for the processor times" >&2; exit 2; }

# One run: appends "wall_us cpu_us" to the file $1 (the elapsed time and the
# task clock that perf stat measures around the command); the command is the rest.
timed() {
  local out="$1" stat="$work/stat"
  shift
  perf stat -e task-clock -o "$stat" -- "$@" > /dev/null 2>&1 || true
  awk '/task-clock/ { cpu = $1 } /seconds time elapsed/ { wall = $1 }
       END { printf "%d %d\n", wall * 1e6, cpu * 1e3 }' "$stat" >> "$out"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Medians of the two builds' records and their ratio new/old.
report() {
  local name="$1" wo co wn cn
  wo=$(cut -d' ' -f1 "$work/$name.old" | median); co=$(cut -d' ' -f2 "$work/$name.old" | median)
  wn=$(cut -d' ' -f1 "$work/$name.new" | median); cn=$(cut -d' ' -f2 "$work/$name.new" | median)
  awk -v n="$name" -v r="$rounds" -v wo="$wo" -v co="$co" -v wn="$wn" -v cn="$cn" 'BEGIN {
    printf "%-8s %3d runs each   wall: old %7.1f ms, new %7.1f ms, new/old %.2f   processor: old %7.1f ms, new %7.1f ms, new/old %.2f\n",
      n, r, wo / 1000, wn / 1000, wn / wo, co / 1000, cn / 1000, cn / co }'
}

# Alternates the builds (old first in odd rounds, new first in even ones).
compare() {
  local name="$1" k
  shift
  for k in $(seq "$rounds"); do
    if [ $((k % 2)) = 1 ]; then "$@" old; "$@" new; else "$@" new; "$@" old; fi
  done
  report "$name"
}

example_run() { (cd "$work/example" && timed "$work/example.$1" "${!1}/tarn" NACA12); }
polar_run() {
  rm -rf "$work/polar"
  timed "$work/polar.$1" "${!1}/tarnsweep" "$shared/aerofoils/NACA0012.DAT" --mach 0.5 --alpha 0:9:1 --jobs 2 \
    --out "$work/polar"
}
study_run() {
  rm -rf "$work/study"
  timed "$work/study.$1" "${!1}/tarnsweep" "$shared/aerofoils/NACA0012.DAT" --mach 0.3,0.5,0.6,0.7 --alpha 0:9:1 \
    --jobs 2 --out "$work/study"
}

echo "old: $old"
echo "new: $new"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes; $(nproc) cores)"
if [ "$what" = example ] || [ "$what" = all ]; then
  mkdir -p "$work/example"
  cp "$top/examples/NACA12.NAM" "$top/examples/NACA12.TIN" "$work/example/"
  "$new/tarnfoil" naca 0012 --closed > "$work/example/NACA0012.DAT"
  compare example example_run
fi
if [ "$what" = polar ] || [ "$what" = all ]; then compare polar polar_run; fi
if [ "$what" = study ]; then compare study study_run; fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
