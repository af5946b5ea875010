#!/usr/bin/env bash
# A fleet of N devices on one tunnel server, and what a server restart does
# to it. The devices are macvlan interfaces in one namespace, each with its
# own MAC address and key, each kept up by portslot-tunnel (OpenSSH's ssh,
# Dropbear's dbclient for one in five); the server is Debian's sshd in a
# namespace of its own with the README's Match block. Side by side, as they
# were and as they ship:
#   before  every pause whole (5, 10, 20 s ...), sshd's default MaxStartups
#   now     every pause drawn between half and the whole, the README's fleet
#           settings
# It prints, for each: the cold start until every device listens, sshd's
# memory per tunnel (the proportional set size of every sshd process), the
# time portslot-audit --listening takes on the live table and its summary,
# then (as it ships) the time --listening --identify-all takes to name the
# holder of every device's port through ssh-keyscan (each device's first
# forward leads to a Dropbear server of its own, with its own host key),
# and after every sshd process is killed and sshd started again, the time
# until every device listens again, the connections sshd dropped (past
# MaxStartups, or not logged in within LoginGraceTime), the clients that
# gave up (ConnectTimeout), and, for both starts, the connections the
# server's kernel refused because sshd's listen queue was full (each costs
# its client a SYN sent again 1, 2, 4 ... s later).
# Root; not part of the test run. It fails when the fleet as it ships does
# not come back within 5 minutes (as things were, that is a figure).
#   tunnel_fleet.sh BUILD_DIR SSHD README [N]
set -u
devices=${4:-500}
. "$(dirname "$0")/tunnel_lab.sh"
lab_enter "$0" "$@"
[ "$devices" -ge 1 ] && [ "$devices" -le 5000 ] || { echo "N must be 1 to 5000" >&2; exit 2; }

server=${prefix}s fleet=${prefix}f
lab_netns "$server"
lab_netns "$fleet"
ip link add uplink netns "$fleet" type veth peer name eth0 netns "$server"
ip -n "$server" addr add 198.18.0.1/16 dev eth0
ip -n "$server" link set eth0 up
ip -n "$fleet" addr add 198.18.0.2/16 dev uplink
ip -n "$fleet" link set uplink up
# The server's own outgoing connections keep out of the devices' range.
ip netns exec "$server" sh -c 'echo "32768 60999" >/proc/sys/net/ipv4/ip_local_port_range'
range=(--port-min 20000 --port-max 29999)

echo "making $devices devices" >&2
echo "mac,name,key,host_key" >"$work/fleet.csv"
ip -n "$fleet" link set lo up
for ((i = 1; i <= devices; i++)); do
  mac=$(printf '52:54:01:00:%02x:%02x' $((i / 256)) $((i % 256)))
  client=ssh
  [ $((i % 5)) -ne 0 ] || client=dbclient
  ip -n "$fleet" link add "mv$i" link uplink address "$mac" type macvlan mode bridge
  ip -n "$fleet" link set "mv$i" up
  key=$(lab_key "d$i" "$client")
  # The device's own SSH server, on a port of the fleet's loopback.
  dropbearkey -t ed25519 -f "$work/d$i/host_key" >/dev/null 2>&1
  host_key=$(dropbearkey -y -f "$work/d$i/host_key" | grep '^ssh-' | cut -d' ' -f1,2)
  echo "$mac,d$i-$client,$key,$host_key" >>"$work/fleet.csv"
done
"$build/portslot-audit" "${range[@]}" --csv --authorized-keys key "$work/fleet.csv" >"$work/authorized_keys" ||
  { echo "the fleet's keys were not all written, or devices share blocks" >&2; exit 1; }

# The "before" pauses: an od on the PATH whose number leaves every draw the
# whole pause (one less than a multiple of each pause's span, 5 s to 300 s).
mkdir "$work/whole" "$work/tmp"
printf '#!/bin/sh\necho 154453067\n' >"$work/whole/od"
chmod +x "$work/whole/od"

