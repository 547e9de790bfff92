#!/usr/bin/env bash
# Runs every fuzz target for a while from its seed corpus, two at a time, and
# fails when any of them reports a sanitizer finding, a broken contract, a
# crash or an input that hangs. The inputs at fault are kept in
# BUILD_DIR/fuzz/work/TARGET/ and the log of the target is shown.
#   fuzz/run-targets.sh BUILD_DIR [SECONDS]      (default 30 s a target)
set -euo pipefail
if [ "${1:-}" = --one ]; then
  build="$2" seconds="$3" target="$4"
  work="$build/fuzz/work/$target"
  mkdir -p "$work/corpus"
  if "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
      -artifact_prefix="$work/" "$work/corpus" "$build/fuzz/corpus/$target" > "$work/log" 2>&1; then
    echo "$target: $(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log") inputs in ${seconds} s, passed"
  else
    echo "$target: FAILED; end of its log ($work/log):"
    tail -n 40 "$work/log"
    exit 1
  fi
  exit 0
fi
build="$(cd "$1" && pwd)"
seconds="${2:-30}"
rm -rf "$build/fuzz/work"
printf '%s\n' aerofoil names run_data dump prep import |
  xargs -P 2 -I{} "$0" --one "$build" "$seconds" {}
