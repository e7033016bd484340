#!/usr/bin/env bash
# Builds the benchmark (Release, warnings as errors) in build/bench and runs it once. Extra
# arguments go to the benchmark, e.g. `bash bench/run.sh --runs 11`, or
# `bash bench/run.sh --reference-check OTHER/tarvik` to time another build's tarvik --check beside
# this one's tarvikd --check. Keep the machine otherwise idle while it runs: both clients and the
# server share its cores.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/bench"

# The curl tool is the yardstick; the server makes its https hosts' certificates with OpenSSL.
bash "$root/scripts/deps.sh" bench

generator=()
if [[ ! -f "$build/CMakeCache.txt" ]] && command -v ninja >/dev/null; then
    generator=(-G Ninja)
fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DTARVIK_TESTS=OFF -DTARVIK_BENCH=ON -DTARVIK_WERROR=ON >/dev/null
cmake --build "$build" --target tarvik_bench tarvik_bench_server tarvik_bench_floor tarvik tarvikd \
    tarvik_history_bench
"$build/bench/tarvik_history_bench" || echo "bench/run.sh: the history bench missed a bound or failed" >&2
exec "$build/bench/tarvik_bench" "$@"