# Ports of the range that listen (on the loopback's IPv4 address, IPv6's
# or both).
listening_count() {
  ip netns exec "$server" ss -Hltn 'sport >= :20000 and sport <= :29999' |
    awk '{ sub(/.*:/, "", $4); print $4 }' | sort -u | wc -l
}
# Waits until all devices listen, up to 300 s from START; prints the seconds,
# or "over 300" (and fails) when some still do not listen then.
# (Also notes, in $work/timeline, when each count of devices was reached.)
all_listening_since() {
  : >"$work/timeline"
  local count
  while count=$(listening_count) && echo "$(elapsed "$1") $count" >>"$work/timeline" &&
    [ "$count" -lt "$devices" ]; do
    if [ "$(elapsed "$1" | cut -d. -f1)" -ge 300 ]; then
      echo "only $count of $devices devices listen after 300 s" >&2
      tail -n 5 "$work/devices.log" >&2
      echo "over 300"
      return 1
    fi
    sleep 0.2
  done
  elapsed "$1"
}
# A fleet that is not back within 300 s: as things were ("before"), a
# figure of the table; as they ship, a failure of the benchmark.
back_in_time() {
  [ "$1" = before ] || exit 1
}
# When half of the devices listened, from the last timeline.
half_listening() {
  awk -v half=$((devices / 2)) '$2 >= half { printf "%.1f", $1; found = 1; exit } END { if (!found) printf "-" }' "$work/timeline"
}
sshd_pids() {
  for pid in $(ip netns pids "$server"); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = sshd ] && echo "$pid"
  done
}

# The server's count of connections its kernel dropped, a full listen queue
# among the reasons (TcpExt ListenDrops).
listen_drops() {
  ip netns exec "$server" awk '$1 == "TcpExt:" && !n { for (i = 2; i <= NF; i++) k[i] = $i; n = 1; next }
    $1 == "TcpExt:" { for (i = 2; i <= NF; i++) if (k[i] == "ListenDrops") print $i }' /proc/net/netstat
}

