#!/usr/bin/env bash
# Free transition (tarnsweep --ncrit 9) against XFOIL 6.99's polars with
# Ncrit 9 (../shared/reference/xfoil/free-transition):
#   polars  NACA 0012 at M 0.2, R 3E6 and at M 0.5, R 6E6, NACA 2412 at M 0.2,
#           R 3E6, RAE 2822 at M 0.5, R 6.5E6, at every incidence of the
#           reference from 0 to 6 degrees (-2 to 6 for the NACA 2412): the
#           transition positions and the drag CDV+CD2 beside XFOIL's, the
#           verdict and the tries of every point, and the largest differences;
#   cost    processor time of tarn on NACA 0012, M 0.2, R 3E6, 2 degrees with
#           free transition against the same run with transition fixed where
#           the free run put it and fixed at 0.05 (the mean of ROUNDS runs of
#           each, by perf stat).
# Usage: tools/free-transition-figures.sh [polars|cost|all] [WORK_FOLDER] [ROUNDS]
# The reference data are read from ../shared beside the checkout, or from the
# folder TARN_SHARED_DIR names.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-all}"
work="${2:-$top/build/free-transition-figures}"
rounds="${3:-20}"
shared="${TARN_SHARED_DIR:-$top/../shared}"
reference="$shared/reference/xfoil/free-transition"
[ -d "$reference" ] || { echo "free-transition-figures: no reference polars in $reference (set TARN_SHARED_DIR)" >&2; exit 2; }
cmake --build "$top/build" -j2 --target tarn tarnprep tarnfoil tarnsweep > /dev/null
bin="$top/build"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

# Incidences of a reference polar between $2 and $3 degrees, comma-separated.
incidences() {
  awk -v lo="$2" -v hi="$3" 'NF >= 7 && $1 + 0 == $1 && $3 + 0 == $3 && $1 >= lo && $1 <= hi { printf "%s%s", sep, $1 + 0; sep = "," }' "$1"
}

# The transition positions a run's listing gives (upper, lower), from the
# lines of its last boundary-layer tables.
transition_of() {
  grep 'TRANSITION PREDICTED AT' "$1" | tail -2 | awk '{ printf "%s ", $4 }'
}

compare() {  # name aerofoil mach re lo hi reference
  local name="$1" foil="$2" mach="$3" re="$4" lo="$5" hi="$6" pol="$7" study="$work/$1"
  rm -rf "$study"
  "$bin/tarnsweep" "$foil" --mach "$mach" --alpha "$(incidences "$pol" "$lo" "$hi")" --re "$re" --ncrit 9 \
    --jobs 2 --out "$study" > "$study.log" 2>&1 || true
  awk -F, '/^#/ { next } !h { for (i = 1; i <= NF; i++) c[$i] = i; h = 1; next }
           { print $c["alpha_deg"], $c["cd"], $c["verdict"] == "converged" ? "C" : "n", $c["tries"],
                   $c["xtr_upper"], $c["xtr_lower"] }' "$study/polar.csv" > "$study/ours.txt"
  echo "$name, M $mach, R $re, Ncrit 9 (tarn against XFOIL):"
  awk 'NR == FNR { ours[$1 + 0] = $0; next }
       NF >= 7 && $1 + 0 == $1 && $3 + 0 == $3 && (($1 + 0) in ours) {
         split(ours[$1 + 0], o, " ")
         dxu = o[5] - $6; dxl = o[6] - $7; dcd = 100 * (o[2] - $3) / $3
         printf "  %5.1f   %6.3f %6.3f %+6.3f   %6.3f %6.3f %+6.3f   %8.5f %8.5f %+6.1f %%   %s %2d\n",
                $1, o[5], $6, dxu, o[6], $7, dxl, o[2], $3, dcd, o[3], o[4]
       }' "$study/ours.txt" "$pol" | tee "$study/table.txt" |
    { echo "  alpha   xtr_u  XFOIL   diff    xtr_l  XFOIL   diff   CDV+CD2    XFOIL    diff    verdict tries"; cat; }
  echo
}

