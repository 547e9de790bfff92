#!/usr/bin/env bash
# How far the incidence of lift-targeted points is from its limit when the
# verdict says converged: a RAE 2822 study over M 0.5, 0.6, 0.7, 0.73 and
# CL 0.1 to 0.8 (R 6.5E6, transition at 0.03) as tarnsweep runs it, beside
# the same study with 1000 fine sweeps a run. For every point: the verdict and
# the tries, the incidence's range over the last updates (incidence_swing),
# and the differences in incidence and CDP from the long run; then the
# largest differences among converged points and the tries in all.
# Usage: tools/incidence-figures.sh [WORK_FOLDER]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-$top/build/incidence-figures}"
shared="${TARN_SHARED_DIR:-$top/../shared}"
cmake --build "$top/build" -j2 --target tarn tarnsweep > /dev/null
rm -rf "$work/default" "$work/long"
mkdir -p "$work"
study=("$shared/aerofoils/RAE2822.DAT" --mach 0.5,0.6,0.7,0.73 --cl 0.1:0.8:0.1 --re 6.5e6 --xtr 0.03 --jobs 2)
"$top/build/tarnsweep" "${study[@]}" --out "$work/default" > /dev/null 2>&1 || true
"$top/build/tarnsweep" "${study[@]}" --set NSF=1000 --out "$work/long" > /dev/null 2>&1 || true

# point mach alpha cdp verdict tries, one line a point, with the incidence swing
# (the columns by their names; the reason, last, may hold commas).
points() {
  awk -F, '/^#/ { next }
    !h { for (i = 1; i <= NF; i++) c[$i] = i; h = 1; next }
    { v = $c["verdict"]; gsub(/ /, "_", v); print $c["point"], $c["mach"], $c["alpha_deg"], $c["cdp"], v, $c["tries"] }' "$1/polar.csv" |
    while read -r point mach alpha cdp verdict tries; do
      swing="$(grep -o '"incidence_swing": [^,]*' "$1/points/$(printf %03d "$point")/result.json" | tail -1)"
      echo "$point $mach $alpha $cdp $verdict $tries ${swing#*: }"
    done
}

paste -d' ' <(points "$work/default") <(points "$work/long") | awk '
  BEGIN { printf "%5s %5s %8s %-14s %5s %9s %9s %8s\n", "point", "mach", "alpha", "verdict", "tries", "swing", "dalpha", "dcdp%" }
  {
    dalpha = $3 - $10; dcdp = 100 * ($4 - $11) / $11; tries += $6
    printf "%5d %5s %8.4f %-14s %5d %9.2e %9.5f %8.2f\n", $1, $2, $3, $5, $6, $7, dalpha, dcdp
    if ($5 == "converged") {
      if (dalpha < 0) dalpha = -dalpha; if (dcdp < 0) dcdp = -dcdp
      if (dalpha > worst_alpha) worst_alpha = dalpha; if (dcdp > worst_cdp) worst_cdp = dcdp
    }
  }
  END { printf "converged points: incidence within %.5f degrees, CDP within %.2f %% of the long runs; %d tries\n", worst_alpha, worst_cdp, tries }'
