#!/usr/bin/env bash
# Prints the table of tests/output_checksums.txt: the size and hash of every
# file that the protected runs write, computed by the test binary of a build
# folder (default: build). Regenerate the table with
#     tools/output_checksums.sh build > tests/output_checksums.txt
set -euo pipefail
build="${1:-build}"
echo "# case file bytes fnv1a64; regenerate: tools/output_checksums.sh BUILD > tests/output_checksums.txt"
if grep -qw fma /proc/cpuinfo; then echo "# fma yes"; else echo "# fma no"; fi
TARN_PRINT_CHECKSUMS=1 "$build/tests/tarn_tests" --gtest_filter='Runs/OutputChecksums.*' | sed -n 's/^checksum //p' | sort
