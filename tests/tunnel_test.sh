#!/usr/bin/env bash
# The reverse-tunnel workflow end to end, with real components: OpenSSH's
# sshd on a server, devices running portslot-tunnel with OpenSSH's ssh or
# Dropbear's dbclient (under dash and BusyBox ash), each in a network
# namespace of its own with a chosen MAC address, two of them sharing a
# block; the server's authorized_keys written by portslot-audit,
# portslot-audit --listening on the server, and an administrator reaching a
# device's own sshd by name through the ssh_config --ssh-config writes.
#   tunnel_test.sh BUILD_DIR SSHD README
# It needs root (network namespaces), and exits 77 (skipped) without it.
#
# Nothing outside its own folder and namespaces changes: the whole test runs
# in a new PID and mount namespace (unshare), where /run is a tmpfs of its
# own (ip netns keeps its namespaces there, sshd wants /run/sshd) and a
# passwd file naming sshd's privilege-separation user and the tunnel account
# is bound over /etc/passwd. When the test ends, however it ends (a failure,
# or the runner's timeout killing it), every process in it dies with the PID
# namespace, and the network namespaces with the mount namespace.
set -u

build=$(cd "$1" && pwd)
sshd=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
readme=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")

if [ "${PORTSLOT_TUNNEL_TEST_INSIDE:-}" != 1 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: the tunnel test makes network namespaces, which needs root"
    exit 77
  fi
  for program in "$sshd" ssh ssh-keyscan dbclient dropbearkey busybox dash ip unshare python3 jq; do
    if ! command -v "$program" >/dev/null 2>&1; then
      echo "SKIPPED: no $program here (scripts/install-deps provides it)"
      exit 77
    fi
  done
  if ! unshare --net true 2>/dev/null; then
    echo "SKIPPED: this machine cannot make network namespaces"
    exit 77
  fi
  PORTSLOT_TUNNEL_TEST_INSIDE=1 exec unshare --pid --mount --fork --kill-child \
    --mount-proc --propagation private -- "$0" "$@"
fi

work=$(mktemp -d /tmp/portslot-tunnel-test.XXXXXX)
chmod 755 "$work"
prefix=pst$$
namespaces=()
pids=()
failures=0

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  for ns in "${namespaces[@]}"; do ip netns delete "$ns" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAILED: $*"
  [ -z "${PORTSLOT_TUNNEL_TEST_DEBUG:-}" ] || { echo "keeping $work"; trap - EXIT; exit 1; }
  failures=$((failures + 1))
}
check() { # DESCRIPTION COMMAND...: a check that must hold
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
fails() { ! "$@" >/dev/null 2>&1; }
# Waits up to $1 tenths of a second for COMMAND... to succeed.
wait_for() {
  local tenths=$1
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# A private /run (ip netns's folder and sshd's) and passwd.
mount -t tmpfs -o mode=755 portslot-test-run /run || exit 1
mkdir -p /run/netns /run/sshd
chmod 755 /run/sshd
cp /etc/passwd "$work/passwd"
mkdir -m 755 "$work/home"
echo "sshd:x:64990:65534::/run/sshd:/usr/sbin/nologin" >>"$work/passwd"
echo "tunnel:x:64991:65534::$work/home:/bin/sh" >>"$work/passwd"
echo "admin:x:64992:65534::$work/home:/bin/sh" >>"$work/passwd"
mount --bind "$work/passwd" /etc/passwd || exit 1

# The server's namespace, and one for each device: a link to the server whose
# end carries the device's MAC address, and a default route through it.
server=${prefix}srv
ip netns add "$server" && namespaces+=("$server")
ip -n "$server" link set lo up
in_server() { ip netns exec "$server" "$@"; }
# name number mac
add_device() {
  local ns=$prefix$1 n=$2 mac=$3
  ip netns add "$ns" && namespaces+=("$ns")
  ip -n "$ns" link set lo up
  ip link add "s$prefix$n" netns "$server" type veth peer name eth0 netns "$ns"
  ip -n "$ns" link set eth0 address "$mac" up
  ip -n "$ns" addr add "198.18.$n.2/24" dev eth0
  ip -n "$ns" route add default via "198.18.$n.1"
  ip -n "$server" link set "s$prefix$n" up
  ip -n "$server" addr add "198.18.$n.1/24" dev "s$prefix$n"
  mkdir -p "$work/$1/.ssh"
}
# Each device: name, number, MAC address, client, shell. d5's key leaves the
# same remainder as d1's (1 and 251 modulo 250 blocks), and d6's as d2's:
# they share blocks. d7's leaves d3's, and joins the fleet later, placed.
devices=(
  "d1 1 52:54:00:00:00:01 ssh dash"
  "d2 2 52:54:00:00:00:02 dbclient ash"
  "d3 3 52:54:00:00:00:03 ssh ash"
  "d4 4 52:54:00:00:00:04 dbclient dash"
  "d5 5 52:54:00:00:00:fb ssh dash"
  "d6 6 52:54:00:00:00:fc dbclient ash"
  "d7 7 52:54:00:00:00:fd ssh ash"
)
for device in "${devices[@]}"; do
  read -r name n mac _ <<<"$device"
  add_device "$name" "$n" "$mac"
done
in_device() { local ns=$prefix$1; shift; ip netns exec "$ns" "$@"; }

# The server: its own host key and configuration, and the tunnel account's
# Match block as the README gives it, with shorter keep-alives (2 s, 1 lost).
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
match=$(awk '/^    Match User tunnel$/ { on = 1 } on && /^$/ { exit } on { print substr($0, 5) }' "$readme")
case $match in
*"ClientAliveInterval 10"*) ;;
*) echo "FAILED: no Match block with ClientAliveInterval 10 in $readme"; exit 1 ;;
esac
cat >"$work/sshd_config" <<EOF
ListenAddress 0.0.0.0:22
HostKey $work/host_key
PidFile none
StrictModes no
UsePAM no
AuthorizedKeysFile $work/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
${match/ClientAliveInterval 10/ClientAliveInterval 2}
EOF
in_server "$sshd" -D -e -f "$work/sshd_config" 2>"$work/sshd.log" &
pids+=($!)
wait_for 50 in_server sh -c 'ss -Hltn | grep -q "0.0.0.0:22 "' || { cat "$work/sshd.log"; exit 1; }
echo "ok: sshd $("$sshd" -V 2>&1 | head -n 1) listens in the server's namespace"

