#!/usr/bin/env bash
# Runs every fuzz target built by fuzz/build.sh: first on its seeds in
# fuzz/seeds/<name>/, then for SECONDS more (default 600; 0 runs the seeds
# only), growing its own corpus in <tree>/corpus/<name>/. JOBS targets run at
# a time (default: one per processor). The tree is build-fuzz/ or $OUT.
# A crash, leak, time-out or broken check leaves the input and the log in
# <tree>/logs/ and makes the exit status 1.
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${OUT:-$src/build-fuzz}
secs=${1:-600}
jobs=${JOBS:-$(nproc)}
logs=$out/logs
mkdir -p "$logs"

targets=()
for bin in "$out"/bin/fuzz_*; do
  [ -x "$bin" ] && targets+=("$(basename "$bin")")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $out/bin (run fuzz/build.sh)" >&2
  exit 1
fi

run() {
  local target=$1 name=${1#fuzz_}
  local seeds=$src/fuzz/seeds/$name corpus=$out/corpus/$name log=$logs/$name.txt
  if [ ! -d "$seeds" ]; then
    echo "no seeds in $seeds" >"$log"
    echo 1 >"$logs/$name.rc"
    return
  fi
  mkdir -p "$corpus"
  local length=(-runs=0)
  [ "$secs" -gt 0 ] && length=(-max_total_time="$secs")
  # Inputs up to 8 KiB, or the largest seed whole.
  local largest
  largest=$(find "$seeds" -type f -printf '%s\n' | sort -n | tail -n 1)
  local max_len=$((${largest:-0} > 8192 ? ${largest:-0} : 8192))
  "$out/bin/$target" "${length[@]}" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$logs/$name-" "$corpus" "$seeds" >"$log" 2>&1
  echo $? >"$logs/$name.rc"
}

running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run "$t" &
  running=$((running + 1))
done
wait

failed=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  rc=$(cat "$logs/$name.rc" 2>/dev/null || echo 1)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$name.txt" | tail -n 1)
  if [ "$rc" = 0 ]; then
    printf '%-24s ok, %s runs\n' "$t" "${runs:-?}"
  else
    failed=1
    printf '%-24s FAILED (exit %s), log %s\n' "$t" "$rc" "$logs/$name.txt"
    grep -v '^#\|^INFO:' "$logs/$name.txt" | head -n 40 | sed 's/^/    /'
  fi
done
exit $failed
