#!/usr/bin/env bash
# Prometheus scraping Tarvik, end to end: tarvikd, the server program, in a private XDG session
# with no display checks two local hosts (one answering, one refusing connections) and serves
# /metrics on loopback, started as its systemd unit starts it; a real
# Prometheus (Debian's package, its own data folder, a free port) scrapes it once a second, and
# its HTTP API must report probe_success 1 for the one and 0 for the other. `promtool` checks
# Tarvik's output, the alert rules and the scrape config from docs/. Every process it starts is
# ended before it exits; every wait is bounded.
# Usage: scripts/e2e-prometheus.sh [BUILD_FOLDER]   (default build/ci, built if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
e2e=prometheus

build=${1:-build/ci}
if [ "$build" = build/ci ]; then
  cmake --preset ci >/dev/null
  cmake --build --preset ci -j "$(nproc)" --target tarvikd >/dev/null
fi
tarvikd="$PWD/$build/src/tarvikd"
. scripts/e2e-helpers.sh

up_port=$(free_port)
down_port=$(free_port) # nothing will listen there: connections are refused
metrics_port=$(free_port)
prometheus_port=$(free_port)

mkdir -p "$work/www" "$work/config" "$work/runtime" "$work/data"
chmod 700 "$work/runtime"
echo ok >"$work/www/index.html"
python3 -m http.server --bind 127.0.0.1 --directory "$work/www" "$up_port" >"$work/www.log" 2>&1 &
pids+=($!)
wait_for 10 curl -fsS "http://127.0.0.1:$up_port/" || fail "the local web host did not start"

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
# A server has no desktop, and tarvikd needs none.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
host() {
  printf '{"address":"%s","string":"%s","isFavorite":false,"hasMenuBarItem":false,"categories":[],"isActive":true}' "$1" "$2"
}
printf '[%s,%s]\n' "$(host "http://127.0.0.1:$up_port/" 'up \"site\"')" \
  "$(host "http://127.0.0.1:$down_port/" 'down\\site')" >"$work/hosts.json"
"$tarvikd" --import "$work/hosts.json" >"$work/import.log" 2>&1 || fail "the import failed"

# The unit's command line, on a free port.
unit_command=$(sed -n 's|^ExecStart=/usr/bin/tarvikd ||p' docs/systemd/tarvikd.service)
[ "$unit_command" = "--metrics 9477" ] || fail "the systemd unit runs tarvikd $unit_command"
"$tarvikd" --metrics "127.0.0.1:$metrics_port" >"$work/tarvik.log" 2>&1 &
pids+=($!)
metrics_ready() {
  curl -fsS "http://127.0.0.1:$metrics_port/metrics" -o "$work/metrics.txt" &&
    [ "$(grep -c '^probe_success{' "$work/metrics.txt")" -eq 2 ]
}
wait_for 20 metrics_ready || fail "tarvikd did not serve both hosts' results"
say "ok - tarvikd serves /metrics"

promtool check metrics <"$work/metrics.txt" >"$work/promtool.log" 2>&1 ||
  fail "promtool check metrics: $(cat "$work/promtool.log")"
say "ok - promtool check metrics"
status=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$metrics_port/other")
[ "$status" = 404 ] || fail "another path answered $status, not 404"

# The documented setup must load as it is.
cp docs/prometheus/prometheus.yml docs/prometheus/tarvik-alerts.yml "$work/"
promtool check rules "$work/tarvik-alerts.yml" >"$work/rules.log" 2>&1 ||
  fail "promtool check rules: $(cat "$work/rules.log")"
promtool check config "$work/prometheus.yml" >"$work/config.log" 2>&1 ||
  fail "promtool check config: $(cat "$work/config.log")"
say "ok - the alert rules and the scrape config in docs/ load"

cat >"$work/scrape.yml" <<YAML
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files: ["tarvik-alerts.yml"]
scrape_configs:
  - job_name: tarvik
    static_configs:
      - targets: ["127.0.0.1:$metrics_port"]
YAML
prometheus --config.file="$work/scrape.yml" --storage.tsdb.path="$work/data" \
  --web.listen-address="127.0.0.1:$prometheus_port" >"$work/prometheus.log" 2>&1 &
pids+=($!)

# probe_success as Prometheus has stored it, one "name value" line per host.
query() {
  curl -fsS "http://127.0.0.1:$prometheus_port/api/v1/query?query=probe_success" |
    python3 -c '
import json, sys
for r in json.load(sys.stdin)["data"]["result"]:
    print(r["metric"]["name"] + "=" + r["value"][1])' | sort >"$work/query.txt"
  [ "$(wc -l <"$work/query.txt")" -eq 2 ]
}
wait_for 60 query || fail "Prometheus did not report both hosts"
expected=$(printf '%s\n' 'down\site=0' 'up "site"=1' | sort)
[ "$(cat "$work/query.txt")" = "$expected" ] ||
  fail "Prometheus reports $(tr '\n' ' ' <"$work/query.txt"), expected $(echo $expected)"
say "ok - Prometheus reports probe_success 1 for the answering host and 0 for the refusing one"
