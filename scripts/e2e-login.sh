#!/usr/bin/env bash
# Launch at login, end to end: Tarvik installed into a temporary prefix (with a space in its path)
# inside an isolated XDG session, "Launch at Login" turned on, the session's autostart run the way
# a desktop runs it at login (dex, under Xvfb), and exactly one Tarvik running afterwards - also
# after a second login, a direct second start and an --import. Every process it starts is ended
# before it exits; every wait is bounded. Exits non-zero on the first failed check.
# Usage: scripts/e2e-login.sh [BUILD_FOLDER]   (default build/ci, built if needed)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/ci}
if [ "$build" = build/ci ]; then
  cmake --preset ci >/dev/null
  cmake --build --preset ci -j "$(nproc)" >/dev/null
fi

e2e=login
. scripts/e2e-helpers.sh
root="$work/a session"
prefix="$root/prefix"

# The Tarvik processes of this prefix: ours alone, whatever else runs on the machine.
tarvik_pids() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$prefix/bin/tarvik" ] && echo "${p#/proc/}"
  done
  return 0
}
count() { tarvik_pids | wc -l; }
exactly_one() { [ "$(count)" -eq 1 ]; }
# A function, so that every try of wait_for reads the process list afresh.
none_left() { [ -z "$(tarvik_pids)" ]; }

# Started through the desktop's autostart, these Tarvik processes are no children of this script.
e2e_stop() {
  local running
  running=$(tarvik_pids)
  if [ -n "$running" ]; then
    kill -TERM $running 2>/dev/null || true
    wait_for 5 none_left || kill -KILL $(tarvik_pids) 2>/dev/null || true
  fi
}

# --- install, as a package would lay it out
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
for f in bin/tarvik bin/tarvik-helper share/applications/com.morvane.Tarvik.desktop \
         share/metainfo/com.morvane.Tarvik.metainfo.xml; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
desktop-file-validate "$prefix/share/applications/com.morvane.Tarvik.desktop" ||
  fail "the desktop entry does not validate"
appstreamcli validate --no-net "$prefix/share/metainfo/com.morvane.Tarvik.metainfo.xml" \
  >"$work/appstream.log" 2>&1 || fail "the metainfo does not validate"
for size in 16 22 24 32 48 64 128 256 512; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/com.morvane.Tarvik.png"
  file "$icon" | grep -q "PNG image data, $size x $size" || fail "no ${size}px icon"
done
ok "installed into $prefix: programs, desktop entry, metainfo and icons validate"

# --- an isolated session: its own home, config, data, runtime folder and PATH
export HOME="$root/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CONFIG_DIRS="$root/xdg-config" XDG_DATA_DIRS="$prefix/share:/usr/share"
export XDG_RUNTIME_DIR="$root/runtime" PATH="$prefix/bin:$PATH"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_DIRS" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION

# --- a display, as at login
start_xvfb
# A tray, as a desktop has: without one Tarvik opens a window of its own to say so, and that
# window would be in front.
trayer --edge top --align right --widthtype pixel --width 100 --height 24 --heighttype pixel \
  --SetDockType true >/dev/null 2>&1 &
pids+=($!)

# Tarvik brings the login registration in line with the stored choice at every start, so "turning
# it on" is storing the choice and starting Tarvik once; SIGTERM ends it cleanly.
settings="$XDG_CONFIG_HOME/morvane/Tarvik.conf"
entry="$XDG_CONFIG_HOME/autostart/com.morvane.Tarvik.Helper.desktop"
start_once() {
  tarvik >>"$work/$1.log" 2>&1 &
  local pid=$!
  wait_for 20 "${@:2}" || fail "$1: the autostart entry did not follow the stored choice"
  kill -TERM "$pid"
  wait "$pid" || fail "$1: Tarvik did not end cleanly on SIGTERM"
}
mkdir -p "$(dirname "$settings")"
printf '[General]\nlaunchAtLogin=true\n' >"$settings"
start_once setup test -f "$entry"
desktop-file-validate "$entry" || fail "the autostart entry does not validate"
grep -qxF "Exec=\"$prefix/bin/tarvik-helper\"" "$entry" ||
  fail "the autostart entry does not run the installed helper: $(grep Exec= "$entry")"
ok "launch at login registered by Tarvik at start: $(grep Exec= "$entry")"

login() {
  # dex runs the session's autostart entries as a desktop does at login, and waits for them.
  timeout 30 dex --autostart --environment X-Tarvik-E2E --wait >>"$work/$1.log" 2>&1 ||
    fail "the autostart run failed"
}

# --- first login: nothing runs, so the helper starts Tarvik
[ "$(count)" -eq 0 ] || fail "a Tarvik of this prefix runs before login"
login login-1
wait_for 20 exactly_one || fail "after the first login $(count) Tarvik processes run"
first=$(tarvik_pids)
wait_for 10 test -S "$XDG_RUNTIME_DIR/com.morvane.Tarvik.$(id -u).instance" ||
  fail "Tarvik does not listen for later starts"
ok "first login started one Tarvik (pid $first)"

# Settles: the one process stays the one process for a moment.
still_the_first() { [ "$(tarvik_pids)" = "$first" ]; }
settled() {
  wait_for 15 still_the_first || fail "$1: $(count) Tarvik processes run: $(tarvik_pids | xargs)"
  sleep 1
  still_the_first || fail "$1: $(count) Tarvik processes run: $(tarvik_pids | xargs)"
}

# --- second login: Tarvik runs (not in front), the helper starts it again and that start hands over
login login-2
settled "after the second login"
grep -q "asked Tarvik to come forward" "$work/login-1.log" ||
  fail "the running Tarvik was not asked to come forward"
ok "second login: still exactly one Tarvik (pid $first), asked to come forward"

# --- a direct second start hands over and exits 0
tarvik >"$work/second.log" 2>&1 || fail "a second start exited $?"
grep -q "already running" "$work/second.log" || fail "a second start did not hand over"
settled "after a direct second start"
ok "a direct second start handed over and exited 0; still exactly one Tarvik"

# --- --import beside the running tray application is handed to it
cat >"$work/hosts.json" <<'JSON'
[{"address":"http://127.0.0.1:9/","string":"loopback discard","isFavorite":false,
  "hasMenuBarItem":false,"categories":[],"isActive":true}]
JSON
timeout 30 tarvik --import "$work/hosts.json" >"$work/import.log" 2>&1 || fail "--import failed"
grep -q "handed them to the running Tarvik" "$work/import.log" || fail "--import did not hand over"
grep -q "took 1 hosts from an import" "$work/login-1.log" || fail "the running Tarvik took nothing"
timeout 30 tarvik --export - | grep -q '"loopback discard"' || fail "the imported list is not stored"
settled "after --import"
ok "--import handed the list to the running Tarvik, which stored it"

# --- "Launch at Login" off: stored, then Tarvik's next start removes the entry
kill -TERM "$first"
wait_for 10 none_left || fail "the running Tarvik did not end on SIGTERM"
sed -i 's/^launchAtLogin=true$/launchAtLogin=false/' "$settings"
start_once teardown test ! -e "$entry"
ok "launch at login removed by Tarvik at start"

say "all $checks checks passed"