# Each device's key (OpenSSH's or Dropbear's format, as its client reads),
# the inventory that holds them, and the server's known hosts.
echo "mac,name,key" >"$work/fleet.csv"
: >"$work/known_hosts"
for device in "${devices[@]}"; do
  read -r name n mac client _ <<<"$device"
  if [ "$client" = ssh ]; then
    ssh-keygen -q -t ed25519 -N '' -C "$name" -f "$work/$name/id"
    key=$(cut -d' ' -f1,2 "$work/$name/id.pub")
  else
    dropbearkey -t ed25519 -f "$work/$name/id" >/dev/null 2>&1
    key=$(dropbearkey -y -f "$work/$name/id" | grep '^ssh-' | cut -d' ' -f1,2)
  fi
  if [ "$name" = d7 ]; then echo "$mac,$name,$key" >"$work/d7.row"; else echo "$mac,$name,$key" >>"$work/fleet.csv"; fi
  echo "198.18.$n.1 $(cut -d' ' -f1,2 "$work/host_key.pub")" >>"$work/known_hosts"
done

# The authorized_keys, as the README writes them: d1 and d5 share a block,
# which is said, with status 1.
"$build/portslot-audit" --csv --authorized-keys key "$work/fleet.csv" \
  >"$work/authorized_keys" 2>"$work/keys.err"
check "authorized_keys written for 6 devices, status 1 for the shared blocks" \
  test "$?-$(wc -l <"$work/authorized_keys")" = "1-6"
check "the shared blocks are warned about" grep -q "4 devices share 2 blocks" "$work/keys.err"

# Hostile records beside them: an address whose line end would start a key
# line of the record's choosing, and one key listed for two devices. Neither
# reaches the file (status 2), and sshd takes neither key.
ssh-keygen -q -t ed25519 -N '' -f "$work/intruder"
ssh-keygen -q -t ed25519 -N '' -f "$work/cloned"
{ cat "$work/fleet.csv"
  printf '"aabbccddeef\n",%s,%s\n' "$(cut -d' ' -f1,2 "$work/intruder.pub")" "$(cut -d' ' -f1,2 "$work/d1/id.pub")"
  printf '52:54:00:00:00:%s,clone,%s\n' 61 "$(cut -d' ' -f1,2 "$work/cloned.pub")" 62 "$(cut -d' ' -f1,2 "$work/cloned.pub")"
} >"$work/hostile.csv"
"$build/portslot-audit" --csv --authorized-keys key "$work/hostile.csv" \
  >"$work/authorized_keys" 2>"$work/keys.err"
check "hostile records refused, status 2, the 6 devices' lines as before" \
  test "$?-$(wc -l <"$work/authorized_keys")-$(grep -c -e intruder -e clone "$work/authorized_keys")" = "2-6-0"
for key in intruder cloned; do
  check "sshd refuses the $key key" fails in_device d3 ssh -N -T -o BatchMode=yes \
    -o ExitOnForwardFailure=yes -o ConnectTimeout=10 -o StrictHostKeyChecking=no \
    -o UserKnownHostsFile=/dev/null -o IdentitiesOnly=yes -i "$work/$key" \
    -R localhost:22222:localhost:22 tunnel@198.18.3.1
done

# A service on each device that answers with the device's name.
for device in "${devices[@]}"; do
  read -r name _ <<<"$device"
  in_device "$name" python3 -c '
import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 7000)); s.listen()
while True:
    c, _ = s.accept(); c.sendall(sys.argv[1].encode() + b"\n"); c.close()' "$name" &
  pids+=($!)
done

# portslot-tunnel --once on a device, in the background; only the programs it
# needs on its PATH (no logger: nothing goes to the host's syslog), its own
# HOME (no known hosts but its own).
bin=$work/bin
mkdir "$bin"
for program in ssh dbclient cat sed awk mktemp rm mkdir date sleep head id od; do
  ln -s "$(command -v "$program")" "$bin/$program"
done
ln -s "$build/portslot" "$bin/portslot"
# (Run in a subshell of its own, which it replaces: its process is the
# script's.)
tunnel() { # name [option...]
  local name=$1 d n client shell
  shift
  for device in "${devices[@]}"; do
    read -r d n _ client shell <<<"$device"
    [ "$d" = "$name" ] && break
  done
  local run_shell=("$(command -v dash)")
  [ "$shell" = ash ] && run_shell=("$(command -v busybox)" ash)
  # With $state: as the unit runs it, a dynamic user's home (/) and the
  # unit's state folder.
  local home=("HOME=$work/$name")
  [ -z "${state:-}" ] || home=(HOME=/ "STATE_DIRECTORY=$state")
  [ -z "${TMPDIR:-}" ] || home+=("TMPDIR=$TMPDIR")
  exec ip netns exec "$prefix$name" env -i PATH="$bin" "${home[@]}" "${run_shell[@]}" \
    "$build/portslot-tunnel" --once --client "$client" --identity "$work/$name/id" --keepalive 2 \
    "$@" "tunnel@198.18.$n.1"
}
port_of() { "$build/portslot" --port-num "${2:-1}" "$1"; }
listening() { in_server ss -Hltn "sport = :$1" | grep -q LISTEN; }
not_listening() { ! listening "$1"; }
not_running() { ! kill -0 "$1" 2>/dev/null; }
answer() { # port: what the device behind it answers, read on the server
  in_server python3 -c '
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
print(s.makefile().readline().strip())' "$1" 2>/dev/null
}

