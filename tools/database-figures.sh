#!/usr/bin/env bash
# How the files of the database sample fare: each is run as a one-point
# inviscid study (M 0.3, alpha 2 deg, 160 lines) and reported in one row:
#   accepted or the refusal; the last MAX S ERROR of the mapping (from the
#   listing of the point's result); the largest distance of the solver's
#   surface (surface.csv) from the polygon through the points of the study's
#   aerofoil data file (scaled as tarn scales it, by the chord of its counts
#   record) and, where the build reports it, from the contour tarn splines
#   through them (the verdict's figure); the verdict and CL; and the angle
#   of the file's chord line (leading edge to the middle of the trailing
#   edge) where the build tells it: incidences are measured from the file's
#   x axis, so that CL differs by about 0.11 a degree of it from a build that
#   levelled every section.
# Usage: tools/database-figures.sh [BUILD_FOLDER] [WORK_FOLDER]
# BUILD_FOLDER holds tarnsweep (default build/); the sample is read from
# ../shared beside the checkout, or from the folder TARN_SHARED_DIR names.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$top/build}" && pwd)"
work="${2:-$build/database-figures}"
shared="${TARN_SHARED_DIR:-$top/../shared}"
sample="$shared/aerofoils/database-sample"
[ -d "$sample" ] || { echo "database-figures: no database sample in $sample (set TARN_SHARED_DIR)" >&2; exit 2; }
rm -rf "$work"
mkdir -p "$work"

# Largest distance of the points of surface.csv from the polygon of an
# aerofoil data file (native form: title, counts record, upper then lower
# surface from the leading edge; a symmetric file gives the upper only).
distance() {
  awk '
    FNR == 1 { file++ }
    file == 1 && FNR == 2 { sym = $1; nu = $2; nl = $3; xle = $4; c = $5 - $4; next }
    file == 1 && FNR > 2 && NF >= 2 { n++; x[n] = ($1 - xle) / c; z[n] = $2 / c; next }
    file == 2 && FNR > 1 { split($0, f, ","); m++; px[m] = f[2]; pz[m] = f[3] }
    END {
      # the outline: upper from the trailing edge to the leading edge, then the lower
      k = 0
      for (i = nu; i >= 1; i--) { k++; ox[k] = x[i]; oz[k] = z[i] }
      if (sym == 1) for (i = 2; i <= nu; i++) { k++; ox[k] = x[i]; oz[k] = -z[i] }
      else for (i = nu + 2; i <= nu + nl; i++) { k++; ox[k] = x[i]; oz[k] = z[i] }
      worst = 0
      for (j = 1; j <= m; j++) {
        best = 1e30
        for (i = 1; i < k; i++) {
          dx = ox[i + 1] - ox[i]; dz = oz[i + 1] - oz[i]; l2 = dx * dx + dz * dz
          t = l2 > 0 ? ((px[j] - ox[i]) * dx + (pz[j] - oz[i]) * dz) / l2 : 0
          if (t < 0) t = 0; if (t > 1) t = 1
          ex = px[j] - ox[i] - t * dx; ez = pz[j] - oz[i] - t * dz; d = sqrt(ex * ex + ez * ez)
          if (d < best) best = d
        }
        if (best > worst) worst = best
      }
      printf "%.5f", worst
    }' "$1" "$2"
}

printf '%-14s %-8s %11s %9s %9s %-14s %8s %8s  %s\n' file accepted "map error" polygon outline verdict CL chord refusal
for f in "$sample"/*.dat; do
  name="$(basename "$f" .dat)"
  study="$work/$name"
  if "$build/tarnsweep" "$f" --mach 0.3 --alpha 2 --inviscid --out "$study" --jobs 1 > "$work/$name.out" 2> "$work/$name.err" ||
     [ -f "$study/points/001/result.json" ]; then
    point="$study/points/001"
    dat="$(ls "$study"/*.DAT | head -1)"
    serr="$(grep 'MAPPING ITERATION' "$point"/P001.FUL | tail -1 | awk '{print $NF}')"
    dist="$( [ -f "$point/surface.csv" ] && distance "$dat" "$point/surface.csv" || echo -)"
    verdict="$(grep -A1 '"verdict"' "$point/result.json" | sed -n 's/.*"status": "\(.*\)".*/\1/p')"
    cl="$(sed -n '/"coefficients"/,/}/s/.*"cl": \([-0-9.e]*\).*/\1/p' "$point/result.json" | head -1)"
    own="$(sed -n 's/.*"outline_distance": \([-0-9.e]*\).*/\1/p' "$point/result.json" | tail -1)"
    [ -n "$own" ] && own="$(printf '%.5f' "$own")" || own=-
    angle="$(sed -n 's/.*the chord line rises \([-0-9.]*\) degrees.*/\1/p' "$work/$name.err" | head -1)"
    printf '%-14s %-8s %11s %9s %9s %-14s %8s %8s\n' "$name" yes "$serr" "$dist" "$own" "$verdict" "${cl:0:7}" "${angle:--}"
  else
    printf '%-14s %-8s %11s %9s %9s %-14s %8s %8s  %s\n' "$name" no - - - - - - "$(head -1 "$work/$name.err" | sed 's/^tarnsweep: [^:]*: //' | cut -c1-80)"
  fi
done
