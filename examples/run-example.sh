#!/usr/bin/env bash
# Builds tarn and runs the bundled example (NACA 0012, M = 0.75, 2 degrees,
# viscous, tarnprep's default sequence) in a scratch folder, then shows the
# summary of the second listing.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$top/build" -j2 --target tarn tarnfoil > /dev/null
work="${1:-$top/build/example-run}"
mkdir -p "$work"
cp "$top/examples/NACA12.NAM" "$top/examples/NACA12.TIN" "$work/"
cd "$work"
"$top/build/tarnfoil" naca 0012 --closed > NACA0012.DAT
"$top/build/tarn" NACA12
echo
echo "Summary of the second listing ($work/NACA12.BRF, which also holds the pressure lists):"
tail -n 8 NACA12.BRF
echo "Status record of NACA12.SEP: $(tail -n 1 NACA12.SEP)"
