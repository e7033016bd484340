#!/usr/bin/env bash
# The tray's memory per host: starts the real Tarvik (Release build, headless Qt platform, so
# no desktop is needed; the menu and every host's row are built as on a desktop) with 0, 1000
# and 10,000 hosts and prints its private anonymous memory (Anonymous in
# /proc/PID/smaps_rollup) once it has settled, against the target: under 8 MB with 1000 hosts,
# and no more than 4 KB for each host past 1000. The hosts are paused, so no request adds to the
# figure. Everything it starts is stopped at the end.
#   bash bench/tray-memory.sh            (builds Release in build/bench)
#   TARVIK=build/ci/src/tarvik bash bench/tray-memory.sh   (measures a build you already have)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/bench"

if [[ -n "${TARVIK:-}" ]]; then
    tarvik=$(realpath "$TARVIK")
else
    generator=()
    if [[ ! -f "$build/CMakeCache.txt" ]] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTARVIK_TESTS=OFF -DTARVIK_BENCH=ON -DTARVIK_WERROR=ON >/dev/null
    cmake --build "$build" --target tarvik >/dev/null
    tarvik="$build/src/tarvik"
fi

work=$(mktemp -d)
pid=""
cleanup() {
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

anonymous_kb() { awk '/^Anonymous:/ { print $2 }' "/proc/$1/smaps_rollup"; }

# Starts Tarvik with `count` hosts and prints its settled private anonymous memory in KB.
measure() {
    local count=$1 home="$work/$1"
    mkdir -p "$home/config" "$home/run" && chmod 700 "$home/run"
    {
        printf '['
        for ((i = 0; i < count; i++)); do
            ((i)) && printf ','
            printf '{"string":"host %d.example.invalid","address":"http://127.0.0.1:9/%d",' "$i" "$i"
            printf '"hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":false}'
        done
        printf ']'
    } >"$home/hosts.json"
    export HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run QT_QPA_PLATFORM=offscreen
    unset DBUS_SESSION_BUS_ADDRESS
    "$tarvik" --import "$home/hosts.json" >/dev/null
    "$tarvik" >"$home/log" 2>&1 &
    pid=$!
    # Settled: the same figure (within 16 KB) three samples in a row, half a second apart.
    local last=0 now steady=0
    for _ in $(seq 120); do
        sleep 0.5
        now=$(anonymous_kb "$pid")
        if ((now - last < 16 && last - now < 16)); then
            ((++steady >= 3)) && break
        else
            steady=0
        fi
        last=$now
    done
    kill "$pid" && wait "$pid" 2>/dev/null || true
    pid=""
    echo "$now"
}

none=$(measure 0)
thousand=$(measure 1000)
tenthousand=$(measure 10000)
per_host=$(( (tenthousand - thousand) * 1024 / 9000 ))
printf 'private anonymous memory of the tray (KB): %d with 0 hosts, %d with 1000, %d with 10000\n' \
    "$none" "$thousand" "$tenthousand"
printf 'with 1000 hosts: %s MB (target under 8 MB) %s\n' "$(awk -v k="$thousand" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "$( ((thousand < 8192)) && echo ok || echo MISSED)"
printf 'each host past 1000: %d bytes (target at most 4096) %s\n' "$per_host" \
    "$( ((per_host <= 4096)) && echo ok || echo MISSED)"
