#!/usr/bin/env bash
# How long a dead path goes unnoticed, at the keep-alives that ship: the
# README's Match block on the server, portslot-tunnel's default on the
# device. Two devices (OpenSSH's ssh, Dropbear's dbclient) reach the server
# through a bridge in a namespace of its own; their paths are cut in the
# middle (their ports leave the bridge, every link stays up, as when a
# mobile network drops a device), and it prints, for each cut, the seconds
# until the device's client ends and until the server frees its port.
# Root; not part of the test run.
#   dead_path.sh BUILD_DIR SSHD README [CUTS]
set -u
cuts=${4:-5}
. "$(dirname "$0")/tunnel_lab.sh"
lab_enter "$0" "$@"

server=${prefix}s wire=${prefix}w
lab_netns "$server"
lab_netns "$wire"
ip -n "$wire" link add br0 type bridge
ip -n "$wire" link set br0 up
ip link add ps netns "$wire" type veth peer name eth0 netns "$server"
ip -n "$wire" link set ps master br0 up
ip -n "$server" addr add 198.18.0.1/24 dev eth0
ip -n "$server" link set eth0 up
lab_sshd "$server" 198.18.0.1 sshd_config

clients=(ssh dbclient)
echo "mac,name,key" >"$work/fleet.csv"
for i in 0 1; do
  ns=$prefix${clients[$i]}
  lab_netns "$ns"
  ip link add "p$i" netns "$wire" type veth peer name eth0 netns "$ns"
  ip -n "$wire" link set "p$i" master br0 up
  ip -n "$ns" link set eth0 address "52:54:00:00:01:0$i" up
  ip -n "$ns" addr add "198.18.0.1$i/24" dev eth0
  ip -n "$ns" route add default via 198.18.0.1
  echo "52:54:00:00:01:0$i,${clients[$i]},$(lab_key "${clients[$i]}" "${clients[$i]}")" >>"$work/fleet.csv"
done
"$build/portslot-audit" --csv --authorized-keys key "$work/fleet.csv" >"$work/authorized_keys" || exit 1

listening() { ip netns exec "$server" ss -Hltn "sport = :$1" | grep -q LISTEN; }
keepalive=$(sed -n 's/^ssh_port=.* keepalive=\([0-9]*\) .*/\1/p' "$build/portslot-tunnel")
echo "server: $("$sshd" -V 2>&1 | head -n 1), $(readme_block "Match User tunnel" | grep ClientAlive | tr -s ' \n' ' ')"
echo "devices: portslot-tunnel's default keep-alive${keepalive:+ ($keepalive s)}; $(ssh -V 2>&1); $(dbclient -V 2>&1 | head -n 1)"
echo
echo "| cut | ssh ends | its port freed | dbclient ends | its port freed |"
echo "|---|---|---|---|---|"
for ((cut = 1; cut <= cuts; cut++)); do
  pid=() port=() ended=() freed=()
  for i in 0 1; do
    port[i]=$("$build/portslot" --port-num 1 "52:54:00:00:01:0$i")
    ip netns exec "$prefix${clients[$i]}" env -i PATH="$PATH" HOME="$work/${clients[$i]}" \
      "$build/portslot-tunnel" --once --client "${clients[$i]}" --identity "$work/${clients[$i]}/id" \
      --known-hosts "$work/known_hosts" --forward 22 tunnel@198.18.0.1 2>>"$work/devices.log" &
    pid[i]=$!
    lab_pids+=("${pid[i]}")
  done
  for i in 0 1; do
    for _ in $(seq 300); do listening "${port[i]}" && break; sleep 0.1; done
    listening "${port[i]}" || { echo "${clients[$i]} did not connect:"; tail "$work/devices.log"; exit 1; }
  done
  # Idle for a while, so that each cut falls at another point of the
  # keep-alives' cycle.
  sleep $((RANDOM % 30 + 5))
  start=$(now)
  ip -n "$wire" link set p0 nomaster
  ip -n "$wire" link set p1 nomaster
  while [ -z "${ended[0]:-}" ] || [ -z "${ended[1]:-}" ] || [ -z "${freed[0]:-}" ] || [ -z "${freed[1]:-}" ]; do
    for i in 0 1; do
      [ -n "${ended[i]:-}" ] || kill -0 "${pid[i]}" 2>/dev/null || ended[i]=$(elapsed "$start")
      [ -n "${freed[i]:-}" ] || listening "${port[i]}" || freed[i]=$(elapsed "$start")
    done
    if [ "$(elapsed "$start" | cut -d. -f1)" -ge 600 ]; then
      echo "| $cut | more than 600 s |"
      exit 1
    fi
    sleep 0.2
  done
  echo "| $cut | ${ended[0]} s | ${freed[0]} s | ${ended[1]} s | ${freed[1]} s |"
  wait "${pid[0]}" "${pid[1]}" 2>/dev/null
  ip -n "$wire" link set p0 master br0
  ip -n "$wire" link set p1 master br0
done