# run LABEL PATH_PREFIX SSHD_GLOBAL_LINES: the fleet's cold start, its
# memory, the audit, a restart; a row of the table in $work/rows.
run() {
  local label=$1 path=$2 config="sshd_config_$1"
  lab_sshd "$server" 198.18.0.1 "$config" "$3"
  tunnels=()
  local start i client mac drops_before
  drops_before=$(listen_drops)
  start=$(now)
  for ((i = 1; i <= devices; i++)); do
    client=ssh
    [ $((i % 5)) -ne 0 ] || client=dbclient
    ip netns exec "$fleet" env -i PATH="$path$PATH" HOME="$work/d$i" TMPDIR="$work/tmp" \
      "$build/portslot-tunnel" --interface "mv$i" "${range[@]}" --client "$client" --identity "$work/d$i/id" \
      --known-hosts "$work/known_hosts" --forward "$((30000 + i))" tunnel@198.18.0.1 2>>"$work/devices.log" &
    tunnels+=($!)
  done
  lab_pids+=("${tunnels[@]}")
  local cold
  cold=$(all_listening_since "$start") || back_in_time "$label"
  local cold_drops=$(($(listen_drops) - drops_before)) cold_half
  cold_half=$(half_listening)

  local pss=0 pid
  for pid in $(sshd_pids); do
    pss=$((pss + $(awk '/^Pss:/ { print $2 }' "/proc/$pid/smaps_rollup" 2>/dev/null || echo 0)))
  done
  local per_tunnel
  per_tunnel=$(awk -v k="$pss" -v n="$devices" 'BEGIN { printf "%.2f", k / n / 1024 }')

  start=$(now)
  ip netns exec "$server" "$build/portslot-audit" "${range[@]}" --listening --csv "$work/fleet.csv" \
    >"$work/listening.txt" 2>&1
  local audit_ms summary
  audit_ms=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.0f", (b - a) * 1000 }')
  summary=$(tail -n 1 "$work/listening.txt")
  if [ "$label" = now ]; then
    # Every holder named by its host key, each port asked by ssh-keyscan:
    # the devices' own SSH servers started for it alone (and ended after),
    # so that the starts measured are as they were.
    local servers=()
    for ((i = 1; i <= devices; i++)); do
      ip netns exec "$fleet" dropbear -F -E -s -j -k -r "$work/d$i/host_key" -P "$work/d$i/dropbear.pid" \
        -p "127.0.0.1:$((30000 + i))" 2>>"$work/dropbear.log" &
      servers+=($!)
    done
    lab_pids+=("${servers[@]}")
    until [ "$(ip netns exec "$fleet" ss -Hltn 'sport >= :30001 and sport <= :35000' | wc -l)" -ge "$devices" ]; do
      sleep 0.2
    done
    start=$(now)
    ip netns exec "$server" "$build/portslot-audit" "${range[@]}" --listening --identify-all --csv \
      "$work/fleet.csv" >"$work/identified.txt" 2>&1
    echo "--listening --identify-all: $(grep -c $'\theld by\|, held by ' "$work/identified.txt") of $devices holders named in $(elapsed "$start") s ($(grep -c 'no answer' "$work/identified.txt") ports without an answer)" >>"$work/summaries"
    kill -TERM "${servers[@]}" 2>/dev/null
    wait "${servers[@]}" 2>/dev/null
  fi

  # Connections that lasted a minute start again from the shortest pause.
  sleep 65
  local log_lines restart dropped graced timed_out device_timeouts
  log_lines=$(wc -l <"$work/sshd.log")
  device_timeouts=$(grep -c 'timed out' "$work/devices.log")
  drops_before=$(listen_drops)
  start=$(now)
  # shellcheck disable=SC2046 # (one word a PID)
  kill -KILL $(sshd_pids)
  wait "$sshd_pid" 2>/dev/null
  lab_sshd "$server" 198.18.0.1 "$config"
  restart=$(all_listening_since "$start") || back_in_time "$label"
  local restart_drops=$(($(listen_drops) - drops_before)) restart_half
  restart_half=$(half_listening)
  dropped=$(tail -n +"$((log_lines + 1))" "$work/sshd.log" | grep -c 'past MaxStartups')
  graced=$(tail -n +"$((log_lines + 1))" "$work/sshd.log" | grep -c 'Timeout before authentication')
  timed_out=$(($(grep -c 'timed out' "$work/devices.log") - device_timeouts))

  echo "| $label | $cold_half s / $cold s | $restart_half s / $restart s | $dropped | $graced | $timed_out | $cold_drops / $restart_drops | $per_tunnel MiB | $audit_ms ms |" >>"$work/rows"
  echo "$label, portslot-audit --listening: $summary" >>"$work/summaries"

  kill -TERM "${tunnels[@]}" 2>/dev/null
  wait "${tunnels[@]}" 2>/dev/null
  # shellcheck disable=SC2046 # (one word a PID)
  kill -TERM $(sshd_pids) 2>/dev/null
  wait "$sshd_pid" 2>/dev/null
}

fleet_settings=$(readme_block "MaxStartups" | grep -v '^#')
[ -n "$fleet_settings" ] || { echo "no fleet settings (MaxStartups ...) in $readme" >&2; exit 1; }
echo "before: whole pauses, sshd's defaults" >&2
run before "$work/whole:" ""
echo "now: pauses spread, $(echo "$fleet_settings" | tr '\n' ' ')" >&2
run now "" "$fleet_settings"

echo "$devices devices ($((devices - devices / 5)) ssh, $((devices / 5)) dbclient), $(nproc) cores, $("$sshd" -V 2>&1 | cut -d, -f1)"
echo "now: $(echo "$fleet_settings" | tr '\n' ' ')"
echo
echo "| fleet | cold start (half / all) | after sshd's restart (half / all) | dropped past MaxStartups | dropped past LoginGraceTime | clients timed out | listen queue full (cold / restart) | sshd per tunnel (PSS) | portslot-audit --listening |"
echo "|---|---|---|---|---|---|---|---|---|"
cat "$work/rows"
echo
cat "$work/summaries"
echo
echo "What the devices said, numbers aside (both fleets):"
sed -E 's/[0-9]+/N/g' "$work/devices.log" | sort | uniq -c | sort -rn | head -n 8