# d2 keeps the first key it sees (trust on first use); the others have the
# server's key provisioned.
tunnel d1 --known-hosts "$work/known_hosts" --forward 7000 >"$work/d1.log" 2>&1 &
d1_pid=$!
pids+=($!)
tunnel d2 --forward localhost:7000 >"$work/d2.log" 2>&1 &
pids+=($!)
tunnel d3 --known-hosts "$work/known_hosts" --forward 7000 >"$work/d3.log" 2>&1 &
d3_pid=$!
pids+=($!)
# d4's first forward leads to an SSH server of its own, which the
# administrator reaches by name (below).
ssh-keygen -q -t ed25519 -N '' -f "$work/d4/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/admin"
printf '%s\n' "ListenAddress 127.0.0.1:2222" "HostKey $work/d4/host_key" "PidFile none" \
  "StrictModes no" "UsePAM no" "AuthorizedKeysFile $work/admin.pub" >"$work/d4/sshd_config"
in_device d4 "$sshd" -D -e -f "$work/d4/sshd_config" 2>"$work/d4/sshd.log" &
pids+=($!)
tunnel d4 --known-hosts "$work/known_hosts" --forward 2222 --forward 127.0.0.1:7000 >"$work/d4.log" 2>&1 &
d4_pid=$!
pids+=($!)
for device in "${devices[@]::4}"; do
  read -r name _ mac _ <<<"$device"
  port=$(port_of "$mac" "$([ "$name" = d4 ] && echo 2)")
  if wait_for 150 listening "$port"; then
    check "$name's port $port reaches $name" test "$(answer "$port")" = "$name"
  else
    fail "$name's port $port does not listen: $(cat "$work/$name.log")"
  fi
done
check "d2 (dbclient) kept the server's key on first use" \
  grep -q "^198.18.2.1 ssh-ed25519 $(cut -d' ' -f2 "$work/host_key.pub")" "$work/d2/.ssh/known_hosts"
# Once kept, another key is refused.
mv "$work/d2/.ssh/known_hosts" "$work/d2/known_hosts.kept"
echo "198.18.2.1 $(cut -d' ' -f1,2 "$work/d1/id.pub")" >"$work/d2/.ssh/known_hosts"
(tunnel d2 --forward 7000 >"$work/d2-mismatch.log" 2>&1)
check "d2 refuses a server whose key changed (status $?)" grep -qi "mismatch" "$work/d2-mismatch.log"
mv "$work/d2/known_hosts.kept" "$work/d2/.ssh/known_hosts"

# d5 shares d1's block: the server refuses its forward, and it says why.
(tunnel d5 --known-hosts "$work/known_hosts" --forward 7000 >"$work/d5.log" 2>&1)
status=$?
check "d5, whose block d1 holds, exits non-zero (status $status)" test "$status" -ne 0
check "d5 says which port was refused and why" \
  grep -q "the server refused port $(port_of 52:54:00:00:00:fb): another device may share" "$work/d5.log"
# So does d6, through dbclient, whose block d2 holds.
(tunnel d6 --known-hosts "$work/known_hosts" --forward 7000 >"$work/d6.log" 2>&1)
status=$?
check "d6 (dbclient), whose block d2 holds, exits non-zero (status $status)" test "$status" -ne 0
check "d6 says which port was refused and why" \
  grep -q "the server refused port $(port_of 52:54:00:00:00:fc): another device may share" "$work/d6.log"

# As the unit runs it (no --known-hosts, home /, a state folder): the
# server's first key is kept in the state folder, and a key that differs from
# it is refused; where no key could be kept, the script does not start.
(state=$work/d5/state tunnel d5 --forward 7000 >"$work/d5-state.log" 2>&1)
check "without --known-hosts, the server's key is kept in the state folder" \
  sh -c 'ssh-keygen -F 198.18.5.1 -f "$1" | grep -q " $2$"' _ "$work/d5/state/.ssh/known_hosts" "$(cut -d' ' -f2 "$work/host_key.pub")"
echo "198.18.5.1 $(cut -d' ' -f1,2 "$work/d1/id.pub")" >"$work/d5/state/.ssh/known_hosts"
(state=$work/d5/state tunnel d5 --forward 7000 >"$work/d5-state.log" 2>&1)
check "then a server whose key differs is refused (status $?)" \
  grep -q "Host key verification failed" "$work/d5-state.log"
(state=$work/d5/id.pub/state tunnel d5 --forward 7000 >"$work/d5-state.log" 2>&1)
check "where the key cannot be kept, the script refuses to start (status $?)" \
  grep -q "cannot keep the server's first host key in '$work/d5/id.pub/state/.ssh/known_hosts'" "$work/d5-state.log"

# The server's view: every device, d1 and d5 shared, d5 not told apart.
in_server "$build/portslot-audit" --listening --json --csv "$work/fleet.csv" >"$work/listening.json" 2>"$work/listening.err"
check "portslot-audit --listening: status 1 for the shared block" test $? -eq 1
listening_of() { jq -r --arg mac "$1" 'select(.type == "device" and .mac == $mac) | "\(.shared) \(.listening)"' "$work/listening.json" | tr -d '\n'; }
check "d1 and d5 share, their port listening" \
  test "$(listening_of 52:54:00:00:00:01)|$(listening_of 52:54:00:00:00:fb)" = \
  "true [$(port_of 52:54:00:00:00:01)]|true [$(port_of 52:54:00:00:00:01)]"