if [ "$what" = polars ] || [ "$what" = all ]; then
  foils="$work/foils"
  mkdir -p "$foils"
  "$bin/tarnfoil" naca 2412 --closed -o "$foils/NACA2412.DAT" --force > /dev/null
  compare n0012_m02 "$shared/aerofoils/NACA0012.DAT" 0.2 3e6 0 6 "$reference/n0012_re3e6_m02.pol"
  compare n2412_m02 "$foils/NACA2412.DAT" 0.2 3e6 -2 6 "$reference/n2412_re3e6_m02.pol"
  compare n0012_m05 "$shared/aerofoils/NACA0012.DAT" 0.5 6e6 0 6 "$reference/n0012_re6e6_m05.pol"
  compare rae2822_m05 "$shared/aerofoils/RAE2822.DAT" 0.5 6.5e6 0 6 "$reference/rae2822_re65e6_m05.pol"
  # Transition compared where XFOIL's lies behind x = 0.05; drag everywhere.
  cat "$work"/*/table.txt | awk '
    { n++; tries += $13; if ($12 == "C") conv++
      if ($3 > 0.05 && (d = ($4 < 0 ? -$4 : $4)) > dx) dx = d
      if ($6 > 0.05 && (d = ($7 < 0 ? -$7 : $7)) > dx) dx = d
      d = $10 + 0; if (d < 0) d = -d; if (d > dcd) dcd = d; sum += d }
    END { printf "%d points: largest transition difference %.3f chord (XFOIL behind 0.05), largest drag difference %.1f %% (mean %.1f %%), %d converged, %.2f tries a point\n",
                 n, dx, dcd, sum / n, conv, tries / n }'
fi

if [ "$what" = cost ] || [ "$what" = all ]; then
  run="$work/cost"
  rm -rf "$run" && mkdir -p "$run" && cd "$run"
  cp "$shared/aerofoils/NACA0012.DAT" .
  answers() {  # name, then the answers to the XTU prompt on
    printf '%s\nfree-transition cost\n1\n1\nNACA0012.DAT\nn\nn\nn\n0.2\n2\n0\n3\n' "$1"
    shift
    printf '%s\n' "$@" n
  }
  answers FREE free 9 1 1 | "$bin/tarnprep" > /dev/null
  echo FREE | "$bin/tarn" > /dev/null
  read -r xtu xtl <<< "$(transition_of FREE.FUL)"
  answers FIXED "$xtu" "$xtl" | "$bin/tarnprep" > /dev/null
  answers FIX05 0.05 0.05 | "$bin/tarnprep" > /dev/null
  # Mean processor time of a tarn run in milliseconds, by perf stat over
  # ROUNDS runs (the shell that feeds it included, alike for both).
  msec() {
    perf stat -r "$rounds" -x, -e task-clock -- sh -c "echo $1 | '$bin/tarn' > /dev/null" 2>&1 >/dev/null |
      awk -F, '$3 ~ /task-clock/ { print $1 }'
  }
  command -v perf > /dev/null || { echo "perf (linux-perf) is needed for the processor times" >&2; exit 2; }
  free="$(msec FREE)" fixed="$(msec FIXED)" design="$(msec FIX05)"
  echo "tarn, NACA 0012, M 0.2, R 3E6, 2 degrees, mean of $rounds runs: free transition $free ms;" \
    "fixed at x = $xtu, $xtl (where the free run put it) $fixed ms, ratio $(awk -v a="$free" -v b="$fixed" 'BEGIN { printf "%.3f", a / b }');" \
    "fixed at 0.05 $design ms, ratio $(awk -v a="$free" -v b="$design" 'BEGIN { printf "%.3f", a / b }')"
fi
