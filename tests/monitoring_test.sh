#!/usr/bin/env bash
# The live view end to end, with real components: portslot-audit --listening
# --metrics on a host whose ports listen, the file checked by Prometheus's
# promtool and served by node_exporter's textfile collector, read with curl;
# the README's alerting rules checked by promtool; and a file that cannot be
# written (a read-only folder, a full disk) leaving the last good one as it
# was.
#   monitoring_test.sh BUILD_DIR PROMTOOL NODE_EXPORTER README
# It needs root (a network and mount namespace of its own), and exits 77
# (skipped) without it. Everything runs in new PID, mount and network
# namespaces: node_exporter listens on their loopback only, and dies with
# them however the test ends.
set -u

build=$(cd "$1" && pwd)
promtool=$2
node_exporter=$3
readme=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")

if [ "${PORTSLOT_MONITORING_TEST_INSIDE:-}" != 1 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: the monitoring test makes namespaces, which needs root"
    exit 77
  fi
  for program in "$promtool" "$node_exporter" curl python3 unshare ip; do
    if ! command -v "$program" >/dev/null 2>&1; then
      echo "SKIPPED: no $program here (scripts/install-deps provides it)"
      exit 77
    fi
  done
  PORTSLOT_MONITORING_TEST_INSIDE=1 exec unshare --pid --mount --net --fork --kill-child \
    --mount-proc --propagation private -- "$0" "$@"
fi

work=$(mktemp -d /tmp/portslot-monitoring-test.XXXXXX)
pids=()
failures=0
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  umount "$work/full" "$work/readonly" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() { # DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
wait_for() { # tenths COMMAND...
  local tenths=$1
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
ip link set lo up

# Hostile labels beside plain ones: quotes, a backslash, a line end inside a
# quoted field, C0 and C1 controls, bad UTF-8, a long label, a label given
# twice, none at all. Two devices are connected: their ports listen.
{
  echo "mac,name,room"
  echo "52:54:00:00:00:01,gateway,hall"
  echo "52:54:00:00:00:02,\"say \"\"hi\"\"\\\\\",\"a"
  echo "b\""
  printf '52:54:00:00:00:03,ctl\001\033[2J\302\233x,\377\376\n'
  printf '52:54:00:00:00:04,%s,\n' "$(head -c 600 /dev/zero | tr '\0' 'L')"
  echo "52:54:00:00:00:05,gateway,"
  echo "52:54:00:00:00:06,,"
} >"$work/fleet.csv"
port_of() { "$build/portslot" --port-num 1 "$1"; }
for mac in 52:54:00:00:00:01 52:54:00:00:00:03; do
  python3 -c 'import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); time.sleep(600)' \
    "$(port_of $mac)" &
  pids+=($!)
done
# (Both: the first may start listening after the second.)
for mac in 52:54:00:00:00:01 52:54:00:00:00:03; do
  wait_for 50 sh -c "ss -Hltn | grep -q ':$(port_of $mac) '"
done

textfiles=$work/textfiles
mkdir "$textfiles"
metrics=$textfiles/portslot.prom
"$build/portslot-audit" --listening --csv --metrics "$metrics" "$work/fleet.csv" >/dev/null 2>"$work/audit.err"
check "--listening --metrics: status 0, only the ephemeral ports warned about" \
  test "$?:$(grep -c '^portslot-audit: ' "$work/audit.err"):$(grep -c 'ephemeral' "$work/audit.err")" = "0:1:1"
check "promtool check metrics takes the file" sh -c '"$1" check metrics <"$2"' sh "$promtool" "$metrics"
check "every device has its series, nothing else but the counts" \
  test "$(grep -c '^portslot_device_connected{' "$metrics")" = 6
check "the file is readable by the collector's user (0644)" test "$(stat -c %a "$metrics")" = 644

# node_exporter serves the file, as it is, on this namespace's loopback.
"$node_exporter" --web.listen-address=127.0.0.1:19100 --collector.disable-defaults \
  --collector.textfile --collector.textfile.directory="$textfiles" >"$work/node_exporter.log" 2>&1 &
pids+=($!)
scrape() { curl -sf http://127.0.0.1:19100/metrics >"$work/scrape"; }
if wait_for 100 scrape; then
  check "node_exporter reads the file without an error" grep -qx 'node_textfile_scrape_error 0' "$work/scrape"
  check "the gateway is connected" grep -qx \
    "portslot_device_connected{label=\"gateway,hall\",mac=\"52:54:00:00:00:01\",port=\"$(port_of 52:54:00:00:00:01)\",shared=\"false\"} 1" "$work/scrape"
  check "quotes, backslash and line end kept as escapes" grep -qF \
    'label="\"say \"\"hi\"\"\\\\\",\"a\nb\""' "$work/scrape"
  check "control bytes and bad UTF-8 as U+FFFD, the C1 control kept" grep -qF \
    "label=\"ctl$(printf '\357\277\275\357\277\275')[2J$(printf '\302\233')x,$(printf '\357\277\275\357\277\275')\"" "$work/scrape"
  check "the counts: 6 devices, 2 connected, 4 not" test "$(grep -E '^portslot_devices(_connected|_not_connected)? ' "$work/scrape" | tr '\n' ' ')" = \
    "portslot_devices 6 portslot_devices_connected 2 portslot_devices_not_connected 4 "
  # (The even ports 40000 to 40998 lie in this namespace's 32768-60999.)
  check "the ports the kernel may take are counted" grep -qx 'portslot_ephemeral_ports_exposed 500' "$work/scrape"
else
  fail "node_exporter does not answer: $(cat "$work/node_exporter.log")"
fi

# The README's alerting rules.
awk '/^    groups:$/ { on = 1 } on && !/^    / { exit } on { print substr($0, 5) }' "$readme" >"$work/rules.yml"
check "promtool check rules takes the README's rules" "$promtool" check rules "$work/rules.yml"

# A file that cannot be written leaves the last good one, and no other.
cp "$metrics" "$work/good.prom"
mkdir "$work/readonly" "$work/full"
cp "$metrics" "$work/readonly/portslot.prom"
mount --bind "$work/readonly" "$work/readonly" && mount -o remount,bind,ro "$work/readonly"
"$build/portslot-audit" --listening --csv --metrics "$work/readonly/portslot.prom" "$work/fleet.csv" >/dev/null 2>"$work/audit.err"
check "a read-only folder: status 2, said" test "$?:$(tail -n 1 "$work/audit.err")" = \
  "2:portslot-audit: $work/readonly/portslot.prom: Read-only file system"
check "the old file untouched, nothing beside it" test "$(ls "$work/readonly")" = portslot.prom
check "the old file's bytes" cmp -s "$work/good.prom" "$work/readonly/portslot.prom"
mount -t tmpfs -o size=4k tmpfs "$work/full"
cp "$metrics" "$work/full/portslot.prom"
for i in $(seq 100 300); do printf '52:54:00:00:01:%02x,device-%d-%s\n' $((i % 256)) "$i" "$(head -c 40 /dev/zero | tr '\0' x)"; done >>"$work/fleet.csv"
"$build/portslot-audit" --listening --csv --metrics "$work/full/portslot.prom" "$work/fleet.csv" >/dev/null 2>"$work/audit.err"
check "a full disk: status 2, said" test "$?:$(tail -n 1 "$work/audit.err")" = \
  "2:portslot-audit: $work/full/portslot.prom: No space left on device"
check "the old file untouched on the full disk, nothing beside it" \
  test "$(ls "$work/full")" = portslot.prom
check "its bytes" cmp -s "$work/good.prom" "$work/full/portslot.prom"

[ "$failures" -eq 0 ] && echo "monitoring: all checks pass"
exit "$((failures > 0))"