check "d2 and d6 share, their port listening" \
  test "$(listening_of 52:54:00:00:00:02)|$(listening_of 52:54:00:00:00:fc)" = \
  "true [$(port_of 52:54:00:00:00:02)]|true [$(port_of 52:54:00:00:00:02)]"
check "d3 listens on its first port" \
  test "$(listening_of 52:54:00:00:00:03)" = "false [$(port_of 52:54:00:00:00:03)]"
check "d4 listens on both its ports" test "$(listening_of 52:54:00:00:00:04)" = \
  "false [$(port_of 52:54:00:00:00:04),$(port_of 52:54:00:00:00:04 2)]"
check "the summary: d3 and d4 connected, the 4 of shared blocks not told apart, none without a device" test \
  "$(jq -r 'select(.type == "summary") | "\(.connected) \(.not_connected) \(.cannot_tell) \(.ports_without_device)"' "$work/listening.json")" = "2 0 4 0"
in_server ss -Hltn >"$work/ss.txt"
"$build/portslot-audit" --sockets "$work/ss.txt" --json --csv "$work/fleet.csv" >"$work/sockets.json" 2>/dev/null
check "the same from ss -Hltn saved" cmp -s "$work/listening.json" "$work/sockets.json"

# The administrator reaches a device by name: ssh_config from the inventory,
# every block read by ssh itself, and d4's own sshd reached through its
# tunnel, its host key checked under its address, not its port.
in_server "$build/portslot-audit" --csv --alias-field name --ssh-config "$work/fleet.csv" \
  >"$work/hosts.conf" 2>"$work/hosts.err"
check "--ssh-config: a block a device, status 1 for the shared blocks" \
  test "$?-$(grep -c '^Host ' "$work/hosts.conf")" = "1-6"
for device in "${devices[@]::6}"; do
  read -r name _ mac _ <<<"$device"
  check "ssh -G reads $name's block" test "$(ssh -G -F "$work/hosts.conf" "$name" |
    grep -E '^(hostname|port|hostkeyalias) ' | sort | tr '\n' ' ')" = \
    "hostkeyalias $mac hostname localhost port $(port_of "$mac") "
done
echo "52:54:00:00:00:04 $(cut -d' ' -f1,2 "$work/d4/host_key.pub")" >"$work/admin_known_hosts"
admin_ssh() { # known-hosts command... (with $conf: that fragment)
  local known=$1
  shift
  in_server ssh -F "${conf:-$work/hosts.conf}" -i "$work/admin" -o IdentitiesOnly=yes -o BatchMode=yes \
    -o StrictHostKeyChecking=yes -o UserKnownHostsFile="$known" \
    -o GlobalKnownHostsFile=/dev/null -o ConnectTimeout=10 -l admin "$@"
}
check "ssh -F FILE d4 reaches d4's own sshd through the tunnel" \
  test "$(admin_ssh "$work/admin_known_hosts" d4 echo reached 2>"$work/admin.err")" = reached
echo "52:54:00:00:00:04 $(cut -d' ' -f1,2 "$work/host_key.pub")" >"$work/admin_wrong_hosts"
check "another key under d4's address is refused" fails admin_ssh "$work/admin_wrong_hosts" d4 true

# Host keys from the inventory: known_hosts written by --known-hosts, and a
# fragment that pins each device that has one to it. d8 shares d4's block
# (0xfe and 0x04 leave the same remainder) and is not connected: at first
# contact ssh d8 reaches d4's sshd and refuses it, storing nothing; ssh d4
# reaches d4.
ssh-keygen -q -t ed25519 -N '' -f "$work/d8_host_key"
{ echo "mac,name,key,host_key"
  sed -n '2,$p' "$work/fleet.csv" | while IFS= read -r line; do
    case $line in 52:54:00:00:00:04,*) echo "$line,$(cut -d' ' -f1,2 "$work/d4/host_key.pub")" ;; *) echo "$line," ;; esac
  done
  echo "52:54:00:00:00:fe,d8,$(cut -d' ' -f1,2 "$work/d8_host_key.pub"),$(cut -d' ' -f1,2 "$work/d8_host_key.pub")"
} >"$work/pinned.csv"
"$build/portslot-audit" --csv --known-hosts --drop-column key "$work/pinned.csv" >"$work/fleet_known_hosts" 2>"$work/known.err"
check "--known-hosts: d4's and d8's lines, status 1 for the shared blocks, 5 devices without a host key counted" \
  test "$?-$(wc -l <"$work/fleet_known_hosts")-$(grep -c "5 devices have no host key" "$work/known.err")" = "1-2-1"
check "ssh-keygen -F finds d4's key under its address" sh -c \
  'ssh-keygen -F 52:54:00:00:00:04 -f "$1" | grep -q "^52:54:00:00:00:04 $2 d4$"' _ "$work/fleet_known_hosts" "$(cut -d' ' -f1,2 "$work/d4/host_key.pub")"
"$build/portslot-audit" --csv --alias-field name --ssh-config --known-hosts-file "$work/fleet_known_hosts" \
  "$work/pinned.csv" >"$work/pinned.conf" 2>/dev/null
check "ssh -G: d4 pinned to the fleet's known_hosts, strictly" test "$(ssh -G -F "$work/pinned.conf" d4 |
  grep -E '^(userknownhostsfile|stricthostkeychecking) ' | sort | tr '\n' ' ')" = \
  "stricthostkeychecking true userknownhostsfile $work/fleet_known_hosts "
