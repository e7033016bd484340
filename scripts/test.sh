#!/usr/bin/env bash
# Builds Tarvik and runs every test: once with warnings as errors, once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, plus the formatting check; then builds and
# checks the Debian package, runs the launch-at-login, Prometheus, notification, real-panel and
# Wayland end-to-end scripts and fuzzes the parsers for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== format"
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== build and test (warnings as errors)"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

echo "== build and test (ASan + UBSan)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

echo "== Debian package"
bash scripts/package.sh

echo "== launch at login, end to end"
bash scripts/e2e-login.sh

echo "== Prometheus scraping tarvikd, end to end"
bash scripts/e2e-prometheus.sh

echo "== notifications and the offline look, end to end"
bash scripts/e2e-notify.sh

echo "== real panels (LXQt's and Xfce's), end to end"
bash scripts/e2e-panels.sh

echo "== Wayland (weston), end to end"
bash scripts/e2e-wayland.sh

echo "== fuzz every parser (a short run each)"
bash scripts/fuzz.sh
