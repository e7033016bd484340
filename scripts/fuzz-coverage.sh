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
  targets=(desktopentry desktopexec hoststore instance updatefeed url version)
declare -A sources=(
  [desktopentry]="src/login/DesktopEntry.cpp"
  [desktopexec]="src/login/DesktopExec.cpp"
  [hoststore]="src/monitoring/HostStore.cpp"
  [instance]="src/instance/InstanceProtocol.cpp"
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
  echo "== $target"
  # shellcheck disable=SC2086
  llvm-cov-14 report "$build/fuzz/fuzz_$target" -instr-profile="$profile.profdata" \
    ${sources[$target]} | sed -n '1p;3,$p'
  # shellcheck disable=SC2086
  llvm-cov-14 show "$build/fuzz/fuzz_$target" -instr-profile="$profile.profdata" \
    ${sources[$target]} | grep -E '^ *[0-9]+\| *0\|' || echo "every line with code was reached"
done
