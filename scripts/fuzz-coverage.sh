#!/usr/bin/env bash
# Shows which lines of each parser the fuzz corpus reaches: builds the fuzz targets once more
# with clang's source coverage, replays the seeds (and whatever scripts/fuzz.sh has found and
# kept in build/fuzz/corpus/) through each target, and prints llvm-cov's line report for the
# parser's own sources, then the lines no input reached.
# Usage: scripts/fuzz-coverage.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(desktopentry desktopexec historyfile hoststore instance metricsrequest updatefeed url
           version)
declare -A sources=(
  [desktopentry]="src/login/DesktopEntry.cpp"
  [desktopexec]="src/login/DesktopExec.cpp"
  [historyfile]="src/history/HistoryFile.cpp"
  [hoststore]="src/monitoring/HostStore.cpp"
  [instance]="src/instance/InstanceProtocol.cpp"
  [metricsrequest]="src/metrics/MetricsRequest.cpp"
  [updatefeed]="src/updates/UpdateFeed.cpp"
  [url]="src/http/UrlParser.cpp"
  [version]="src/updates/Version.cpp"
)

scripts/deps.sh fuzz
build=build/fuzz-coverage
cmake --preset fuzz -B "$build" -DTARVIK_FUZZ_COVERAGE=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

for target in "${targets[@]}"; do
  profile="$build/$target"
  rm -f "$profile".profraw
  inputs=("fuzz/corpus/$target")
  [ -d "build/fuzz/corpus/$target" ] && inputs+=("build/fuzz/corpus/$target")
  LLVM_PROFILE_FILE="$profile.profraw" "$build/fuzz/fuzz_$target" -runs=0 "${inputs[@]}" \
    >/dev/null 2>&1
  llvm-profdata-14 merge -sparse "$profile.profraw" -o "$profile.profdata"
  source=${sources[$target]}
  # The lcov form names every line of every file with its count; keep the parser's own file.
  llvm-cov-14 export -format=lcov "$build/fuzz/fuzz_$target" -instr-profile="$profile.profdata" |
    awk -v want="/$source" '
      /^SF:/ { on = substr($0, length($0) - length(want) + 1) == want }
      on && /^DA:/ { split(substr($0, 4), a, ","); total++; if (a[2] == 0) missed[++m] = a[1] }
      END { printf "%d of %d lines reached\n", total - m, total
            for (i = 1; i <= m; i++) print missed[i] }' >"$profile.missed"
  echo "== $target: $source, $(head -1 "$profile.missed")"
  tail -n +2 "$profile.missed" | while read -r line; do
    printf '  not reached %4d: %s\n' "$line" "$(sed -n "${line}p" "$source")"
  done
done
