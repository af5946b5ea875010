# shellcheck shell=sh
# Part of portslot-tunnel (the build joins the parts into one script): the interface, its address and the ports.

# --- The interface and its address -----------------------------------------

sysfs=/sys/class/net

valid_address() {
  case $1 in
  00:00:00:00:00:00) return 1 ;;
  [0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]:[0-9a-f][0-9a-f]) return 0 ;;
  esac
  return 1
}
address_of() { cat "$sysfs/$1/address" 2>/dev/null; }

# The default route's interface: IPv4's (destination 00000000), else IPv6's
# (::/0, but not the loopback's unreachable one).
default_route_interface() {
  awk 'FILENAME ~ /ipv6_route$/ { if ($1 ~ /^0+$/ && $2 == "00" && $10 != "lo" && v6 == "") v6 = $10; next }
    FNR > 1 && $2 == "00000000" && v4 == "" { v4 = $1 }
    END { print (v4 != "" ? v4 : v6) }' /proc/net/route /proc/net/ipv6_route 2>/dev/null
}

# Sets interface, chosen_by and mac.
choose_interface() {
  chosen_by="as asked"
  if [ -z "$interface" ]; then
    interface=$(default_route_interface)
    chosen_by="the default route's"
    if [ -z "$interface" ]; then
      for path in "$sysfs"/*; do
        name=${path##*/}
        [ "$name" != lo ] && valid_address "$(address_of "$name")" && interface=$name && break
      done
      chosen_by="the first with an address"
    fi
    [ -n "$interface" ] || die "no interface with a MAC address; name one with --interface"
  fi
  case $interface in
  . | .. | *[!A-Za-z0-9._-]*) die "'$(shown "$interface")' is not an interface name" ;;
  esac
  [ -e "$sysfs/$interface" ] || die "interface '$interface' not found (no $sysfs/$interface)"
  mac=$(address_of "$interface")
  [ -n "$mac" ] || die "interface '$interface' has no MAC address (PPP, LTE and WireGuard links have none); name another with --interface"
  valid_address "$mac" || die "interface '$interface' has no usable MAC address ('$(shown "$mac")'); name another with --interface"
}

# --- The ports ---------------------------------------------------------------

# Sets ports to the device's ports, one for each forward, from portslot
# itself: beside this script, or on the PATH.
derive_ports() {
  portslot=portslot
  [ -x "${0%/*}/portslot" ] && portslot=${0%/*}/portslot
  command -v "$portslot" >/dev/null 2>&1 ||
    die "portslot not found (beside this script or on the PATH): it gives the ports"
  ports='' n=0
  for forward in $forwards; do
    n=$((n + 1))
    port=$("$portslot" ${port_min:+--port-min "$port_min"} ${port_max:+--port-max "$port_max"} \
      ${port_count:+--port-count "$port_count"} --port-num "$n" "$mac" 2>&1) ||
      die "portslot gives no port $n for $mac in this range:
$port"
    in_bounds "$port" 1 65535 || die "portslot gave '$(shown "$port")' as port $n, which is no port a server can listen on"
    ports="$ports $port"
  done
}

