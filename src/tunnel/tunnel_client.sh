# shellcheck shell=sh
# Part of portslot-tunnel (the build joins the parts into one script): the SSH client and its command.

# --- The client and its command ------------------------------------------------

# True when the known hosts file $1 has a line for the server.
knows_server() {
  awk -v host="$server" '{ n = split($1, names, ","); for (i = 1; i <= n; i++) if (names[i] == host) found = 1 }
    END { exit !found }' "$1" 2>/dev/null
}

# Sets client and kind (openssh or dropbear, by the program's name).
choose_client() {
  if [ -z "$client" ]; then
    if command -v ssh >/dev/null 2>&1; then client=ssh; else client=dbclient; fi
  fi
  command -v "$client" >/dev/null 2>&1 || die "no SSH client '$(shown "$client")' (ssh or dbclient)"
  case ${client##*/} in
  *dbclient*) kind=dropbear ;;
  *) kind=openssh ;;
  esac
}

# Dropbear knows no batch mode and reads only $HOME/.ssh/known_hosts, as
# plain "host type key" lines. A key it does not know it takes only when
# asked, on the terminal or (with none) on standard input, and keeps; its -y
# would take any key and keep none. So a provisioned file is copied into a
# HOME of its own, and must name the server; without one, the user's own
# file is used, and the question answered yes only while it names no key
# for the server. Sets dropbear_home, or own_known_hosts.
prepare_dropbear() {
  dropbear_home='' own_known_hosts=''
  if [ -n "$known_hosts" ]; then
    dropbear_home=$(mktemp -d) || die "cannot make a folder for dbclient's known hosts"
    mkdir "$dropbear_home/.ssh"
    # "[host]:port type key" becomes "host type key"; hashed names cannot be read.
    sed -n 's/^\[\([^]]*\)\]:[0-9]*\([ ,]\)/\1\2/; /^|/d; p' "$known_hosts" >"$dropbear_home/.ssh/known_hosts"
    knows_server "$dropbear_home/.ssh/known_hosts" ||
      die "--known-hosts '$known_hosts' has no plain line for '$server', which dbclient needs"
  else
    home=${HOME:-$(awk -F: -v uid="$(id -u)" '$3 == uid { print $6; exit }' /etc/passwd)}
    own_known_hosts=$home/.ssh/known_hosts
  fi
}

# Prints the command, word by word, NUL-free, one a line: no remote command
# and no terminal; keep-alives; never a prompt; an exit when a forward is
# refused; the host key always checked; then the forwards and the target.
# OpenSSH's ConnectTimeout bounds the key exchange too: a server that takes
# a fleet back after its restart may need tens of seconds for each, and a
# client that gave up would throw its work away and come back in a wave.
command_words() {
  printf '%s\n' "$client" -N -T
  if [ "$kind" = openssh ]; then
    printf '%s\n' -o BatchMode=yes -o ExitOnForwardFailure=yes -o ConnectTimeout=120 \
      -o "ServerAliveInterval=$keepalive" -o ServerAliveCountMax=3
    if [ -n "$known_hosts" ]; then
      printf '%s\n' -o StrictHostKeyChecking=yes -o "UserKnownHostsFile=$known_hosts"
    else
      printf '%s\n' -o StrictHostKeyChecking=accept-new
    fi
    [ -z "$identity" ] || printf '%s\n' -o IdentitiesOnly=yes -i "$identity"
  else
    printf '%s\n' -o ExitOnForwardFailure=yes -K "$keepalive"
    [ -z "$identity" ] || printf '%s\n' -i "$identity"
  fi
  [ -z "$ssh_port" ] || printf '%s\n' -p "$ssh_port"
  set -f
  # shellcheck disable=SC2086 # (one word a port)
  set -- $ports
  set +f
  for forward in $forwards; do
    printf '%s\n' -R "localhost:$1:$forward"
    shift
  done
  printf '%s\n' "$target"
}

# How the client is started, before its words, in prefix: "HOME=DIR" for
# dbclient with provisioned known hosts, "yes" when its question is to be
# answered, else nothing.
client_prefix() {
  prefix=
  if [ "$kind" = dropbear ] && [ -n "$dropbear_home" ]; then
    prefix="HOME=$dropbear_home"
  elif [ "$kind" = dropbear ] && ! knows_server "$own_known_hosts"; then
    prefix=yes
  fi
}

print_command() { # the command's words
  echo "interface $interface ($chosen_by), address $mac"
  set -f
  # shellcheck disable=SC2086 # (one word a port)
  set -- $ports
  set +f
  for forward in $forwards; do
    echo "port $1 -> $forward"
    shift
  done
}

