#!/usr/bin/env bash
# Gives every libFuzzer target in DIR a few seconds, starting from its seed corpus when it has one.
# Longer runs by hand: build-fuzz/fuzz/NAME -max_total_time=600 CORPUS_DIR
set -euo pipefail
dir=${1:?fuzz directory}
seconds=${2:-5}
shopt -s nullglob
ran=0
for target in "$dir"/fuzz_*; do
  [[ -x "$target" && -f "$target" ]] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds=()
  [[ -d "$dir/seeds/$name" ]] && seeds=("$dir/seeds/$name")
  echo "fuzz-smoke: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" "${seeds[@]}" >"$work.log" 2>&1 || {
    echo "fuzz-smoke: $name FAILED"; tail -n 40 "$work.log"; rm -rf "$work" "$work.log"; exit 1; }
  rm -rf "$work" "$work.log"
  ran=$((ran + 1))
done
echo "fuzz-smoke: $ran targets clean"
