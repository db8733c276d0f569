#!/usr/bin/env bash
# Runs the three fuzz targets side by side for SECONDS each (default 600,
# 420 and 300) with their corpora under build-fuzz/.
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${OUT:-$src/build-fuzz}
t=${1:-600}
mkdir -p "$out/logs"
run() {
  local name=$1 secs=$2 seeds=$3
  mkdir -p "$out/corpus-$seeds"
  "$out/fuzz_$name" -max_total_time="$secs" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix="$out/logs/$name-" "$out/corpus-$seeds" "$src/fuzz/seeds/$seeds" \
    >"$out/logs/$name.txt" 2>&1
  echo "rc=$?" >>"$out/logs/$name.txt"
}
run reply "$t" reply &
run decode_data "$((t * 7 / 10))" data &
run decode_minutes "$((t / 2))" minutes &
wait
