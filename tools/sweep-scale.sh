#!/usr/bin/env bash
# What a study costs at scale:
#  1. files and bytes per point of a study of 1000 points run on this
#     machine (NACA 0012, viscous, 160 lines, M 0.5 to 0.785 by 0.015 and
#     0 to 4.9 degrees by 0.1: subsonic points that converge at once and
#     transonic ones that need retries or fail), by verdict;
#  2. the time of tarnsweep --collect over a study of 100,000 finished
#     points, made by planning the study and giving every point folder the
#     result and tables of one finished point.
# Usage: tools/sweep-scale.sh BUILD [WORK] [--keep-tries]; WORK defaults to a
# temporary folder, removed at the end. On the 2-core development machine,
# loaded: 20.4 files and 0.25 MB a point (converged 19.3 files, 0.21 MB;
# not converged, tries kept, 50 files, 1.2 MB); --collect over 100,000
# points 21 s of user time (2 min 38 s wall).
set -euo pipefail
build=$(cd "${1:?give the build folder}" && pwd)
keep_work=${2:-}
work=${2:-$(mktemp -d)}
shift $(( $# < 2 ? $# : 2 ))
mkdir -p "$work"
cd "$work"
"$build/tarnfoil" naca 0012 --closed -o NACA0012.DAT --force > /dev/null

# 1. A study of 1000 points.
rm -rf study1000
start=$(date +%s.%N)
"$build/tarnsweep" NACA0012.DAT --mach 0.5:0.785:0.015 --alpha 0:4.9:0.1 "$@" --out study1000 > run.txt 2> /dev/null || true
end=$(date +%s.%N)
tail -1 run.txt
printf 'run in %.0f s\n' "$(echo "$end - $start" | bc)"
python3 - study1000 <<'PY'
import json, os, sys
root = os.path.join(sys.argv[1], "points")
by = {}
for point in sorted(os.listdir(root)):
    folder = os.path.join(root, point)
    if not os.path.isdir(folder):
        continue
    files = size = 0
    for base, _, names in os.walk(folder):
        for n in names:
            files += 1
            size += os.path.getsize(os.path.join(base, n))
    try:
        verdict = json.load(open(os.path.join(folder, "result.json")))["verdict"]["status"]
    except OSError:
        verdict = "pending"
    by.setdefault(verdict, []).append((files, size))
every = [x for v in by.values() for x in v]
def line(name, xs):
    print(f"{name:14s} {len(xs):5d} points: {sum(f for f, _ in xs) / len(xs):6.1f} files, "
          f"{sum(s for _, s in xs) / len(xs) / 1e6:6.3f} MB a point (most {max(f for f, _ in xs)} files, "
          f"{max(s for _, s in xs) / 1e6:.3f} MB)")
for name in sorted(by):
    line(name, by[name])
line("all", every)
PY

# 2. --collect over 100,000 finished points.
rm -rf study100k
"$build/tarnsweep" NACA0012.DAT --mach 0.5:0.599:0.001 --alpha 0:9.99:0.01 --plan-only --out study100k > /dev/null
python3 - study1000/points/001 study100k/points <<'PY'
import os, shutil, sys
finished, root = sys.argv[1], sys.argv[2]
result = open(os.path.join(finished, "result.json")).read()
for point in os.listdir(root):
    folder = os.path.join(root, point)
    with open(os.path.join(folder, "result.json"), "w") as f:
        f.write(result.replace('"point": 1,', f'"point": {int(point)},', 1))
    for table in ("surface.csv", "wake.csv"):
        shutil.copyfile(os.path.join(finished, table), os.path.join(folder, table))
PY
start=$(date +%s.%N)
"$build/tarnsweep" --collect study100k | head -1
end=$(date +%s.%N)
printf -- '--collect over %d finished points: %.1f s\n' "$(ls study100k/points | wc -l)" "$(echo "$end - $start" | bc)"
[ -n "$keep_work" ] || rm -rf "$work"
