#!/usr/bin/env bash
# Runs the real Tarvik against a real XEmbed tray (trayer) on a private Xvfb display, drives it
# with xdotool as a person would, and saves screenshots (default: docs/screenshots/). Along the
# way it checks one real drag in the hosts window. Everything it starts is stopped at the end.
#   scripts/screenshots.sh [OUTDIR]     (TARVIK=path uses that build instead of build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=$(mkdir -p "${1:-docs/screenshots}" && cd "${1:-docs/screenshots}" && pwd)

scripts/deps.sh shots
if [ -z "${TARVIK:-}" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target tarvik >/dev/null
  TARVIK=$ROOT/build/default/src/tarvik
fi

WORK=$(mktemp -d)
PIDS=()
cleanup() {
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "screenshots: $*" >&2; exit 1; }

# A private home: settings, and no session bus, so Qt uses the XEmbed tray.
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb

# Hosts that answer (200), hosts that do not (404), on a local server; one paused host is gray.
# (/slow answers after 300 ms, for a host with a lower limit below.)
python3 - "$WORK/port" <<'PY' &
import http.server, socketserver, sys, time
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/slow"): time.sleep(0.3)
        self.send_response(404 if self.path.startswith("/missing") else 200)
        self.send_header("Content-Length", "2"); self.end_headers(); self.wfile.write(b"ok")
    def log_message(self, *args): pass
with socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler) as server:
    open(sys.argv[1], "w").write(str(server.server_address[1]))
    server.timeout = 0.5
    import time; end = time.time() + 600
    while time.time() < end: server.handle_request()
PY
PIDS+=($!)
for _ in $(seq 50); do [ -s "$WORK/port" ] && break; sleep 0.1; done
PORT=$(cat "$WORK/port")
cat >"$WORK/hosts.json" <<JSON
[{"string":"example.com","address":"http://127.0.0.1:$PORT/","abbreviation":"EX","hasMenuBarItem":true,"isFavorite":false,"categories":[],"isActive":true},
 {"string":"api.example.com","address":"http://127.0.0.1:$PORT/missing","abbreviation":"API","hasMenuBarItem":true,"isFavorite":false,"categories":[],"isActive":true},
 {"string":"staging 2","address":"http://127.0.0.1:$PORT/","hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":false},
 {"string":"R&D <b>beta</b>","address":"http://127.0.0.1:$PORT/","hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":true},
 {"string":"status-page-of-the-customer-portal.eu-west.example.com","address":"http://127.0.0.1:$PORT/","hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":true}]
JSON
"$TARVIK" --import "$WORK/hosts.json" >/dev/null
# Notices off while the windows are shot (they have their own picture below): the one saying
# api.example.com is down pops up under the tray, over the windows, and takes their clicks.
notices() {
  python3 - "$XDG_CONFIG_HOME/morvane/Tarvik.conf" "$1" <<'PY'
import re, sys
path, value = sys.argv[1], sys.argv[2]
text = re.sub(r"^notifications=.*\n", "", open(path).read(), flags=re.M)
open(path, "w").write(text.replace("[General]\n", "[General]\nnotifications=%s\n" % value, 1))
PY
  grep -q "^notifications=$1\$" "$XDG_CONFIG_HOME/morvane/Tarvik.conf" || fail "notices could not be set $1"
}
notices false
# A day of history for every host, so the sparklines and the details window have something to
# show: written in Tarvik's own history file format (see src/history/HistoryFile.cpp).
export XDG_STATE_HOME=$WORK/state
python3 - "$XDG_STATE_HOME/tarvik" "$WORK/hosts.json" <<'PY'
import hashlib, json, math, os, struct, sys, time
folder, hosts = sys.argv[1], json.load(open(sys.argv[2]))
os.makedirs(folder, mode=0o700, exist_ok=True)
def qstring(s):
    data = s.encode("utf-16-be")
    return struct.pack(">I", len(data)) + data
