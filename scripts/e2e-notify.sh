#!/usr/bin/env bash
# Notifications and the offline look, end to end: the real tray Tarvik under Xvfb with a tray
# (trayer), on a private session bus holding a recording notification server and a private
# system bus holding a NetworkManager whose State this script sets; one host on a local HTTP
# server whose answer it flips. Checks the "down" notification (after the re-check), the recovery
# replacing it, and that offline the main icon loses its red count and nothing is notified.
# Every process it starts is ended before it exits; every wait is bounded.
# Usage: scripts/e2e-notify.sh [TARVIK]   (or TARVIK=...; default build/ci/src/tarvik, built if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
e2e=notify
. scripts/e2e-helpers.sh
find_tarvik "${1:-}"
fail_files+=("$work/notifications.tsv")

# --- a private session, and two private buses: a session one, and one of type system for
# NetworkManager
xdg_session "$work"
start_bus session
start_bus system

"$PY" scripts/fakes/notification_server.py "$work/notifications.tsv" >"$work/notify-ready" \
  2>"$work/notification-server.log" &
pids+=($!)
"$PY" scripts/fakes/network_manager.py 70 >"$work/nm-ready" 2>"$work/network-manager.log" &
pids+=($!)
wait_for 10 grep -qs ready "$work/notify-ready" || fail "the notification server did not start"
wait_for 10 grep -qs ready "$work/nm-ready" || fail "the NetworkManager did not start"
touch "$work/notifications.tsv"
network() {
  dbus-send --system --print-reply --dest=org.freedesktop.NetworkManager \
    /org/freedesktop/NetworkManager com.morvane.Tarvik.Test.SetState "uint32:$1" >/dev/null ||
    fail "could not set NetworkManager's State to $1"
}

# --- a host on a local HTTP server, answering the status in $work/status; every request logged
echo 200 >"$work/status"
"$PY" - "$work" <<'PY' >"$work/http.log" 2>&1 &
import http.server, sys
work = sys.argv[1]
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        status = int(open(work + "/status").read())
        self.send_response(status)
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"ok")
        with open(work + "/requests", "a") as log:
            log.write("%d\n" % status)
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
open(work + "/port.tmp", "w").write(str(server.server_address[1]))
__import__("os").rename(work + "/port.tmp", work + "/port")
server.serve_forever()
PY
pids+=($!)
wait_for 10 test -s "$work/port" || fail "the HTTP server did not start"
touch "$work/requests"
address="http://127.0.0.1:$(cat "$work/port")/api"
answer() { echo "$1" >"$work/status"; }
requests() { wc -l <"$work/requests"; }
# Waits for a request beyond the first $1 (then its answer has reached Tarvik a moment later).
more_requests_than() { [ "$(requests)" -gt "$1" ]; }
request_after() { wait_for "$2" more_requests_than "$1"; }

mkdir -p "$XDG_CONFIG_HOME/morvane"
printf '[General]\npingFrequency=60\n' >"$XDG_CONFIG_HOME/morvane/Tarvik.conf"
cat >"$work/hosts.json" <<JSON
[{"string":"api","address":"$address","hasMenuBarItem":false,"isFavorite":false,
  "categories":[],"isActive":true}]
JSON
"$tarvik" --import "$work/hosts.json" >"$work/import.log" 2>&1 || fail "--import failed"

# --- a display with a tray
start_xvfb 800x600x24
trayer --edge top --align right --widthtype pixel --width 100 --height 24 --heighttype pixel \
  --transparent false --tint 0xdddddd --SetDockType true >/dev/null 2>&1 &
pids+=($!)
tray_pid=$!

# The main icon's place on the screen, as "X Y W H": the one icon trayer holds.
icon() {
  local panel id
  panel=$(xdotool search --all --pid "$tray_pid" --classname '^panel$' 2>/dev/null | head -1)
  [ -n "$panel" ] || return 0
  xwininfo -tree -id "$panel" | awk '
    /^     0x/ { if (match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+$/)) {
                   g = substr($0, RSTART, RLENGTH); gsub(/[x+]+/, " ", g); split(g, v, " ")
                   if (v[1] > 1 && v[2] > 1) print $1, v[5], v[6], v[1], v[2] } }' |
    while read -r id x y w h; do
      xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$x $y $w $h"
    done | tail -n1
}
has_icon() { [ -n "$(icon)" ]; }
# Pixels of the main icon that are plainly red: the count of hosts that are down.
red_pixels() {
  local x y w h
  read -r x y w h < <(icon)
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage -depth 8 "$work/$1.png"
  convert "$work/$1.png" txt:- | awk '/^[0-9]/ { sub(/^[^(]*\(/, ""); split($0, v, /[,)]/)
    if (v[1] >= 170 && v[2] <= 90 && v[3] <= 90) n++ } END { print n + 0 }'
}