check "  and d1, which has none, keeps ssh's own known hosts" sh -c \
  '! ssh -G -F "$1" d1 | grep -q "^userknownhostsfile $2"' _ "$work/pinned.conf" "$work/fleet_known_hosts"
cp "$work/fleet_known_hosts" "$work/fleet_known_hosts.before"
pinned_ssh() {
  in_server ssh -F "$work/pinned.conf" -i "$work/admin" -o IdentitiesOnly=yes -o BatchMode=yes \
    -o GlobalKnownHostsFile=/dev/null -o ConnectTimeout=10 -l admin "$@"
}
pinned_ssh d8 true 2>"$work/d8.err"
check "ssh -F FILE d8, whose block d4 holds, is refused at first contact (status $?)" \
  grep -q "Host key verification failed" "$work/d8.err"
check "  and nothing is stored" cmp -s "$work/fleet_known_hosts" "$work/fleet_known_hosts.before"
check "ssh -F FILE d4 reaches d4, its key pinned" test "$(pinned_ssh d4 echo reached 2>"$work/d4-pinned.err")" = reached

# The holder of every port named: ssh-keyscan asks each shared block's SSH
# port, and the host key that answers names d4 as the holder of the block it
# shares with d8; a block of two devices with host keys, whose port a server
# of another key holds (started here, on the loopback), is reported.
ssh-keygen -q -t ed25519 -N '' -f "$work/rogue_key"
{ cat "$work/pinned.csv"
  for mac in 52:54:00:00:00:09 52:54:00:00:01:03; do
    ssh-keygen -q -t ed25519 -N '' -f "$work/key-$mac"
    echo "$mac,other-$mac,,$(cut -d' ' -f1,2 "$work/key-$mac.pub")"
  done
} >"$work/identify.csv"
rogue_port=$(port_of 52:54:00:00:00:09)
printf '%s\n' "ListenAddress 127.0.0.1:$rogue_port" "HostKey $work/rogue_key" "PidFile none" \
  "StrictModes no" "UsePAM no" "AuthorizedKeysFile none" >"$work/rogue_config"
in_server "$sshd" -D -e -f "$work/rogue_config" 2>"$work/rogue.log" &
pids+=($!)
wait_for 50 listening "$rogue_port"
in_server "$build/portslot-audit" --csv --listening --identify --json --metrics "$work/identify.prom" \
  "$work/identify.csv" >"$work/identify.json" 2>"$work/identify.err"
check "--listening --identify: status 1 (shared blocks, an unknown key)" test $? -eq 1
identified() { jq -r --arg mac "$1" 'select(.type == "device" and .mac == $mac) | "\(.identified) \(.holder)"' "$work/identify.json"; }
check "d4 named the holder of the block it shares with d8" \
  test "$(identified 52:54:00:00:00:04)|$(identified 52:54:00:00:00:fe)" = "held 52:54:00:00:00:04|held 52:54:00:00:00:04"
check "the rogue server's key is no device's of its block" test "$(identified 52:54:00:00:00:09)" = "unknown_key null"
check "d1's port, which no SSH server answers, cannot be told" test "$(identified 52:54:00:00:00:01)" = "no_answer null"
check "the summary counts the unknown key" \
  test "$(jq -r 'select(.type == "summary") | .unknown_host_keys' "$work/identify.json")" = 1
metric_of() { sed -n "s/^portslot_device_connected{mac=\"$1\".* \([01]\)$/\1/p" "$work/identify.prom"; }
check "the metrics give d4 1 and d8 0, and the rogue's block 0" \
  test "$(metric_of 52:54:00:00:00:04)$(metric_of 52:54:00:00:00:fe)$(metric_of 52:54:00:00:00:09)$(metric_of 52:54:00:00:01:03)" = 1000

# A device placed in an overflow range: d7 joins the fleet, its block in the
# fleet's range is d3's, so --place gives it a range of its own (and d5 and
# d6 theirs). Given the options the README's command prints for it, it
# listens on its own port, the authorized_keys line lets its key listen there
# and nowhere else, and the administrator reaches its sshd by name.
cat "$work/fleet.csv" "$work/d7.row" >"$work/joined.csv"
"$build/portslot-audit" --csv --place --overflow 41100-41199 "$work/joined.csv" \
  >"$work/placed.csv" 2>"$work/place.err"
check "--place: d5, d6 and d7 given a setting, none placed nowhere (status $?)" \
  grep -q "4 in the fleet's range 40000-41000, 3 in 41100-41199; 3 with a setting, 0 placed nowhere" "$work/place.err"
d7_options=$("$build/portslot-audit" --csv --json --all "$work/placed.csv" | jq -r --argjson min 40000 --argjson max 41000 \
  'select(.type == "device" and (.port_min != $min or .port_max != $max)) | "\(.mac) --port-min \(.port_min) --port-max \(.port_max)"' |
  sed -n 's/^52:54:00:00:00:fd //p')
