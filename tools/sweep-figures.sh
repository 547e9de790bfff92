#!/usr/bin/env bash
# Figures of tarnsweep:
#   map    the robustness map: NACA 0012 (R 6E6, transition 0.05) and RAE 2822
#          (R 6.5E6, transition 0.03), viscous, 160 lines, M 0.3 to 0.8 by 0.05,
#          alpha 0 to 6 by 1: 154 points, shown as a table of verdicts
#          (C converged, n not converged, F failed; the number of tries after it);
#   speed  the wall time of a 10-point polar (NACA 0012, M 0.5, alpha 0 to 9,
#          viscous, R 6E6, transition 0.05, 160 lines), by hyperfine;
#   cold   the map again with --cold (every stage its full sweeps), the
#          largest differences in CL and CD between the points converged in
#          both, and the points that differ by more than 1E-3 in CL or 2E-5
#          in CD = CDV + CD2 or either part (run map first);
#   long   the map with --cold and three times the fine sweeps (NSF 600,
#          and the retries' sweeps with it), compared as above with the cold
#          map and with the map as run: how far the points called converged
#          are from settled (run map and cold first);
#   compare  the comparisons of cold and long alone, of the map in WORK with
#          the cold-* and long-* maps already there (say, another build's,
#          copied in), and with x10-*, a map with --cold and ten times the
#          fine sweeps (NSF 2000), where WORK holds one.
# Usage: tools/sweep-figures.sh [map|speed|cold|long|compare|all] [WORK_FOLDER]
# The reference aerofoils are read from ../shared beside the checkout, or
# from the folder TARN_SHARED_DIR names.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
what="${1:-all}"
work="${2:-$top/build/sweep-figures}"
shared="${TARN_SHARED_DIR:-$top/../shared}"
[ -d "$shared/aerofoils" ] || { echo "sweep-figures: no reference aerofoils in $shared/aerofoils (set TARN_SHARED_DIR)" >&2; exit 2; }
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$top/build" -j2 --target tarnsweep > /dev/null
sweep="$top/build/tarnsweep"
mkdir -p "$work"

# Verdicts of a study as a table: one row per Mach number, one column per incidence.
verdict_table() {
  awk -F, '
    /^#/ { next }
    !header { for (i = 1; i <= NF; i++) col[$i] = i; header = 1; next }
    {
      m = $col["mach"]; a = $col["alpha_deg"]; v = $col["verdict"]
      s = v == "converged" ? "C" : v == "not converged" ? "n" : v == "failed" ? "F" : "?"
      cell[m, a] = s $col["tries"]
      if (!(m in seen)) { seen[m] = 1; ms[++nm] = m }
      if (!(a in seena)) { seena[a] = 1; as[++na] = a }
      count[s]++
    }
    END {
      printf "%6s", "M"; for (j = 1; j <= na; j++) printf "%5s", as[j]; printf "\n"
      for (i = 1; i <= nm; i++) {
        printf "%6s", ms[i]; for (j = 1; j <= na; j++) printf "%5s", cell[ms[i], as[j]]; printf "\n"
      }
      printf "converged %d, not converged %d, failed %d\n", count["C"], count["n"], count["F"]
    }' "$1"
}

# The map's studies into WORK/PREFIX-NAME, with the options given.
map_studies() {
  local prefix="$1" case
  shift
  local options=("$@")
  for case in "NACA0012 6e6 0.05" "RAE2822 6.5e6 0.03"; do
    set -- $case
    rm -rf "$work/$prefix-$1"
    nice -n 19 "$sweep" "$shared/aerofoils/$1.DAT" --mach 0.3:0.8:0.05 --alpha 0:6:1 --re "$2" --xtr "$3" \
      --jobs 2 --out "$work/$prefix-$1" "${options[@]}" || true
  done
}