now, seen = int(time.time()), {}
for n, host in enumerate(hosts):
    address, name = host["address"], host["string"]
    occurrence = seen.get((address, name), 0); seen[(address, name)] = occurrence + 1
    # Reason texts are numbered in the order the checks first use them, and only used ones are
    # kept, as Tarvik writes them: a file that differs is refused as damaged.
    texts, records = [], b""
    stop = 8 * 3600 if not host["isActive"] else 0  # a paused host stopped checking
    for minute in range(1440, 0, -1):
        t = now - 61 * minute
        if now - t < stop: continue
        wave = 0.5 + 0.5 * math.sin((t % 86400) / 86400 * 2 * math.pi * 3 + n)
        dns, connect, tls = 0.002 + 0.001 * (minute % 5 == 0), 0.004 + 0.002 * wave, 0.011 + 0.004 * wave
        server = 0.035 + 0.06 * wave * (1 + n % 2) + (0.12 if minute % 97 == 0 else 0)
        transfer = 0.003 + 0.002 * (minute % 3)
        down = n == 1 and (300 < minute < 340 or 760 < minute < 775 or minute < 20)
        text = ("HTTP status 404" if minute < 20 else "Connection refused") if down else None
        if text and text not in texts: texts.append(text)
        reason = texts.index(text) + 1 if text else 0
        refused = text == "Connection refused"
        phases = (dns, connect, tls, server, transfer)
        total = 0 if refused else sum(phases)
        flags = 0 if down else 1
        if not refused: flags |= 2
        else: phases = (0, 0, 0, 0, 0)
        records += struct.pack(">If5fHB", t, total, *phases, reason, flags)
    count = len(records) // 31
    payload = (qstring(address) + qstring(name) + struct.pack(">Iq", occurrence, -2**63)
               + struct.pack(">I", len(texts)) + b"".join(qstring(x) for x in texts)
               + struct.pack(">I", count) + records)
    key = hashlib.sha256(address.encode() + b"\0" + name.encode() + b"\0" + str(occurrence).encode()).hexdigest()[:32]
    with open(os.path.join(folder, key + ".history"), "wb") as f:
        f.write(b"TVKH" + struct.pack(">HI", 1, len(payload)) + payload + hashlib.sha256(payload).digest())
PY

for n in $(seq 70 89); do [ -e "/tmp/.X$n-lock" ] || { DISPLAY_NUMBER=$n; break; }; done
export DISPLAY=:${DISPLAY_NUMBER:?no free display}
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# A desktop-like backdrop (Xvfb's root is black otherwise).
convert -size 1280x800 gradient:'#5e6f8a-#2e3440' "$WORK/backdrop.png"
display -window root "$WORK/backdrop.png" || true
trayer --edge top --align right --widthtype pixel --width 160 --height 24 --heighttype pixel \
  --transparent false --tint 0xdddddd --SetDockType true --expand true >/dev/null 2>&1 &
PIDS+=($!)
TRAYER=$!
sleep 1
"$TARVIK" >"$WORK/tarvik.log" 2>&1 &
PIDS+=($!)
TARVIK_PID=$!

