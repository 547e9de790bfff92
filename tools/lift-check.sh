#!/usr/bin/env bash
# Lift-targeted runs checked by fixed-incidence runs: for each required lift
# coefficient a tarnsweep study with --cl, then one with --alpha at the
# incidence it reported; printed side by side with the differences in CL and
# CDP (the fixed run's values less the lift-targeted run's).
# Usage: tools/lift-check.sh TARNSWEEP AEROFOIL MACH "CL LIST" [tarnsweep options...]
#   e.g. tools/lift-check.sh build/tarnsweep ../shared/aerofoils/RAE2822.DAT 0.6 "0.3 0.5 0.7" --re 6.5e6 --xtr 0.03
set -euo pipefail
[ $# -ge 4 ] || { sed -n 2,8p "$0" >&2; exit 2; }
sweep="$(realpath "$1")" aerofoil="$(realpath "$2")" mach="$3" lifts="$4"
shift 4
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Column NAME of the one point of a study's polar.csv.
column() {
  awk -F, -v name="$2" '/^#/ { next } !h { for (i = 1; i <= NF; i++) c[$i] = i; h = 1; next } { print $c[name] }' "$1/polar.csv"
}

printf '%6s %6s %9s %8s %8s %8s %8s %9s %7s  %s\n' mach clc alpha cl cdp cl_fixed cdp_fixed dcl dcdp% verdicts
for clc in $lifts; do
  lift="$work/lift-$clc" fixed="$work/fixed-$clc"
  "$sweep" "$aerofoil" --mach "$mach" --cl "$clc" "$@" --out "$lift" > /dev/null 2>&1 || true
  alpha="$(column "$lift" alpha_deg)"
  "$sweep" "$aerofoil" --mach "$mach" --alpha "$alpha" "$@" --out "$fixed" > /dev/null 2>&1 || true
  cl="$(column "$lift" cl)" cdp="$(column "$lift" cdp)"
  clf="$(column "$fixed" cl)" cdpf="$(column "$fixed" cdp)"
  awk -v m="$mach" -v c="$clc" -v a="$alpha" -v cl="$cl" -v cdp="$cdp" -v clf="$clf" -v cdpf="$cdpf" \
      -v v="$(column "$lift" verdict)/$(column "$fixed" verdict)" \
      'BEGIN { printf "%6s %6s %9.4f %8.5f %8.5f %8.5f %8.5f %9.5f %7.1f  %s\n", m, c, a, cl, cdp, clf, cdpf, clf - cl, 100 * (cdpf - cdp) / cdpf, v }'
done