if [ "$what" = map ] || [ "$what" = all ]; then
  map_studies map
  for case in "NACA0012 6e6 0.05" "RAE2822 6.5e6 0.03"; do
    set -- $case
    echo "$1, R = $2, transition $3:"
    verdict_table "$work/map-$1/polar.csv"
    echo
  done
  echo "Verdicts of the points that did not converge:"
  for f in "$work"/map-*/points/*/result.json; do
    grep -A2 '"verdict": {' "$f" | grep -q '"status": "converged"' && continue
    study="${f#$work/map-}"
    printf '%s M %s alpha %s: %s\n' "${study%%/*}" \
      "$(grep -m1 '"mach"' "$f" | tr -dc '0-9.')" "$(grep -m1 '"alpha"' "$f" | tr -dc '0-9.-')" \
      "$(grep -A2 '"verdict": {' "$f" | grep '"reason"' | sed 's/^ *"reason": //')"
  done
fi

# Compares two maps' studies: WORK/$1-NAME (the reference) and WORK/$2-NAME,
# over the points converged in both; $3 and $4 name them.
compare_maps() {
  local reference="$1" other="$2" name
  for name in NACA0012 RAE2822; do
    echo "$name: converged $4 and $3, largest differences:"
    # The reason, the last column, may hold commas; the columns before it do not.
    awk -F, '
      FNR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
      FNR == NR {
        ref_v[$1] = $col["verdict"]; ref_cl[$1] = $col["cl"]
        ref_cd[$1] = $col["cd"]; ref_cdv[$1] = $col["cdv"]; ref_cd2[$1] = $col["cd2"]
        next
      }
      function off(a, b) { return a > b ? a - b : b - a }
      $col["verdict"] == "converged" { other++ }
      ref_v[$1] == "converged" { ref++ }
      $col["verdict"] == "converged" && ref_v[$1] == "converged" {
        both++
        # The drag and either of its parts, the viscous and the wave drag.
        dcl = off($col["cl"], ref_cl[$1]); dcd = off($col["cd"], ref_cd[$1])
        if (off($col["cdv"], ref_cdv[$1]) > dcd) dcd = off($col["cdv"], ref_cdv[$1])
        if (off($col["cd2"], ref_cd2[$1]) > dcd) dcd = off($col["cd2"], ref_cd2[$1])
        if (dcl > cl) { cl = dcl; at_cl = "M " $col["mach"] " alpha " $col["alpha_deg"] }
        if (dcd > cd) { cd = dcd; at_cd = "M " $col["mach"] " alpha " $col["alpha_deg"] }
        if (dcl > 1e-3 || dcd > 2e-5) {
          beyond++
          list = list sprintf("    M %s alpha %s: CL %.1e, CD %.1e (%s tries)\n", $col["mach"], $col["alpha_deg"], dcl, dcd,
                              $col["tries"])
        }
      }
      END {
        printf "  converged: %d, %d, both %d\n", other, ref, both
        printf "  CL %.2e (%s), CD %.2e (%s)\n", cl, at_cl, cd, at_cd
        printf "  beyond 1E-3 in CL or 2E-5 in CD: %d\n%s", beyond, list
      }' "$work/$reference-$name/polar.csv" "$work/$other-$name/polar.csv"
  done
}

if [ "$what" = cold ] || [ "$what" = all ]; then
  map_studies cold --cold
  compare_maps cold map "with --cold" "as run"
fi

if [ "$what" = long ]; then
  map_studies long --cold --set NSF=600
  compare_maps long cold "with three times the fine sweeps" "with --cold"
  compare_maps long map "with three times the fine sweeps" "as run"
fi

if [ "$what" = compare ]; then
  compare_maps cold map "with --cold" "as run"
  compare_maps long map "with three times the fine sweeps" "as run"
  if [ -d "$work/x10-NACA0012" ] && [ -d "$work/x10-RAE2822" ]; then
    compare_maps x10 cold "with ten times the fine sweeps" "with --cold"
    compare_maps x10 long "with ten times the fine sweeps" "with three times the fine sweeps"
    compare_maps x10 map "with ten times the fine sweeps" "as run"
  fi
fi

if [ "$what" = speed ] || [ "$what" = all ]; then
  echo "Load before timing: $(cut -d' ' -f1-3 /proc/loadavg) (load averages, 1, 5, 15 minutes; $(nproc) cores)"
  hyperfine -i --warmup 2 --runs 20 --prepare "rm -rf '$work/polar10'" \
    "'$sweep' '$shared/aerofoils/NACA0012.DAT' --mach 0.5 --alpha 0:9:1 --out '$work/polar10'" || true
  echo "Load after timing: $(cut -d' ' -f1-3 /proc/loadavg)"
  cat "$work/polar10/polar.txt"
fi
