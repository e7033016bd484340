# Sourced by the end-to-end scripts (scripts/e2e-*.sh), after `set -euo pipefail` and with `e2e`
# set to the script's short name: messages, bounded waits, a private work folder, and the
# processes started there, all ended (newest first) when the script exits; then the pieces of a
# private desktop session (XDG folders, an X server, D-Bus buses) and the Tarvik under test.
# KEEP=1 keeps the work folder for a look afterwards.

PY=/usr/bin/python3 # Debian's, which has the dbus and gi modules
work=$(mktemp -d "/tmp/tarvik-$e2e.XXXXXX")
pids=()
checks=0
# More files whose tail a failure shows, beside the work folder's logs.
fail_files=()

say() { echo "e2e-$e2e: $*"; }
ok() {
  checks=$((checks + 1))
  say "ok - $*"
}
fail() {
  say "FAIL - $*" >&2
  local log
  for log in "$work"/*.log "${fail_files[@]}"; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

# Runs first at exit when a script defines it, for what it started otherwise.
e2e_stop() { :; }
e2e_cleanup() {
  local i
  e2e_stop || true
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2>/dev/null || true; done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
  if [ -n "${KEEP:-}" ]; then say "kept $work"; else rm -rf "$work"; fi
}
trap e2e_cleanup EXIT

# Runs "$2..." until it succeeds or $1 seconds pass (its output is dropped).
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# The Tarvik under test in $tarvik: the first argument, else $TARVIK, else the ci build's (built
# when needed).
find_tarvik() {
  tarvik=${1:-${TARVIK:-}}
  if [ -z "$tarvik" ]; then
    cmake --preset ci >/dev/null
    cmake --build --preset ci -j "$(nproc)" --target tarvik >/dev/null
    tarvik=$PWD/build/ci/src/tarvik
  fi
  [ -x "$tarvik" ] || { say "no Tarvik at $tarvik" >&2; exit 1; }
}

# A private session under $1: home, config, data, state and runtime folders, no desktop named.
xdg_session() {
  export HOME=$1/home XDG_CONFIG_HOME=$1/home/.config XDG_DATA_HOME=$1/home/.local/share
  export XDG_STATE_HOME=$1/home/.local/state XDG_CACHE_HOME=$1/home/.cache XDG_RUNTIME_DIR=$1/run
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" \
    "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  unset XDG_CURRENT_DESKTOP DESKTOP_SESSION
}

# An X server of its own (geometry $1, default 1024x768x24) on a free display; DISPLAY is
# exported, and Qt is told to use it.
start_xvfb() {
  Xvfb -displayfd 3 -nolisten tcp -screen 0 "${1:-1024x768x24}" 3>"$work/display" \
    2>"$work/xvfb.log" &
  pids+=($!)
  wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb
}

# A private bus of type $1 (session or system) whose policy lets anyone own any name; its
# address is exported as D-Bus clients look for it.
start_bus() {
  cat >"$work/$1.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$1</type>
  <listen>unix:dir=$work</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
  dbus-daemon --config-file="$work/$1.conf" --nofork --print-address=3 3>"$work/$1.address" \
    2>"$work/$1-bus.log" &
  pids+=($!)
  wait_for 10 test -s "$work/$1.address" || fail "the private $1 bus did not start"
  if [ "$1" = session ]; then
    export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/$1.address")
  else
    export DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$work/$1.address")
  fi
}

# A TCP port on loopback that nothing listens on right now.
free_port() {
  "$PY" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Whether bus name $1 has an owner on the session bus.
has_owner() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# A host-list entry for --import: name $1, address $2, its own tray icon if $3 is true.
host_json() {
  printf '{"string":"%s","address":"%s","abbreviation":"%s","hasMenuBarItem":%s,' \
    "$1" "$2" "${1:0:1}" "${3:-false}"
  printf '"isFavorite":false,"categories":[],"isActive":true}'
}