# Tray icons, left to right, as "X Y W H" (trayer puts the newest on the left; the main icon is
# made first, so it is the rightmost).
icons() {
  local panel id x y w h
  panel=$(xdotool search --all --pid "$TRAYER" --classname '^panel$' | head -1)
  [ -n "$panel" ] || return 0
  # Panel children larger than 1x1 that hold an embedded client window, by position.
  xwininfo -tree -id "$panel" | awk '
    /^     0x/ { cur = ""; if (match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+$/)) {
                   g = substr($0, RSTART, RLENGTH); gsub(/[x+]+/, " ", g); split(g, v, " ")
                   if (v[1] > 1 && v[2] > 1) { cur = $1; geo[cur] = v[5] " " v[6] " " v[1] " " v[2] } } next }
    /^        0x/ { if (cur != "") has[cur] = 1 }
    END { for (k in has) print k, geo[k] }' |
  while read -r id x y w h; do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$x $y $w $h"
  done | sort -n -k1,1
}
for _ in $(seq 100); do [ "$(icons | wc -l)" -ge 3 ] && break; sleep 0.1; done
mapfile -t ICONS < <(icons)
[ ${#ICONS[@]} -ge 3 ] || fail "expected 3 tray icons, found ${#ICONS[@]} ($(cat "$WORK/tarvik.log"))"
centre() { read -r x y w h <<<"${ICONS[$1]}"; echo "$((x + w / 2)) $((y + h / 2))"; }
MAIN=$((${#ICONS[@]} - 1))
click_icon() { read -r cx cy < <(centre "$1"); xdotool mousemove "$cx" "$cy" click "${2:-1}"; }
window_of() { xdotool search --all --onlyvisible --name "^$1\$" | head -1; }
geometry() { xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
  /^  Width/{w=$NF} /^  Height/{h=$NF} END{print x, y, w, h}'; }
shot() { import -window root "$WORK/full.png" && convert "$WORK/full.png" -crop "$2" +repage "$OUT/$1.png"; }
sleep 2.5 # the first round has come back

echo "== the menu, with a row's submenu (the last name is too long and is shortened)"
click_icon "$MAIN" 1
sleep 0.8
xdotool key Down Right
sleep 0.8
shot menu 460x300+820+0
xdotool key Escape Escape Escape
sleep 0.4

echo "== a host's own icon and its tooltip"
read -r cx cy < <(centre 1)
xdotool mousemove "$((cx - 3))" "$cy" sleep 0.2 mousemove "$cx" "$cy"
sleep 2.5
shot host-icon 420x200+860+0
# The tray itself, four times magnified: each host's short name over its status bar, and the
# main icon with the red count of hosts that are down.
read -r x0 _ _ _ <<<"${ICONS[0]}"
read -r xm ym wm hm <<<"${ICONS[$MAIN]}"
convert "$WORK/full.png" -crop "$((xm + wm - x0 + 8))x$((ym + hm + 2))+$((x0 - 4))+0" +repage \
  -scale 400% "$OUT/tray-icons.png"

echo "== the hosts window"
click_icon "$MAIN" 1
sleep 0.6
xdotool key Up Up Up Up Up Return # from the bottom: Quit, More, Ping Frequency, Ping Now, Manage
sleep 1
HOSTS=$(window_of Hosts || true)
[ -n "$HOSTS" ] || fail "the hosts window did not open"
read -r hx hy hw hh < <(geometry "$HOSTS")
shot hosts-window 300x220+$((hx - 80))+0

echo "== a host's details, from a double-click on its row"
xdotool mousemove $((hx + 50)) $((hy + 22 + 10 + 20)) click --repeat 2 --delay 80 1
sleep 1
DETAILS=$(window_of "api.example.com" || true)
[ -n "$DETAILS" ] || fail "a double-click did not open the details window"
read -r dx dy dw dh < <(geometry "$DETAILS")
shot details "$((dw + 20))x$((dh + 20))+$((dx - 10))+$((dy - 10))"
xdotool mousemove $((dx + 12)) $((dy + 11)) click 1 # its close button
sleep 0.5

echo "== one real drag: the first row to the gap below the third"
row_y() { echo $((hy + 22 + 10 + 20 * $1)); }
xdotool mousemove $((hx + 50)) "$(row_y 0)" mousedown 1
for y in $(seq "$(row_y 0)" 4 $(($(row_y 2) + 9))); do xdotool mousemove $((hx + 50)) "$y"; sleep 0.03; done
sleep 0.3
xdotool mouseup 1
sleep 0.8
ORDER=$("$TARVIK" --export - | python3 -c 'import json,sys; print(",".join(h["string"] for h in json.load(sys.stdin)))')
[ "$ORDER" = "api.example.com,staging 2,example.com,R&D <b>beta</b>,status-page-of-the-customer-portal.eu-west.example.com" ] ||
  fail "drag gave: $ORDER"
echo "drag moved example.com below staging 2"
shot hosts-window-after-drag 300x220+$((hx - 80))+0

echo "== the add form, from the hosts window's add button"
xdotool mousemove $((hx + 10)) $((hy + hh - 10)) click 1
sleep 1
FORM=$(window_of "New Host" || true)
[ -n "$FORM" ] || fail "the form did not open"
read -r fx fy fw fh < <(geometry "$FORM")
xdotool type --delay 40 "www.example.org"
xdotool key Tab
sleep 0.5
shot form-new 300x320+$((fx - 75))+0
echo "== the form, with an address Tarvik will never check"
xdotool key shift+Tab ctrl+a
xdotool type --delay 40 "ftp://example.com"
sleep 0.5
shot form-hint 300x320+$((fx - 75))+0
xdotool key Escape # closes it without saving
sleep 0.5
[ -z "$(window_of "New Host" || true)" ] || fail "Escape did not close the form"
xdotool mousemove $((hx + 12)) $((hy + 11)) click 1
sleep 0.5

echo "== the edit form, from Alt+click on a host's own icon"
read -r cx cy < <(centre 1)
xdotool mousemove "$cx" "$cy" keydown alt click 1 keyup alt
sleep 1
FORM=$(window_of "example.com" || true) # titled with the name of the host it edits
[ -n "$FORM" ] || fail "Alt+click did not open the form"
read -r fx fy fw fh < <(geometry "$FORM")
shot form-edit 300x320+$((fx - 75))+0
xdotool mousemove $((fx + 12)) $((fy + 11)) click 1
sleep 0.5

echo "== the Ping Frequency and More submenus"
click_icon "$MAIN" 1
sleep 0.8
xdotool key Up Up Up Right # from the bottom: Quit, More, Ping Frequency
sleep 0.8
shot ping-frequency 460x300+820+0
xdotool key Escape Escape
sleep 0.3
click_icon "$MAIN" 1
sleep 0.8
xdotool key Up Up Right Down Return # More, its second item: Notifications on again
sleep 0.5
grep -q '^notifications=true' "$XDG_CONFIG_HOME/morvane/Tarvik.conf" || fail "Notifications did not turn on"
click_icon "$MAIN" 1
sleep 0.8
xdotool key Up Up Right
sleep 0.8
shot more 460x300+820+0
xdotool key Escape Escape

echo "== check options: a slow host, the Check section, its editor, trusting a certificate"
# A Tarvik of its own with a list of hosts that have options, and notices off again. "search"
# answers after 300 ms, over its 200 ms limit; nas.home has a certificate that signed itself, as
# a NAS's or a router's does.
kill "$TARVIK_PID"
wait "$TARVIK_PID" 2>/dev/null || true
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 365 -subj /CN=nas.home \
  -addext subjectAltName=DNS:nas.home -keyout "$WORK/nas.key" -out "$WORK/nas.pem" 2>/dev/null
python3 - "$WORK/nas.pem" "$WORK/nas.key" "$WORK/tls-port" <<'PY' &
import http.server, ssl, sys, time
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200); self.send_header("Content-Length", "2"); self.end_headers()
        self.wfile.write(b"ok")
    def log_message(self, *args): pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
server.socket = context.wrap_socket(server.socket, server_side=True)
open(sys.argv[3], "w").write(str(server.server_address[1]))
server.timeout = 0.5
end = time.time() + 600
while time.time() < end:
    try: server.handle_request()
    except (ssl.SSLError, OSError): pass  # a client that leaves during the handshake
PY
PIDS+=($!)
for _ in $(seq 50); do [ -s "$WORK/tls-port" ] && break; sleep 0.1; done
cat >"$WORK/checks.json" <<JSON
[{"string":"example.com","address":"http://127.0.0.1:$PORT/","abbreviation":"EX","hasMenuBarItem":true,"isFavorite":false,"categories":[],"isActive":true},
 {"string":"api.example.com","address":"http://127.0.0.1:$PORT/missing","hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":true,
  "check":{"expectStatus":"200-299,401","timeoutSeconds":10,"slowAboveMs":150,"headers":{"Authorization":"Bearer never-shown"}}},
 {"string":"search","address":"http://127.0.0.1:$PORT/slow","abbreviation":"S","hasMenuBarItem":true,"isFavorite":false,"categories":[],"isActive":true,
  "check":{"slowAboveMs":200,"bodyContains":"ok"}},
 {"string":"nas.home","address":"https://127.0.0.1:$(cat "$WORK/tls-port")/","hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":true}]
JSON
"$TARVIK" --import "$WORK/checks.json" >/dev/null
notices false
"$TARVIK" >"$WORK/tarvik.log" 2>&1 &
PIDS+=($!)
TARVIK_PID=$!
for _ in $(seq 100); do [ "$(icons | wc -l)" -ge 3 ] && break; sleep 0.1; done
mapfile -t ICONS < <(icons)
[ ${#ICONS[@]} -ge 3 ] || fail "expected 3 tray icons with the check options' list, found ${#ICONS[@]}"
MAIN=$((${#ICONS[@]} - 1))
# A host is slow after two slow answers in a row: the second round comes a minute after the first.
sleep 64
read -r cx cy < <(centre "$MAIN")
xdotool mousemove "$((cx - 3))" "$cy" sleep 0.2 mousemove "$cx" "$cy"
sleep 2.5
shot tooltip-slow 460x200+820+0
click_icon "$MAIN" 1
sleep 0.8
shot menu-slow 460x300+820+0
xdotool key Escape
sleep 0.4
click_icon "$MAIN" 1
sleep 0.6
xdotool key Up Up Up Up Up Return # Manage
sleep 1
HOSTS=$(window_of Hosts || true)
[ -n "$HOSTS" ] || fail "the hosts window did not open"
read -r hx hy hw hh < <(geometry "$HOSTS")
shot hosts-window-slow 300x220+$((hx - 80))+0
row_y() { echo $((hy + 22 + 10 + 20 * $1)); }
xdotool mousemove $((hx + 50)) "$(row_y 1)" click --repeat 2 --delay 80 1
sleep 1
DETAILS=$(window_of "api.example.com" || true)
[ -n "$DETAILS" ] || fail "a double-click did not open the details of api.example.com"
read -r dx dy dw dh < <(geometry "$DETAILS")
shot details-check "$((dw + 20))x$((dh + 20))+$((dx - 10))+$((dy - 10))"
# The Check section's buttons, where the details window's layout puts them.
change_button() { xdotool mousemove $((dx + 142)) $((dy + 111)) click 1; }
trust_button() { xdotool mousemove $((dx + 253)) $((dy + 111)) click 1; }
change_button
sleep 1
EDITOR=$(window_of "Check of api.example.com" || true)
[ -n "$EDITOR" ] || fail "Change… did not open the check editor"
xdotool key ctrl+a # the first field, the statuses
xdotool type --delay 40 "200-299,4o1" # a typing error, said under its field on Save
xdotool key Return
sleep 0.5
read -r ex ey ew eh < <(geometry "$EDITOR")
shot check-editor "$((ew + 20))x$((eh + 20))+$((ex - 10))+$((ey - 10))"
xdotool key Escape
sleep 0.5
xdotool mousemove $((dx + 12)) $((dy + 11)) click 1 # the details' close button
sleep 0.5
xdotool mousemove $((hx + 50)) "$(row_y 3)" click --repeat 2 --delay 80 1
sleep 1
DETAILS=$(window_of "nas.home" || true)
[ -n "$DETAILS" ] || fail "a double-click did not open the details of nas.home"
read -r dx dy dw dh < <(geometry "$DETAILS")
trust_button
sleep 1.5
TRUST=$(window_of "Trust the Certificate of nas.home" || true)
[ -n "$TRUST" ] || fail "Trust This Certificate… did not open its dialog"
read -r tx ty tw th < <(geometry "$TRUST")
shot trust-certificate "$((tw + 20))x$((th + 20))+$((tx - 10))+$((ty - 10))"
xdotool mousemove $((tx + tw - 49)) $((ty + th - 25)) click 1 # its Trust button
sleep 1.5
[ -z "$(window_of "Trust the Certificate of nas.home" || true)" ] || fail "Trust did not close its dialog"
# The pin is stored: another Tarvik reading the store finds the host up.
grep -q '"name":"nas.home".*"reachable":true' <<<"$("$TARVIK" --check --json || true)" ||
  fail "nas.home is not up with its certificate trusted"
xdotool mousemove $((dx + 12)) $((dy + 11)) click 1
sleep 0.3
"$TARVIK" --import "$WORK/hosts.json" >/dev/null # the running Tarvik takes the first list again
notices true

echo "== a desktop without a tray"
kill "$TARVIK_PID" "$TRAYER"
wait "$TARVIK_PID" "$TRAYER" 2>/dev/null || true
display -window root "$WORK/backdrop.png" || true
"$TARVIK" >"$WORK/tarvik.log" 2>&1 &
PIDS+=($!)
TARVIK_PID=$!
notray() { xdotool search --all --onlyvisible --pid "$TARVIK_PID" --name '^Tarvik$' 2>/dev/null | head -1; }
for _ in $(seq 50); do [ -n "$(notray)" ] && break; sleep 0.2; done
NOTRAY=$(notray)
[ -n "$NOTRAY" ] || fail "no window said that there is no tray ($(cat "$WORK/tarvik.log"))"
read -r nx ny nw nh < <(geometry "$NOTRAY")
sleep 0.5
shot no-tray "$((nw + 40))x$((nh + 40))+$((nx > 20 ? nx - 20 : 0))+$((ny > 20 ? ny - 20 : 0))"
# Closed, it comes back with the next start, which hands over to this Tarvik.
xdotool mousemove $((nx + nw / 2)) $((ny + 10)) key Escape
for _ in $(seq 25); do [ -z "$(notray)" ] && break; sleep 0.2; done
[ -z "$(notray)" ] || fail "Escape did not close the no-tray window"
"$TARVIK" >/dev/null 2>&1 || fail "a second start failed"
for _ in $(seq 25); do [ -n "$(notray)" ] && break; sleep 0.2; done
[ -n "$(notray)" ] || fail "a second start did not bring the no-tray window back"

echo "== a tray appears at the bottom of the screen: the window goes, the icons come"
trayer --edge bottom --align right --widthtype pixel --width 160 --height 24 --heighttype pixel \
  --transparent false --tint 0xdddddd --SetDockType true --expand true >/dev/null 2>&1 &
PIDS+=($!)
TRAYER=$!
for _ in $(seq 50); do [ -z "$(notray)" ] && break; sleep 0.2; done
[ -z "$(notray)" ] || fail "the no-tray window stayed open with a tray"
for _ in $(seq 100); do [ "$(icons | wc -l)" -ge 3 ] && break; sleep 0.1; done
mapfile -t ICONS < <(icons)
[ ${#ICONS[@]} -ge 3 ] || fail "expected 3 tray icons at the bottom, found ${#ICONS[@]}"
MAIN=$((${#ICONS[@]} - 1))
sleep 1
click_icon "$MAIN" 1
sleep 0.8
xdotool key Up Up Up Up Up Return # from the bottom: Quit, More, Ping Frequency, Ping Now, Manage
sleep 1
HOSTS=$(window_of Hosts || true)
[ -n "$HOSTS" ] || fail "the hosts window did not open from the bottom tray"
read -r hx hy hw hh < <(geometry "$HOSTS")
read -r _ iy _ _ <<<"${ICONS[$MAIN]}"
[ $((hy + hh)) -le "$iy" ] || fail "the hosts window ($hy+$hh) covers the tray at $iy"
shot hosts-window-bottom 300x260+$((hx - 80))+540

echo "== a D-Bus tray (KDE, GNOME's extension): what the desktop reads from Tarvik"
# The shared tray-session tools run Tarvik on a private session bus with a stand-in
# StatusNotifierWatcher and dump every item with its exported menu; the host icon's menu and
# tooltip are drawn from that dump as text.
TRAY_SESSION=${TRAY_SESSION:-/work/shared/tools/tray-session}
if [ -x "$TRAY_SESSION/sni-session.sh" ]; then
  export HOME=$WORK/sni/home XDG_CONFIG_HOME=$WORK/sni/config XDG_RUNTIME_DIR=$WORK/sni/run
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  "$TARVIK" --import "$WORK/hosts.json" >/dev/null
  MIN_ITEMS=3 STEPS='wait 2
sni dbus-tray' "$TRAY_SESSION/sni-session.sh" "$WORK/sni/out" -- "$TARVIK" >/dev/null 2>&1 ||
    fail "the D-Bus tray session failed (see $WORK/sni/out)"
  # The items after the main one are the host icons; keep the first, and the main menu's rows.
  awk '/^item 1 /{host=1} /^item 2 /{host=0} host' "$WORK/sni/out/dbus-tray.txt" |
    sed -E 's/ (enabled=1 visible=1|icon-data=[0-9]+B|IconName.*)//g' >"$WORK/sni/host.txt"
  grep -q '"Ping Now"' "$WORK/sni/host.txt" || fail "the host icon has no menu on a D-Bus tray"
  convert -background '#f4f4f4' -fill '#202020' -font DejaVu-Sans-Mono -pointsize 13 \
    -bordercolor '#f4f4f4' -border 12 label:"$(cat "$WORK/sni/host.txt")" "$OUT/dbus-host-icon.png"
else
  echo "(skipped: no tray-session tools at $TRAY_SESSION)"
fi

echo "== a notification shown by a real notification daemon (dunst), then the offline icon"
# A session bus with dunst on it, and a system bus with a NetworkManager this script sets.
export HOME=$WORK/notify/home XDG_CONFIG_HOME=$WORK/notify/config XDG_RUNTIME_DIR=$WORK/notify/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
kill "$TARVIK_PID" 2>/dev/null || true
wait "$TARVIK_PID" 2>/dev/null || true
for type in session system; do
  cat >"$WORK/notify/$type.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>$type</type><listen>unix:dir=$WORK/notify</listen><auth>EXTERNAL</auth>
  <policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
    <allow receive_sender="*"/></policy></busconfig>
CONF
  dbus-daemon --config-file="$WORK/notify/$type.conf" --nofork --print-address=3 \
    3>"$WORK/notify/$type.address" 2>/dev/null &
  PIDS+=($!)
  for _ in $(seq 50); do [ -s "$WORK/notify/$type.address" ] && break; sleep 0.1; done
done
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$WORK/notify/session.address")
DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$WORK/notify/system.address")
export DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS
/usr/bin/python3 "$ROOT/scripts/fakes/network_manager.py" 70 >"$WORK/notify/nm-ready" 2>/dev/null &
PIDS+=($!)
cat >"$WORK/notify/dunstrc" <<'CONF'
[global]
    font = DejaVu Sans 10
    origin = top-right
    offset = 16x40
    width = 340
    padding = 10
    horizontal_padding = 12
    frame_width = 2
    corner_radius = 6
    format = "<b>%s</b>\n%b"
    show_indicators = no
[urgency_critical]
    background = "#2e3440"
    foreground = "#eceff4"
    frame_color = "#bf616a"
    timeout = 0
[urgency_normal]
    background = "#2e3440"
    foreground = "#eceff4"
    frame_color = "#a3be8c"
    timeout = 0
CONF
dunst -config "$WORK/notify/dunstrc" >"$WORK/notify/dunst.log" 2>&1 &
PIDS+=($!)
on_bus() {
  dbus-send --"$1" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$2" 2>/dev/null | grep -q true
}
for _ in $(seq 50); do
  on_bus session org.freedesktop.Notifications && on_bus system org.freedesktop.NetworkManager && break
  sleep 0.1
done
on_bus session org.freedesktop.Notifications || fail "dunst did not start ($(cat "$WORK/notify/dunst.log"))"
cat >"$WORK/notify/hosts.json" <<JSON
[{"string":"example.com","address":"http://127.0.0.1:$PORT/","hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":true},
 {"string":"api.example.com","address":"http://127.0.0.1:$PORT/missing","hasMenuBarItem":false,"isFavorite":false,"categories":[],"isActive":true}]
JSON
"$TARVIK" --import "$WORK/notify/hosts.json" >/dev/null
"$TARVIK" >"$WORK/tarvik.log" 2>&1 &
PIDS+=($!)
TARVIK_PID=$!
# The failing host is asked again ten seconds after its first failure; then dunst shows it.
dunst_window() { xdotool search --all --onlyvisible --class '^Dunst$' 2>/dev/null | head -1; }
for _ in $(seq 100); do [ -n "$(dunst_window)" ] && break; sleep 0.25; done
NOTE=$(dunst_window)
[ -n "$NOTE" ] || fail "dunst showed no notification ($(cat "$WORK/tarvik.log"))"
sleep 0.5
read -r nx ny nw nh < <(geometry "$NOTE")
shot notification "$((nw + 32))x$((nh + 32))+$((nx - 16))+$((ny - 16))"
dbus-send --session --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
  org.freedesktop.Notifications.CloseNotification uint32:1 || true
for _ in $(seq 100); do [ "$(icons | wc -l)" -ge 1 ] && break; sleep 0.1; done
mapfile -t ICONS < <(icons)
MAIN=$((${#ICONS[@]} - 1))
read -r xm ym wm hm <<<"${ICONS[$MAIN]}"
tray_shot() {
  import -window root "$WORK/full.png"
  convert "$WORK/full.png" -crop "$((wm + 8))x$((hm + 4))+$((xm - 4))+$((ym - 2))" +repage \
    -scale 400% "$1"
}
tray_shot "$WORK/notify/online.png"
dbus-send --system --print-reply --dest=org.freedesktop.NetworkManager \
  /org/freedesktop/NetworkManager com.morvane.Tarvik.Test.SetState uint32:20 >/dev/null
sleep 1
tray_shot "$WORK/notify/offline.png"
# Side by side: with the network (one host down, red count), and without it (gray, no count).
convert "$WORK/notify/online.png" "$WORK/notify/offline.png" -background '#dddddd' -splice 8x0 \
  +append "$OUT/offline.png"

# Each real panel (LXQt's, Xfce's) with Tarvik's icons and the panel's own menu of the main icon,
# taken on the way through their end-to-end check.
SHOTS=$OUT bash scripts/e2e-panels.sh "$TARVIK" >"$WORK/panels.log" 2>&1 ||
  fail "the real panels' run failed: $(tail -n 20 "$WORK/panels.log")"

echo "screenshots in $OUT"
