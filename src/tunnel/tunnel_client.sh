# shellcheck shell=sh
# Part of portslot-tunnel (the build joins the parts into one script): the SSH client and its command.

# --- The client and its command ------------------------------------------------

# True when the known hosts file $1 has a line for the server (by its name,
# or as "[name]:port" for another port than 22; hashed names as ssh-keygen
# finds them, where there is one).
knows_server() {
  awk -v host="$server" -v other="[$server]:${ssh_port:-22}" '{ n = split($1, names, ",")
      for (i = 1; i <= n; i++) if (names[i] == host || names[i] == other) found = 1 }
    END { exit !found }' "$1" 2>/dev/null && return 0
  [ "$kind" = openssh ] && command -v ssh-keygen >/dev/null 2>&1 || return 1
  name=$server
  [ -z "$ssh_port" ] || [ "$ssh_port" = 22 ] || name="[$server]:$ssh_port"
  [ -n "$(ssh-keygen -F "$name" -f "$1" 2>/dev/null)" ]
}

# True when the file $1 can be written, or made: the nearest part of its
# path that is there is the file itself, or a folder, and writable.
can_write() {
  place=$1
  while [ ! -e "$place" ] && [ ! -L "$place" ]; do
    case $place in
    */*) place=${place%/*} place=${place:-/} ;;
    *) place=. ;;
    esac
  done
  [ -w "$place" ] && { [ "$place" = "$1" ] || [ -d "$place" ]; }
}

# Without --known-hosts, where the server's first key is kept, and every
# later one checked: under the unit's state folder (systemd's
# STATE_DIRECTORY), else under the home folder of the passwd entry, which is
# the one OpenSSH takes (not $HOME; dbclient takes $HOME, and is given the
# folder chosen as its HOME). A client that could not keep the key would
# warn, connect, and take any key the next time, so where it cannot be kept
# the script refuses to start. Sets own_known_hosts.
choose_own_known_hosts() {
  home=${STATE_DIRECTORY%%:*}
  if [ -z "$home" ] && [ "$kind" = dropbear ] && [ -n "$HOME" ]; then
    home=$HOME
  elif [ -z "$home" ]; then
    home=$(awk -F: -v uid="$(id -u)" '$3 == uid { print $6; exit }' /etc/passwd)
  fi
  [ -n "$home" ] || die "no home folder for user $(id -u) in /etc/passwd to keep the server's host key in; give --known-hosts"
  own_known_hosts=${home%/}/.ssh/known_hosts
  plain_path "$own_known_hosts" || die "'$(shown "$own_known_hosts")': ssh would read another file under this name; give --known-hosts"
  HOME=$home
  export HOME
  knows_server "$own_known_hosts" || can_write "$own_known_hosts" ||
    die "cannot keep the server's first host key in '$(shown "$own_known_hosts")' (not writable), and a key not kept would let any server in: give --known-hosts FILE with the server's key, or a writable state folder (StateDirectory=)"
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
# for the server (choose_own_known_hosts). Sets dropbear_home.
prepare_dropbear() {
  dropbear_home=''
  if [ -n "$known_hosts" ]; then
    dropbear_home=$(mktemp -d) || die "cannot make a folder for dbclient's known hosts"
    mkdir "$dropbear_home/.ssh"
    # "[host]:port type key" becomes "host type key"; hashed names cannot be read.
    sed -n 's/^\[\([^]]*\)\]:[0-9]*\([ ,]\)/\1\2/; /^|/d; p' "$known_hosts" >"$dropbear_home/.ssh/known_hosts"
    knows_server "$dropbear_home/.ssh/known_hosts" ||
      die "--known-hosts '$known_hosts' has no plain line for '$server', which dbclient needs"
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
      printf '%s\n' -o StrictHostKeyChecking=accept-new -o "UserKnownHostsFile=$own_known_hosts"
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

