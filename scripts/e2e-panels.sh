#!/usr/bin/env bash
# Real panels, end to end: the real tray Tarvik under Xvfb beside a panel from Debian that nobody
# here wrote - LXQt's (its Status Notifier plugin: a StatusNotifierItem host with its own DBusMenu
# client, which calls back into every item while it waits) and Xfce's (its systray plugin) - each
# in its own dbus-run-session with openbox and dunst, configured from files this script writes.
# Two hosts with their own icons, one answering and one refusing connections. Checks, for each
# panel: the three icons appear within 2 s of Tarvik's start; the panel's own menu for the main
# icon lists the hosts (their dots); its first row's Pause pauses that host and Start starts it
# again; after the panel restarts, the icons are back within 2 s and the menu still works; the
# down host's notice reaches dunst. Every process it starts is ended before it exits; every wait
# is bounded. SHOTS=DIR also leaves a picture of the panel with its menu open in DIR.
# Usage: scripts/e2e-panels.sh [TARVIK] [lxqt|xfce]   (default build/ci/src/tarvik; both panels)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  for kind in lxqt xfce; do bash "$0" "${1:-}" "$kind"; done
  exit 0
fi
kind=$2
e2e=panels-$kind
. scripts/e2e-helpers.sh
find_tarvik "$1"
case "$kind" in
  lxqt) panel_height=32 ;;
  xfce) panel_height=30 ;;
  *) fail "no panel called $kind" ;;
esac
# Icons on the panel, as "X KIND" lines left to right (KIND: main, green or red).
icons_file=$work/icons.txt

# --- a private session, its panel configured by file; the machine's own system bus
xdg_session "$work"
unset DBUS_SYSTEM_BUS_ADDRESS
if [ "$kind" = lxqt ]; then
  mkdir -p "$XDG_CONFIG_HOME/lxqt"
  printf '[General]\ntheme=light\nicon_theme=hicolor\n' >"$XDG_CONFIG_HOME/lxqt/lxqt.conf"
  cat >"$XDG_CONFIG_HOME/lxqt/panel.conf" <<'CONF'
[General]
__userfile__=true
iconTheme=

[panel1]
plugins=spacer,statusnotifier,worldclock
position=Top
desktop=0
panelSize=32
iconSize=22
alignment=-1
lineCount=1

[spacer]
type=spacer
expandable=true

[statusnotifier]
type=statusnotifier
alignment=Right

[worldclock]
type=worldclock
alignment=Right
CONF
else
  mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
  cat >"$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="false"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="icon-size" type="uint" value="0"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
        <value type="int" value="3"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
    </property>
    <property name="plugin-3" type="string" value="clock"/>
  </property>
</channel>
XML
fi

# --- hosts: one answering, one refusing connections; each with its own icon
mkdir -p "$work/www"
echo ok >"$work/www/index.html"
up_port=$(free_port)
down_port=$(free_port)
"$PY" -m http.server --bind 127.0.0.1 --directory "$work/www" "$up_port" >"$work/www.log" 2>&1 &
pids+=($!)
wait_for 10 curl -fsS "http://127.0.0.1:$up_port/" || fail "the local web host did not start"
printf '[%s,\n %s]\n' "$(host_json api "http://127.0.0.1:$up_port/" true)" \
  "$(host_json shop "http://127.0.0.1:$down_port/" true)" >"$work/hosts.json"
"$tarvik" --import "$work/hosts.json" >"$work/import.log" 2>&1 || fail "--import failed"
# "true" or "false": whether host $1 is active in the stored list.
active() {
  "$tarvik" --export - 2>/dev/null | "$PY" -c '
import json, sys
print(str(next(h for h in json.load(sys.stdin) if h["string"] == sys.argv[1])["isActive"]).lower())' "$1"
}
api_is() { [ "$(active api)" = "$1" ]; }

# --- the desktop: an X server, a session bus of its own, window manager, notices, panel
start_xvfb 1280x800x24
setsid dbus-run-session -- sh -c 'echo "$DBUS_SESSION_BUS_ADDRESS" >"$1.tmp" && mv "$1.tmp" "$1" &&
  exec sleep 86400' sh "$work/bus" >"$work/session.log" 2>&1 &
