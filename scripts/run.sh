#!/usr/bin/env bash
# Installs what is missing, builds Tarvik and starts it (arguments are passed on).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target tarvik
exec build/default/src/tarvik "$@"
