#!/usr/bin/env bash
# Wayland, end to end: the real tray Tarvik on Qt's Wayland platform under a real compositor
# (weston, headless), with no X server at all, and a StatusNotifierItem host on a private session
# bus (scripts/fakes/status_notifier_host.py, standing in for a panel). Checks that Tarvik starts
# and registers its items (the main icon and a host's), that the hosts window, the form and the
# details window open from the exported menu (weston lists them as top-level windows, placed
# where weston puts them), that a click on the host's icon toggles it with Qt's modifiers alone
# (no X server to read Caps Lock from), and that Tarvik ends cleanly. Every process it starts is
# ended before it exits; every wait is bounded.
# Usage: scripts/e2e-wayland.sh [TARVIK]   (or TARVIK=...; default build/ci/src/tarvik)
set -euo pipefail
cd "$(dirname "$0")/.."
e2e=wayland
. scripts/e2e-helpers.sh
find_tarvik "${1:-}"
host_tool() { "$PY" scripts/fakes/status_notifier_host.py "$@"; }

xdg_session "$work"
unset DISPLAY
start_bus session
host_tool serve >"$work/host-ready" 2>"$work/host.log" &
pids+=($!)
wait_for 10 grep -qs ready "$work/host-ready" || fail "the tray host did not start"

# --- the compositor, headless; --debug lets weston-debug read its scene graph
export WAYLAND_DISPLAY=tarvik-e2e-$$
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --width=1024 --height=768 \
  --debug >"$work/weston.log" 2>&1 &
pids+=($!)
wait_for 15 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start"
# Tarvik's top-level windows as weston has them, one title a line.
windows() {
  timeout 5 weston-debug scene-graph 2>/dev/null |
    sed -n "s/.*role xdg_toplevel.*top-level window '\(.*\)' of tarvik.*/\1/p" | sort
}
window_count() { windows | wc -l; }
has_window() { windows | grep -qxF "$1"; }
windows_at_least() { [ "$(window_count)" -ge "$1" ]; }

# --- a host with its own icon
port=$(free_port)
"$PY" -m http.server --bind 127.0.0.1 --directory "$work" "$port" >"$work/www.log" 2>&1 &
pids+=($!)
wait_for 10 curl -fsS "http://127.0.0.1:$port/" || fail "the local web host did not start"
printf '[%s]\n' "$(host_json api "http://127.0.0.1:$port/" true)" >"$work/hosts.json"
"$tarvik" --import "$work/hosts.json" >"$work/import.log" 2>&1 || fail "--import failed"
active() {
  "$tarvik" --export - 2>/dev/null | "$PY" -c 'import json, sys; print(str(json.load(sys.stdin)[0]["isActive"]).lower())'
}
api_is() { [ "$(active)" = "$1" ]; }

# --- Tarvik on Wayland
QT_QPA_PLATFORM=wayland "$tarvik" >"$work/tarvik.log" 2>&1 &
tarvik_pid=$!
pids+=($tarvik_pid)
two_items() { [ "$(host_tool items | wc -l)" -eq 2 ]; }
wait_for 20 two_items || fail "Tarvik registered $(host_tool items | wc -l) items, not 2"
host_tool labels >"$work/labels.txt"
grep -q '^api | Pause | Edit | Remove | Details | Manage' "$work/labels.txt" ||
  fail "the main menu reads: $(head -n1 "$work/labels.txt")"
ok "Tarvik on Wayland registered its main icon and api's icon, with their menus"

# --- the windows open, where the compositor puts them
host_tool click Manage || fail "no Manage in the menu"
wait_for 10 has_window Hosts || fail "the hosts window did not open: $(windows | xargs)"
ok "Manage opened the hosts window"
host_tool click Edit || fail "no Edit in the menu"
wait_for 10 windows_at_least 2 || fail "the form did not open: $(windows | xargs)"
ok "Edit opened the form (\"$(windows | grep -vxF Hosts | head -n1)\")"
host_tool click Details || fail "no Details in the menu"
wait_for 10 has_window api || fail "the details window did not open: $(windows | xargs)"
[ "$(window_count)" -eq 3 ] || fail "windows: $(windows | xargs)"
ok "Details opened api's details window; weston shows $(windows | xargs -d '\n' printf '"%s" ')"

# --- a click on the host's icon: without an X server its keys are Qt's modifiers alone, and a
# plain click toggles
api_is true || fail "api is not active to begin with"
host_tool activate api || fail "no icon with api's tooltip"
wait_for 10 api_is false || fail "a click on api's icon did not pause it"
host_tool activate api
wait_for 10 api_is true || fail "a second click on api's icon did not start it"
ok "clicks on api's icon paused and started it (Qt's modifiers, no X server)"

# --- ends cleanly
kill -0 "$tarvik_pid" || fail "Tarvik ended by itself"
kill -TERM "$tarvik_pid"
wait "$tarvik_pid" || fail "Tarvik did not end cleanly on SIGTERM"
! grep -qiE 'could not connect to display|xcb|X11' "$work/tarvik.log" ||
  fail "Tarvik looked for an X server: $(grep -iE 'display|xcb|X11' "$work/tarvik.log" | head -n3)"
ok "Tarvik ended cleanly on SIGTERM, and never looked for an X server"

say "all $checks checks passed"