session=$!
wait_for 10 test -s "$work/bus" || fail "dbus-run-session did not start"
export DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus")
desktop=()
tarvik_pid=
panel_pid=
start_panel() {
  if [ "$kind" = lxqt ]; then
    lxqt-panel >>"$work/panel.log" 2>&1 &
  else
    xfce4-panel >>"$work/panel.log" 2>&1 &
  fi
  panel_pid=$!
  desktop+=($panel_pid)
}
# Tarvik, the panel and the rest of the desktop go before the session bus, and that before the
# X server.
e2e_stop() {
  local i
  [ -z "$tarvik_pid" ] || { kill -TERM "$tarvik_pid" 2>/dev/null || true; wait "$tarvik_pid" 2>/dev/null || true; }
  for ((i = ${#desktop[@]} - 1; i >= 0; i--)); do kill -TERM "${desktop[i]}" 2>/dev/null || true; done
  for ((i = ${#desktop[@]} - 1; i >= 0; i--)); do wait "${desktop[i]}" 2>/dev/null || true; done
  kill -TERM -- "-$session" 2>/dev/null || true
  wait "$session" 2>/dev/null || true
}
# No accessibility bus in this session: GTK would start one with every panel start.
export NO_AT_BRIDGE=1
openbox >"$work/openbox.log" 2>&1 &
desktop+=($!)
dunst >"$work/dunst.log" 2>&1 &
desktop+=($!)
if [ "$kind" = xfce ]; then
  /usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd >"$work/xfconfd.log" 2>&1 &
  desktop+=($!)
  wait_for 10 has_owner org.xfce.Xfconf || fail "xfconfd did not start"
fi
start_panel
wait_for 20 has_owner org.kde.StatusNotifierWatcher || fail "the panel hosts no StatusNotifierItems"
wait_for 10 has_owner org.freedesktop.Notifications || fail "dunst did not start"
xsetroot -solid '#5a7a9a' # a desktop's colour, for the pictures

# --- what the screen shows
# Writes the panel's icons (saturated pixels, grouped by columns) to $icons_file.
read_icons() {
  grabbed=$(date +%s%N)
  import -window root -crop "1280x$((panel_height - 6))+0+3" -depth 8 rgb:- 2>/dev/null |
    "$PY" -c '
import sys
width, height = 1280, int(sys.argv[1])
data = sys.stdin.buffer.read()
columns = {}
for y in range(height):
    for x in range(width):
        r, g, b = data[(y * width + x) * 3:(y * width + x) * 3 + 3]
        if max(r, g, b) - min(r, g, b) <= 60:
            continue
        kind = ("green" if abs(r - 52) < 40 and abs(g - 199) < 40 and abs(b - 89) < 40 else
                "red" if r > 215 and g < 110 and b < 110 else "other")
        column = columns.setdefault(x, {"green": 0, "red": 0, "other": 0})
        column[kind] += 1
groups = []
for x in sorted(columns):
    if groups and x - groups[-1][1] <= 3:
        groups[-1][1] = x
        for k, n in columns[x].items():
            groups[-1][2][k] += n
    else:
        groups.append([x, x, dict(columns[x])])
for first, last, counts in groups:
    # The main icon is teal (with a red count); a host icon is its letter over a coloured bar.
    kind = "main" if counts["other"] >= 10 else max(("green", "red"), key=lambda k: counts[k])
    print((first + last) // 2, kind)' "$((panel_height - 6))" >"$icons_file"
}
icon_count() { wc -l <"$icons_file"; }
icons_are() { read_icons && [ "$(icon_count)" -eq "$1" ]; }
three_icons() { icons_are 3; }
icon_x() { awk -v k="$1" '$2 == k { print $1; exit }' "$icons_file"; }
# Waits up to 20 s for the three icons; prints the seconds from $1 (date +%s%N) to the moment
# the screen that first showed them was taken.
icons_within() {
  local deadline=$((SECONDS + 20))
  until three_icons; do
    [ $SECONDS -lt $deadline ] || { echo timeout; return 0; }
  done
  seconds "$1" "$grabbed"
}
# Seconds from $1 to $2 (both from date +%s%N), as 0.00; and whether $1 seconds are at most $2.
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }
at_most() { awk -v t="$1" -v m="$2" 'BEGIN { exit !(t <= m) }'; }

# Mapped top-level windows, one id a line.
mapped_windows() {
  local id
  for id in $(xwininfo -root -children | awk '/^     0x/ { print $1 }'); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
  done
  return 0
}
# Opens the panel's own menu of the main icon (a right click) and leaves the new window's
# geometry in $work/menu.geometry ("W H X Y").
open_menu() {
  local before x
  before=$(mapped_windows)
  x=$(icon_x main)
  [ -n "$x" ] || fail "no main icon to click"
  xdotool mousemove "$x" $((panel_height / 2)) click 3
  menu_window() {
    local id
    for id in $(mapped_windows); do
      grep -qx "$id" <<<"$before" && continue
      # A notice popping up meanwhile is a new window too, but not the menu.
      xprop -id "$id" WM_CLASS 2>/dev/null | grep -qi dunst && continue
      xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { if (w > 40 && h > 40) print w, h, x, y }' \
        >"$work/menu.geometry"
      [ -s "$work/menu.geometry" ] && echo "$id" >"$work/menu.id" && return 0
    done
    return 1
  }
  wait_for 10 menu_window || fail "the panel opened no menu for the main icon"
}
menu_closed() { ! xwininfo -id "$(cat "$work/menu.id")" 2>/dev/null | grep -q IsViewable; }
# Pixels of each host dot colour in the open menu, as "GREEN RED".
menu_dots() {
  local w h x y
  read -r w h x y <"$work/menu.geometry"
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$work/menu.png"
  convert "$work/menu.png" -depth 8 rgb:- | "$PY" -c '
import sys
data = sys.stdin.buffer.read()
green = red = 0
for i in range(0, len(data) - 2, 3):
    r, g, b = data[i:i + 3]
    green += abs(r - 52) < 40 and abs(g - 199) < 40 and abs(b - 89) < 40
    red += r > 215 and g < 110 and b < 110
print(green, red)'
}
# Whether the open menu shows a green and a red host dot; the panel fills a menu it has just
# opened from its own copy, then again once Tarvik's layout arrives, so this is waited for.
menu_has_dots() {
  read -r green red < <(menu_dots)
  [ "$green" -ge 20 ] && [ "$red" -ge 20 ]
}
# In the open menu: the first row (the first host), its submenu, and that submenu's first item.
choose_first_rows_first_command() {
  xdotool key Down
  sleep 0.3
  xdotool key Right
  sleep 0.5
  xdotool key Return
  wait_for 5 menu_closed || fail "the menu stayed open after its command"
}

# --- Tarvik starts: its icons appear
start=$(date +%s%N)
"$tarvik" >"$work/tarvik.log" 2>&1 &
tarvik_pid=$!
took=$(icons_within "$start")
[ "$took" != timeout ] ||
  fail "Tarvik's icons did not appear on the panel ($(icon_count) seen: $(xargs <"$icons_file"))"
at_most "$took" 2 || fail "Tarvik's icons took $took s to appear (at most 2 s)"
[ -n "$(icon_x green)" ] && [ -n "$(icon_x red)" ] && [ -n "$(icon_x main)" ] ||
  fail "the icons are not the main one and a green and a red host: $(xargs <"$icons_file")"
ok "$kind: the main icon and both host icons appeared $took s after Tarvik started"

# --- the panel's own menu lists the hosts; the first row's Pause pauses "api"
open_menu
wait_for 5 menu_has_dots || fail "the menu shows no green and red host dots ($green, $red)"
if [ -n "${SHOTS:-}" ]; then
  # The right end of the panel, with Tarvik's icons and the menu below them.
  read -r w h x y <"$work/menu.geometry"
  left=$(awk -v m="$x" 'BEGIN { l = m } $1 - 30 < l { l = $1 - 30 } END { print l - 16 }' "$icons_file")
  mkdir -p "$SHOTS"
  convert "$work/screen.png" -crop "$((1280 - left))x$((y + h + 16))+$left+0" +repage \
    "$SHOTS/panel-$kind.png"
fi
ok "$kind: the panel's menu lists the hosts (a green and a red dot)"
choose_first_rows_first_command
wait_for 10 api_is false || fail "Pause in the panel's menu did not pause api"
wait_for 10 icons_are 2 || fail "api's icon kept its green bar"
ok "$kind: the first row's Pause paused api (stored, and its icon lost its green bar)"
open_menu
choose_first_rows_first_command
wait_for 10 api_is true || fail "Start in the panel's menu did not start api again"
ok "$kind: the same row's Start started api again"

# --- the panel restarts: the icons come back, and the menu works
no_watcher() { ! has_owner org.kde.StatusNotifierWatcher; }
for restart in 1 2 3; do
  kill -TERM "$panel_pid"
  wait "$panel_pid" 2>/dev/null || true
  wait_for 10 no_watcher || fail "the panel's watcher did not go away"
  launched=$(date +%s%N)
  start_panel
  # The panel's own start-up is its business: the icons are timed from its watcher's return.
  wait_for 20 has_owner org.kde.StatusNotifierWatcher || fail "the panel did not start again"
  start=$(date +%s%N)
  took=$(icons_within "$start")
  [ "$took" != timeout ] || fail "after restart $restart the icons did not come back ($(xargs <"$icons_file"))"
  at_most "$took" 2 || fail "after restart $restart the icons took $took s to come back"
  took="$took s (the panel took $(seconds "$launched" "$start") s to start)"
  open_menu
  wait_for 5 menu_has_dots ||
    { cp "$work/screen.png" "$work/restart-$restart.png" 2>/dev/null || true
      fail "after restart $restart the menu shows no host dots ($green, $red; $work/restart-$restart.png)"; }
  choose_first_rows_first_command
  wait_for 10 api_is false || fail "after restart $restart Pause in the menu did not pause api"
  open_menu
  choose_first_rows_first_command
  wait_for 10 api_is true || fail "after restart $restart Start in the menu did not start api"
  ok "$kind: panel restart $restart: icons back after $took; Pause and Start from its menu acted"
done

# --- the down host's notice reached dunst
dunst_has_notice() {
  dunstctl count displayed | grep -qv '^0$' || dunstctl history | grep -q 'shop is down'
}
in_history() { dunstctl history | grep -q 'shop is down'; }
wait_for 40 dunst_has_notice || fail "no notice reached dunst"
dunstctl close-all
wait_for 10 in_history ||
  fail "dunst's history has no \"shop is down\": $(dunstctl history | head -c 300)"
ok "$kind: \"shop is down\" reached dunst"

kill -0 "$tarvik_pid" || fail "Tarvik is no longer running"
say "all $checks checks passed"
