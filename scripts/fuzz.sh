#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each for a fixed time, starting
# from its seed corpus in fuzz/corpus/ and its dictionary in fuzz/dict/. A crash, a sanitizer
# report, a hang or a broken property fails the script and leaves the reproducer in
# build/fuzz/crashes/ (rerun one with: build/fuzz/fuzz/fuzz_<target> <reproducer>).
# Usage: scripts/fuzz.sh [seconds per target, default 25] [target...]
# FUZZ_JOBS sets how many targets run at once (default: the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-25}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(desktopentry desktopexec historyfile hoststore instance metricsrequest updatefeed url
           version)
jobs=${FUZZ_JOBS:-$(nproc)}

scripts/deps.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

out=build/fuzz
mkdir -p "$out/crashes" "$out/logs"
run() {
  local target=$1
  # Inputs found are kept between runs, beside the build, never in the seed folder.
  mkdir -p "$out/corpus/$target"
  local status=0
  touch "$out/logs/$target.started"
  "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict="fuzz/dict/$target.dict" -artifact_prefix="$out/crashes/$target-" \
    "$out/corpus/$target" "fuzz/corpus/$target" >"$out/logs/$target.log" 2>&1 || status=$?
  echo $status >"$out/logs/$target.status"
}

for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  rm -f "$out/logs/$target.status"
  run "$target" &
done
wait

failed=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  if [ "$(cat "$out/logs/$target.status" 2>/dev/null)" = 0 ]; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/logs/$target.log")
    secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$out/logs/$target.log")
    echo "fuzz $target: $runs runs in ${secs:-0} s ($(( ${runs:-0} / (${secs:-0} > 0 ? ${secs:-0} : 1) )) per second), nothing found"
  else
    failed=1
    echo "fuzz $target: FAILED; log: $out/logs/$target.log" >&2
    grep -E -A1 '^(property broken|==[0-9]+==ERROR|SUMMARY|.*runtime error)' \
      "$out/logs/$target.log" | head -12 >&2 || true
    find "$out/crashes" -name "$target-*" -newer "$out/logs/$target.started" |
      sed 's/^/  reproducer: /' >&2
  fi
done
exit $failed