check "d7's options, as the README prints them" test "$d7_options" = "--port-min 41100 --port-max 41199"
# shellcheck disable=SC2086 # (the options' words)
d7_port=$("$build/portslot" $d7_options --port-num 1 52:54:00:00:00:fd)
"$build/portslot-audit" --csv --authorized-keys key "$work/placed.csv" >"$work/authorized_keys" 2>"$work/keys.err"
check "the placed fleet's authorized_keys: 7 lines, no block shared (status $?)" test "$?-$(wc -l <"$work/authorized_keys")" = "0-7"
check "d7's key may listen on its own ports and no other" test \
  "$(grep "$(cut -d' ' -f2 "$work/d7/id.pub")" "$work/authorized_keys" | grep -o 'permitlisten="[^"]*"' | tr '\n' ' ')" = \
  "permitlisten=\"localhost:$d7_port\" permitlisten=\"localhost:$((d7_port + 2))\" "
ssh-keygen -q -t ed25519 -N '' -f "$work/d7/host_key"
printf '%s\n' "ListenAddress 127.0.0.1:2222" "HostKey $work/d7/host_key" "PidFile none" \
  "StrictModes no" "UsePAM no" "AuthorizedKeysFile $work/admin.pub" >"$work/d7/sshd_config"
in_device d7 "$sshd" -D -e -f "$work/d7/sshd_config" 2>"$work/d7/sshd.log" &
pids+=($!)
# shellcheck disable=SC2086 # (the options' words)
tunnel d7 --known-hosts "$work/known_hosts" $d7_options --forward 2222 >"$work/d7.log" 2>&1 &
pids+=($!)
check "d7 listens on its own port $d7_port" wait_for 150 listening "$d7_port"
check "  and d3 still holds the block d7 would have taken ($(port_of 52:54:00:00:00:fd))" \
  test "$(answer "$(port_of 52:54:00:00:00:fd)")" = d3
in_device d7 env -i PATH="$bin" HOME="$work/d7" ssh -i "$work/d7/id" -o IdentitiesOnly=yes -o BatchMode=yes \
  -o StrictHostKeyChecking=yes -o "UserKnownHostsFile=$work/known_hosts" -o ExitOnForwardFailure=yes \
  -o ConnectTimeout=5 -N -R "localhost:$(port_of 52:54:00:00:00:03 2):localhost:7000" tunnel@198.18.7.1 >"$work/d7-bind.log" 2>&1
check "d7's key cannot bind a port of its block in the fleet's range" \
  grep -q "remote port forwarding failed for listen port $(port_of 52:54:00:00:00:03 2)" "$work/d7-bind.log"
in_server "$build/portslot-audit" --listening --json --csv "$work/placed.csv" >"$work/placed-listening.json" 2>/dev/null
check "--listening on the placed fleet: d7 alone on its port, connected" test \
  "$(jq -r 'select(.type == "device" and .mac == "52:54:00:00:00:fd") | "\(.shared) \(.listening)"' "$work/placed-listening.json" | tr -d '\n')" = \
  "false [$d7_port]"
in_server "$build/portslot-audit" --csv --alias-field name --ssh-config "$work/placed.csv" >"$work/placed.conf" 2>/dev/null
echo "52:54:00:00:00:fd $(cut -d' ' -f1,2 "$work/d7/host_key.pub")" >"$work/d7_known_hosts"
check "ssh -F FILE d7 reaches d7's own sshd through its port in the overflow range" \
  test "$(conf=$work/placed.conf admin_ssh "$work/d7_known_hosts" d7 echo reached 2>"$work/admin-d7.err")" = reached

# --learn: the placed fleet has no host keys; d7 is alone in its block, so
# the key its SSH server answers with through the tunnel is written into its
# record, the inventory replaced with its mode kept, and known_hosts has it.
cp "$work/placed.csv" "$work/learn.csv"
chmod 600 "$work/learn.csv"
in_server "$build/portslot-audit" --csv --listening --identify --learn "$work/learn.csv" >/dev/null 2>"$work/learn.err"
check "--identify --learn: host keys learnt into the inventory" grep -q "host keys\? learnt into $work/learn.csv: " "$work/learn.err"
check "  d7's record holds the key of d7's sshd" \
  grep -q "^52:54:00:00:00:fd,.*,$(cut -d' ' -f1,2 "$work/d7/host_key.pub")\$" "$work/learn.csv"
check "  the inventory kept its mode (0600)" test "$(stat -c %a "$work/learn.csv")" = 600
"$build/portslot-audit" --csv --known-hosts "$work/learn.csv" >"$work/learnt_known_hosts" 2>/dev/null
check "  --known-hosts then gives d7's line" \
  sh -c 'ssh-keygen -F 52:54:00:00:00:fd -f "$1" | grep -qF -- " $2"' _ "$work/learnt_known_hosts" "$(cut -d' ' -f2 "$work/d7/host_key.pub")"

# With its key, a device can only listen on its own ports: not bind another
# device's, run a command, or reach another device's port (-W, -L).
d3_ssh() {
  in_device d3 env -i PATH="$bin" HOME="$work/d3" ssh -i "$work/d3/id" -o IdentitiesOnly=yes \
    -o BatchMode=yes -o StrictHostKeyChecking=yes -o "UserKnownHostsFile=$work/known_hosts" \
    -o ExitOnForwardFailure=yes -o ConnectTimeout=5 "$@"
}
other=$(port_of 52:54:00:00:00:04 2) # d4's second port, free
d3_ssh -N -R "localhost:$other:localhost:7000" tunnel@198.18.3.1 >"$work/bind.log" 2>&1
check "d3 cannot bind d4's port $other" grep -q "remote port forwarding failed for listen port $other" "$work/bind.log"
out=$(d3_ssh tunnel@198.18.3.1 echo hello 2>/dev/null)
check "d3 cannot run a command" test "$?-$out" = "1-"
d4_port=$(port_of 52:54:00:00:00:04)
out=$(d3_ssh -W "localhost:$d4_port" tunnel@198.18.3.1 </dev/null 2>"$work/w.log")
check "d3 cannot reach d4's port with -W" test "$out" = ""
check "  (refused by the server)" grep -q "administratively prohibited" "$work/w.log"
d3_ssh -N -L "127.0.0.1:9999:localhost:$d4_port" tunnel@198.18.3.1 2>"$work/l.log" &
pids+=($!)
sleep 1
out=$(in_device d3 python3 -c '
import socket
try:
    s = socket.create_connection(("127.0.0.1", 9999), timeout=3); print(s.makefile().readline().strip())
except OSError: pass' 2>/dev/null)
check "d3 cannot reach d4's port with -L" test "$out" = ""

# A path that dies: the server frees the port within its keep-alive time,
# and the device gets it back once the path returns.
d3_port=$(port_of 52:54:00:00:00:03)
ip -n "${prefix}d3" link set eth0 down
check "the server freed d3's port once its path died" wait_for 300 not_listening "$d3_port"
wait "$d3_pid"
check "d3's tunnel ended when its path died (status $?)" true
ip -n "${prefix}d3" link set eth0 up
ip -n "${prefix}d3" route add default via 198.18.3.1 2>/dev/null
tunnel d3 --known-hosts "$work/known_hosts" --forward 7000 >"$work/d3.log" 2>&1 &
pids+=($!)
if wait_for 150 listening "$d3_port"; then
  check "d3 has its port back" test "$(answer "$d3_port")" = d3
else
  fail "d3 did not get its port back: $(cat "$work/d3.log")"
fi

# dbclient notices a dead path too, through its keep-alives.
d4_port=$(port_of 52:54:00:00:00:04)
ip -n "${prefix}d4" link set eth0 down
check "d4's dbclient ended when its path died" wait_for 300 not_running "$d4_pid"
check "  and the server freed d4's port" wait_for 300 not_listening "$d4_port"

# What the script refuses, before any connection: an interface without a
# usable address (the loopback's is all zero, a TUN device has none), one
# that is not there, more forwards than ports; and what it would run.
ip -n "${prefix}d1" tuntap add mode tun name tun0
refused() { # interface-or-options... : the script's message
  # shellcheck disable=SC2069 # (its messages, not what it prints)
  (tunnel d1 --print --forward 22 "$@" 2>&1 >/dev/null)
}
check "the loopback's all-zero address is refused" \
  test "$(refused --interface lo)" = "portslot-tunnel: interface 'lo' has no usable MAC address ('00:00:00:00:00:00'); name another with --interface"
check "an interface without an address is refused" \
  test "$(refused --interface tun0)" = "portslot-tunnel: interface 'tun0' has no MAC address (PPP, LTE and WireGuard links have none); name another with --interface"
check "a missing interface is refused" \
  test "$(refused --interface nosuch)" = "portslot-tunnel: interface 'nosuch' not found (no /sys/class/net/nosuch)"
check "more forwards than ports are refused" \
  test "$(refused --forward 80 --forward 443)" = "portslot-tunnel: 3 forwards, but each device has 2 ports (--port-count)"
# Values ssh cannot use, refused at once with what is wrong, control bytes
# escaped.
while IFS='|' read -r message options; do
  # shellcheck disable=SC2086 # (the options' words)
  check "refused: $options" test "$(refused $options)" = "portslot-tunnel: $message"
done <<'EOF'
--forward 'h:22:33' is not [HOST:]PORT (HOST a name or an IPv4 address)|--forward h:22:33
--forward '::1:22' is not [HOST:]PORT (HOST a name or an IPv4 address)|--forward ::1:22
--keepalive '2147483648' is not a number of seconds (1 to 86400)|--keepalive 2147483648
--ssh-port '0' is not a port|--ssh-port 0
--ssh-port '99999999999999999999' is not a port|--ssh-port 99999999999999999999
'../../../../x' is not an interface name|--interface ../../../../x
'eth0/' is not an interface name|--interface eth0/
option '--port-min' needs a value, not an empty one|--port-min=
cannot read '/nonexistent'|--identity /nonexistent
'/tmp/a%hb': ssh would read another file under this name (blanks, quotes, %, $ or a leading ~); name it otherwise|--known-hosts /tmp/a%hb
EOF
# A start refused after dbclient's HOME is made leaves nothing behind: on
# OpenWrt procd restarts it, and /tmp is memory.
mkdir "$work/starts"
printf '%s\n' "198.18.9.9 ssh-ed25519 $(cut -d' ' -f2 "$work/d1/id.pub")" >"$work/elsewhere_hosts"
for _ in $(seq 10); do
  for name in d2 d4; do # (BusyBox ash, dash)
    (TMPDIR=$work/starts tunnel "$name" --known-hosts "$work/elsewhere_hosts" --forward 22 2>/dev/null)
  done
done
check "20 refused starts under dbclient leave no temporary folder" test -z "$(ls -A "$work/starts")"
check "a control byte is shown escaped" \
  test "$(refused --interface "$(printf 'e\033[2J')")" = "portslot-tunnel: option '--interface': a control byte in 'e\\x1b[2J'"
check "a C1 control (CSI) is refused under dash too, shown escaped" \
  test "$(refused --keepalive "$(printf '1\302\233')")" = "portslot-tunnel: option '--keepalive': a control byte in '1\\xc2\\x9b'"

# The pauses between attempts: each drawn between half of it and the whole,
# doubling up to 5 minutes (a client that fails at once, a sleep that only
# notes what it was asked, and ends the script at the tenth; at the tenth
# alone: the script's own "sleep 5" before it kills a client comes after it,
# and once its parent has gone its PPID is this test's, PID 1 of the test's
# namespace, which a TERM would end).
fake=$work/fake
mkdir "$fake"
printf '#!/bin/sh\nexit 255\n' >"$fake/ssh"
printf '#!/bin/sh\necho "$1" >>%s/slept\n[ "$(wc -l <%s/slept)" -ne 10 ] || kill -TERM "$PPID"\n' \
  "$fake" "$fake" >"$fake/sleep"
chmod +x "$fake/ssh" "$fake/sleep"
ln -s "$(command -v wc)" "$fake/wc"
in_device d1 env -i PATH="$fake:$bin" "$(command -v dash)" "$build/portslot-tunnel" \
  --client "$fake/ssh" --forward 22 tunnel@198.18.1.1 2>/dev/null
check "ten pauses, each within its bounds, the script ended by TERM (status $?)" \
  awk 'BEGIN { p = 5 } NR <= 10 { if ($1 < int(p / 2) || $1 > p) bad = 1; p = p * 2 > 300 ? 300 : p * 2 }
    END { exit bad || NR < 10 }' "$fake/slept"
# Signals from the script's first moment: SIGUSR1 before the first attempt
# is taken (not the end of the script), SIGTERM ends it with status 0 (an
# id that signals the script, whose PID it is given, as it is asked for the
# user).
early=$work/early
mkdir "$early"
for signal in USR1 TERM; do
  printf '#!/bin/sh\nuntil [ -s %s/script ]; do sleep 0.1; done\nkill -%s "$(cat %s/script)"\necho 0\n' \
    "$early" "$signal" "$early" >"$early/id"
  chmod +x "$early/id"
  rm -f "$early/script"
  # (exec: the PID is the script's, not a subshell's.)
  (exec ip netns exec "${prefix}d1" env -i PATH="$early:$bin" "$(command -v dash)" \
    "$build/portslot-tunnel" --print --forward 22 tunnel@198.18.1.1 >"$early/$signal.out" 2>&1) &
  echo "$!" >"$early/script"
  wait "$!"
  echo "$?" >>"$early/$signal.out"
done
check "SIGUSR1 before the first attempt does not end the script" \
  sh -c 'grep -q "^ssh -N" "$1" && tail -n 1 "$1" | grep -qx 0' _ "$early/USR1.out"
check "SIGTERM before the first attempt ends it with status 0" \
  sh -c '! grep -q "^ssh -N" "$1" && tail -n 1 "$1" | grep -qx 0' _ "$early/TERM.out"
# A client that ignores SIGTERM is killed a few seconds after it.
printf '#!/bin/sh\ntrap "" TERM\necho $$ >%s/client\nwhile :; do sleep 1; done\n' "$early" >"$early/ssh"
chmod +x "$early/ssh"
(exec ip netns exec "${prefix}d1" env -i PATH="$bin" "$(command -v dash)" "$build/portslot-tunnel" \
  --client "$early/ssh" --known-hosts "$work/known_hosts" --forward 22 tunnel@198.18.1.1 2>/dev/null) &
script_pid=$!
pids+=("$script_pid")
wait_for 50 test -s "$early/client"
kill -TERM "$script_pid"
wait_for 100 not_running "$(cat "$early/client")"
check "a client that ignores SIGTERM is killed" not_running "$(cat "$early/client")"
wait "$script_pid"
check "  and the script ends, with status 0 ($?)" test $? -eq 0
(state=$work/d1/state tunnel d1 --print --forward 22 --forward 10.0.0.9:80 --port-count 2 >"$work/print.out" 2>&1)
check "--print names the default route's interface, the ports and the command" test \
  "$(cat "$work/print.out")" = "interface eth0 (the default route's), address 52:54:00:00:00:01
port 40004 -> localhost:22
port 40006 -> 10.0.0.9:80
ssh -N -T -o BatchMode=yes -o ExitOnForwardFailure=yes -o ConnectTimeout=120 -o ServerAliveInterval=2 -o ServerAliveCountMax=3 -o StrictHostKeyChecking=accept-new -o UserKnownHostsFile=$work/d1/state/.ssh/known_hosts -o IdentitiesOnly=yes -i $work/d1/id -R localhost:40004:localhost:22 -R localhost:40006:10.0.0.9:80 tunnel@198.18.1.1"

# SIGTERM ends a tunnel cleanly, its client with it.
kill -TERM "$d1_pid"
wait "$d1_pid"
check "d1's portslot-tunnel ends with status 0 on SIGTERM" test $? -eq 0
check "d1's port is freed" wait_for 50 not_listening "$(port_of 52:54:00:00:00:01)"

# The kernel's ephemeral ports: warned about in the server's namespace, with
# the line that reserves them; once it is run, no more warning.
in_server sh -c 'echo "32768 60999" >/proc/sys/net/ipv4/ip_local_port_range &&
  echo >/proc/sys/net/ipv4/ip_local_reserved_ports'
in_server "$build/portslot-audit" --listening --csv "$work/fleet.csv" >/dev/null 2>"$work/ephemeral.err"
line=$(sed -n 's/^  \(sysctl -w .*\)$/\1/p' "$work/ephemeral.err")
check "the even ports of the range are to be reserved, the odd ones left" \
  sh -c 'case $1 in *=40000,40002,*,40996,40998) ! echo "$1" | grep -q 40001 ;; *) false ;; esac' _ "$line"
in_server sh -c "$line" >/dev/null
in_server "$build/portslot-audit" --listening --csv "$work/fleet.csv" >/dev/null 2>"$work/ephemeral.err"
check "once reserved, no warning" test ! -s "$work/ephemeral.err"

echo "clients: $(ssh -V 2>&1); $(dbclient -V 2>&1 | head -n 1)"
if [ "$failures" -ne 0 ]; then
  echo "sshd's log:"
  tail -n 40 "$work/sshd.log"
  exit 1
fi
echo "tunnel test: all checks pass"