# Tarvik starts once the tray is there, as at login; a busy machine may take a while to map it.
tray_panel() { [ -n "$(xdotool search --all --pid "$tray_pid" --classname '^panel$' 2>/dev/null)" ]; }
wait_for 20 tray_panel || fail "trayer did not start"
"$tarvik" >"$work/tarvik.log" 2>&1 &
pids+=($!)
tarvik_pid=$!
wait_for 40 has_icon ||
  fail "Tarvik's icon did not appear in the tray (its windows: $(xdotool search --all --onlyvisible \
    --pid "$tarvik_pid" --name . getwindowname %@ 2>/dev/null | xargs))"
request_after 0 15 || fail "Tarvik did not check the host"
sleep 1
[ "$(red_pixels up)" -eq 0 ] || fail "the main icon shows a red count while the host is up"
ok "Tarvik in the tray checked $address: up, no red count"

# Losing and regaining the network starts a round three seconds later: the quickest trigger.
round_now() {
  network 20
  sleep 0.5
  network 70
}

# --- down: one failure, the re-check ten seconds later, then one notification
answer 503
before=$(requests)
round_now
request_after "$before" 10 || fail "no round followed the network's return"
sleep 1
[ ! -s "$work/notifications.tsv" ] || fail "a notification came before the re-check"
[ "$(red_pixels failed)" -gt 0 ] || fail "the main icon shows no red count for a failed host"
ok "a failed check shows the red count at once and notifies nothing yet"
notices() { grep -c '^Notify' "$work/notifications.tsv" || true; }
# A function, so that every try of wait_for counts afresh.
notices_at_least() { [ "$(notices)" -ge "$1" ]; }
wait_for 20 notices_at_least 1 || fail "no notification after the re-check"
[ "$(sort -u "$work/requests" | tr '\n' ' ')" = "200 503 " ] || fail "requests: $(cat "$work/requests")"
[ "$(($(requests) - before))" -ge 2 ] || fail "no re-check before the notification"
IFS=$'\t' read -r kind down_id replaces app urgency entry summary body <"$work/notifications.tsv"
[ "$kind $replaces $app" = "Notify 0 Tarvik" ] || fail "down notification: $kind $replaces $app"
[ "$urgency" = 2 ] || fail "down notification urgency $urgency, not critical"
[ "$entry" = com.morvane.Tarvik ] || fail "down notification desktop-entry hint: '$entry'"
[ "$summary" = "api is down" ] || fail "down notification summary: $summary"
[ "$body" = "HTTP 503\\n$address" ] || fail "down notification body: $body"
ok "down after the re-check: \"$summary\" / \"${body//\\n/ | }\", critical, from Tarvik, entry $entry"

# --- up again: the recovery replaces that notification
answer 200
round_now
wait_for 15 notices_at_least 2 || fail "no notification of the recovery"
IFS=$'\t' read -r kind up_id replaces app urgency entry summary body < <(sed -n 2p "$work/notifications.tsv")
[ "$kind" = Notify ] || fail "second call: $kind"
[ "$replaces" = "$down_id" ] && [ "$up_id" = "$down_id" ] ||
  fail "the recovery did not replace notification $down_id (replaces $replaces)"
[[ "$summary" == "api is back up after "* ]] || fail "recovery summary: $summary"
[ "$urgency" = 1 ] && [ "$app" = Tarvik ] || fail "recovery urgency $urgency, app $app"
sleep 1
[ "$(red_pixels recovered)" -eq 0 ] || fail "the red count stayed after the recovery"
ok "recovery replaced notification $down_id: \"$summary\""

# --- offline: the host fails once, the network goes; no count, no notification
answer 503
before=$(requests)
sent=$(wc -l <"$work/notifications.tsv")
round_now
request_after "$before" 10 || fail "no round followed the network's return"
sleep 1
[ "$(red_pixels failed-again)" -gt 0 ] || fail "no red count for the failed host"
network 20
sleep 1
[ "$(red_pixels offline)" -eq 0 ] || fail "the main icon keeps a red count while offline"
ok "offline: the main icon drops its red count"
# Past the re-check and the batching that would have followed while online.
sleep 12
[ "$(wc -l <"$work/notifications.tsv")" -eq "$sent" ] ||
  fail "notified while offline: $(tail -n +$((sent + 1)) "$work/notifications.tsv")"
[ "$(red_pixels still-offline)" -eq 0 ] || fail "a red count came back while offline"
ok "offline: nothing notified past the re-check time"

say "all $checks checks passed"
