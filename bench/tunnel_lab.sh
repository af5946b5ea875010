# A laboratory for the tunnel benchmarks, sourced by them (bash): a tunnel
# server in a network namespace, running Debian's sshd with the README's
# settings as they stand, and the means to make devices beside it.
#
# lab_enter re-runs the benchmark in a PID and mount namespace of its own,
# with a private /run (ip netns's folder, sshd's) and a passwd file naming
# sshd's privilege-separation user and the tunnel account bound over
# /etc/passwd. However the benchmark ends, every process it started dies
# with the PID namespace, its network namespaces with the mount namespace,
# and its folder with its trap. Addresses are taken from 198.18.0.0/15 only;
# the network namespaces are named PREFIX then this run's PID, PREFIX being
# $PORTSLOT_LAB_PREFIX or psb, so that a lab of another naming runs beside.

lab_namespaces=() lab_pids=()

# lab_enter "$0" BUILD_DIR SSHD README ...: sets build, sshd and readme (as
# absolute paths); as root, with the programs the laboratory needs, in new
# namespaces; sets work (the benchmark's folder) and prefix.
lab_enter() {
  local script=$1
  shift
  build=$(cd "$1" && pwd)
  sshd=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
  readme=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
  if [ "${PORTSLOT_LAB_INSIDE:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "${script##*/}: needs root (network namespaces)" >&2; exit 2; }
    for program in "$sshd" ssh dbclient dropbearkey ip unshare ss dash; do
      command -v "$program" >/dev/null 2>&1 ||
        { echo "${script##*/}: no $program here (scripts/install-deps provides it)" >&2; exit 2; }
    done
    PORTSLOT_LAB_INSIDE=1 exec unshare --pid --mount --fork --kill-child --mount-proc \
      --propagation private -- "$script" "$@"
  fi
  work=$(mktemp -d /tmp/portslot-bench.XXXXXX)
  chmod 755 "$work"
  prefix=${PORTSLOT_LAB_PREFIX:-psb}$$ # (the namespaces' names: psbPID unless told)
  trap lab_cleanup EXIT
  trap 'exit 1' INT TERM
  mount -t tmpfs -o mode=755 portslot-bench-run /run || exit 1
  mkdir -p /run/netns /run/sshd
  cp /etc/passwd "$work/passwd"
  mkdir -m 755 "$work/home"
  echo "sshd:x:64990:65534::/run/sshd:/usr/sbin/nologin" >>"$work/passwd"
  echo "tunnel:x:64991:65534::$work/home:/bin/sh" >>"$work/passwd"
  mount --bind "$work/passwd" /etc/passwd || exit 1
}

lab_cleanup() {
  for pid in "${lab_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  for ns in "${lab_namespaces[@]}"; do ip netns delete "$ns" 2>/dev/null; done
  rm -rf "$work"
}

lab_netns() { # NAME: a namespace with its loopback up
  ip netns add "$1" && lab_namespaces+=("$1")
  ip -n "$1" link set lo up
}

# An indented block of the README, from the line that starts "    FIRST" to
# the first empty line, unindented.
readme_block() {
  awk -v first="    $1" 'index($0, first) == 1 { on = 1 } on && /^$/ { exit } on { print substr($0, 5) }' "$readme"
}

# lab_sshd NS ADDRESS CONFIG [GLOBAL_LINES]: sshd in NS on ADDRESS:22, its
# configuration in $work/CONFIG: its own host key, the global lines, then
# the README's Match block as it stands; logging to $work/sshd.log. Sets
# sshd_pid. Run again with the same CONFIG, it starts sshd again.
lab_sshd() {
  local ns=$1 address=$2 config=$work/$3
  if [ ! -e "$work/host_key" ]; then
    ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
    echo "$address $(cut -d' ' -f1,2 "$work/host_key.pub")" >"$work/known_hosts"
  fi
  if [ ! -e "$config" ]; then
    match=$(readme_block "Match User tunnel")
    [ -n "$match" ] || { echo "no Match block in $readme" >&2; exit 1; }
    cat >"$config" <<EOF
ListenAddress $address:22
HostKey $work/host_key
PidFile none
StrictModes no
UsePAM no
LogLevel VERBOSE
AuthorizedKeysFile $work/authorized_keys
PasswordAuthentication no
KbdInteractiveAuthentication no
${4:-}
$match
EOF
  fi
  ip netns exec "$ns" "$sshd" -D -e -f "$config" 2>>"$work/sshd.log" &
  sshd_pid=$!
  lab_pids+=("$sshd_pid")
  for _ in $(seq 100); do
    ip netns exec "$ns" ss -Hltn "sport = :22" | grep -q LISTEN && return 0
    sleep 0.1
  done
  echo "sshd did not start:" >&2
  tail "$work/sshd.log" >&2
  exit 1
}

# lab_key NAME CLIENT: a key for a device (OpenSSH's or Dropbear's format, as
# its client reads it) in $work/NAME/id; prints its public key's type and body.
lab_key() {
  mkdir -p "$work/$1/.ssh"
  if [ "$2" = ssh ]; then
    ssh-keygen -q -t ed25519 -N '' -f "$work/$1/id" && cut -d' ' -f1,2 "$work/$1/id.pub"
  else
    dropbearkey -t ed25519 -f "$work/$1/id" >/dev/null 2>&1 &&
      dropbearkey -y -f "$work/$1/id" | grep '^ssh-' | cut -d' ' -f1,2
  fi
}

# Seconds since the epoch, to the millisecond.
now() { date +%s.%3N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
