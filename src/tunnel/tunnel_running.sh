# shellcheck shell=sh
# Part of portslot-tunnel (the build joins the parts into one script): a connection kept up, and main.

# --- Running -------------------------------------------------------------------

# One connection, the client in the background, so that a signal is taken at
# once and passed on; what it says is kept, to tell a refused forward. Its
# words are the positional parameters.
client_pid='' stopping=0 retry=0
connect() {
  client_prefix
  case $prefix in
  HOME=*) HOME=$dropbear_home "$@" </dev/null 2>"$messages" & ;;
  yes)
    say "first connection to $server: its host key will be kept in $own_known_hosts"
    echo y | "$@" 2>"$messages" &
    ;;
  *) "$@" </dev/null 2>"$messages" & ;;
  esac
  client_pid=$!
  # A stop asked while the client was starting, before its PID was known.
  [ "$stopping" = 0 ] || end_client
  await_client
  status=$waited
  # What it said, passed on; the first port refused, from OpenSSH's "remote
  # port forwarding failed for listen port N" or Dropbear's "Remote TCP
  # forward request failed (port N ...)". (The shell's own read: a fleet
  # that reconnects at once forks nothing more than it must.)
  refused=
  while IFS= read -r line || [ -n "$line" ]; do
    printf '%s\n' "$line" >&2
    [ -z "$refused" ] || continue
    case $line in
    *'remote port forwarding failed for listen port '[0-9]*) refused=${line##*listen port } ;;
    *'Remote TCP forward request failed (port '[0-9]*) refused=${line##*failed (port } ;;
    esac
    refused=${refused%%[!0-9]*}
  done <"$messages"
  if [ -n "$refused" ]; then
    log_failure "the server refused port $refused: another device may share this device's ports" \
      "(portslot-audit on the server lists who shares), the server's kernel may have given the" \
      "port to an outgoing connection, or this device's last session may still hold it" \
      "(see portslot-audit --listening on the server)"
  fi
  return "$status"
}

# Waits for client_pid to end (a signal to this script ends wait early, the
# process may still run); its status in waited.
await_client() {
  while :; do
    wait "$client_pid" 2>/dev/null
    waited=$?
    kill -0 "$client_pid" 2>/dev/null || break
  done
  client_pid=''
  [ -z "$killer_pid" ] || kill "$killer_pid" 2>/dev/null
  killer_pid=''
}

# A number from 0 to 65535 in value: from /dev/urandom, else from the MAC
# address and the attempt, so that devices still differ.
random_number() {
  value=$(od -An -N2 -tu2 /dev/urandom 2>/dev/null)
  value=${value##* }
  case $value in
  '' | *[!0-9]*)
    low=${mac##*:} rest=${mac%:*}
    middle=${rest##*:} rest=${rest%:*}
    value=$(((0x${rest##*:}$middle$low + attempt * 40503) * 1103515245 % 2147483648 / 65536))
    ;;
  esac
}

# Seconds since the system started, in now: read, not forked.
uptime_now() {
  { read -r now _ </proc/uptime; } 2>/dev/null || now=$(date +%s)
  now=${now%.*}
}

# Pauses between half of $1 seconds and the whole, at random; SIGUSR1 or a
# stop ends the pause early.
pause_for() {
  half=$(($1 / 2))
  random_number
  seconds=$((half + value % ($1 - half + 1)))
  log_failure "connection to $server ended with status $status after ${lasted}s; next attempt in ${seconds}s"
  sleep "$seconds" &
  client_pid=$!
  if [ "$stopping" = 1 ] || [ "$retry" = 1 ]; then
    kill -TERM "$client_pid" 2>/dev/null
  fi
  await_client
  retry=0
}

# The signals, taken from the script's first moment: a stop before the
# client runs ends the script at once (status 0), SIGUSR1 is kept for the
# next pause; a client that has not ended a few seconds after SIGTERM is
# killed. What the run made is removed on every way out.
# shellcheck disable=SC2317 # (called by the traps)
stop() {
  stopping=1
  [ "$running" = 1 ] || exit 0
  [ -z "$client_pid" ] || end_client
}
# shellcheck disable=SC2317
again() {
  retry=1
  [ -z "$client_pid" ] || [ "$in_pause" = 0 ] || kill -TERM "$client_pid" 2>/dev/null
}
end_client() {
  kill -TERM "$client_pid" 2>/dev/null
  [ -z "$killer_pid" ] || ! kill -0 "$killer_pid" 2>/dev/null || return 0
  kill_later "$client_pid" >/dev/null 2>&1 &
  killer_pid=$!
}
kill_later() { # PID
  sleep 5
  kill -KILL "$1" 2>/dev/null
}
# shellcheck disable=SC2317
clean_up() {
  [ -z "$messages" ] || rm -f "$messages"
  [ -z "$dropbear_home" ] || rm -rf "$dropbear_home"
  [ -z "$killer_pid" ] || kill "$killer_pid" 2>/dev/null
}
take_signals() {
  running=0 in_pause=0 messages='' killer_pid=''
  trap stop TERM INT HUP
  trap again USR1
  trap clean_up EXIT
}

run() { # the command's words
  messages=$(mktemp) || die "cannot make a file for the client's messages"
  running=1
  [ "$stopping" = 0 ] || exit 0
  # (The client makes no folder for the key it keeps.)
  [ -z "$own_known_hosts" ] || (umask 077 && mkdir -p "${own_known_hosts%/*}") ||
    die "cannot make the folder of '$(shown "$own_known_hosts")'"
  say "interface $interface ($chosen_by), address $mac, ports$ports"
  if [ "$once" = 1 ]; then
    connect "$@"
    status=$?
    [ "$stopping" = 0 ] || exit 0
    [ "$status" = 0 ] || log_failure "$(quoted "$1") ended with status $status"
    exit "$status"
  fi
  pause=5 attempt=0
  while [ "$stopping" = 0 ]; do
    attempt=$((attempt + 1))
    uptime_now
    started=$now
    retry=0
    connect "$@"
    status=$?
    [ "$stopping" = 0 ] || break
    uptime_now
    lasted=$((now - started))
    [ "$lasted" -lt 60 ] || pause=5
    in_pause=1
    pause_for "$pause"
    in_pause=0
    pause=$((pause * 2))
    [ "$pause" -le 300 ] || pause=300
  done
  exit 0
}

main() {
  take_signals
  read_options "$@"
  check_options
  choose_interface
  derive_ports
  choose_client
  [ -n "$known_hosts" ] || choose_own_known_hosts
  [ "$kind" = openssh ] || prepare_dropbear
  words=$(command_words)
  # The words, one a line and none holding a line end (values with control
  # bytes were refused), become the positional parameters.
  old_ifs=$IFS
  IFS='
'
  set -f
  # shellcheck disable=SC2086
  set -- $words
  set +f
  IFS=$old_ifs
  if [ "$print" = 1 ]; then
    print_command
    client_prefix
    case $prefix in
    HOME=*) echo "# HOME: a folder made at each start, holding $known_hosts as .ssh/known_hosts" ;;
    yes) echo "# the question about the server's key answered yes, as $own_known_hosts names none" ;;
    esac
    case $prefix in
    HOME=*) printf 'HOME=%s ' "$(quoted "$dropbear_home")" ;;
    yes) printf "echo y | " ;;
    esac
    quoted "$@"
    [ -z "$dropbear_home" ] || rm -rf "$dropbear_home"
    exit 0
  fi
  run "$@"
}

main "$@"
