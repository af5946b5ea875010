# shellcheck shell=sh
# Part of portslot-tunnel (the build joins the parts into one script): its options.

# --- The options -----------------------------------------------------------

interface='' port_min='' port_max='' port_count='' identity='' known_hosts='' own_known_hosts=''
ssh_port='' client='' keepalive=10 once=0 print=0 target='' forwards='' dropbear_home=''

take_option() { # OPTION VALUE
  case $1 in
  --interface) interface=$2 ;;
  --port-min) port_min=$2 ;;
  --port-max) port_max=$2 ;;
  --port-count) port_count=$2 ;;
  --identity) identity=$2 ;;
  --known-hosts) known_hosts=$2 ;;
  --ssh-port) ssh_port=$2 ;;
  --client) client=$2 ;;
  --keepalive) keepalive=$2 ;;
  --forward)
    case $2 in
    *:*) host=${2%:*} port=${2##*:} ;;
    *) host=localhost port=$2 ;;
    esac
    case $host in
    '' | *[!A-Za-z0-9._-]*) die "--forward '$(shown "$2")' is not [HOST:]PORT (HOST a name or an IPv4 address)" ;;
    esac
    in_bounds "$port" 1 65535 || die "--forward '$(shown "$2")' is not [HOST:]PORT (PORT from 1 to 65535)"
    forwards="$forwards $host:$port"
    ;;
  esac
}

read_options() {
  options_ended=0
  while [ $# -gt 0 ]; do
    option=$1 value='' given=0
    shift
    if [ "$options_ended" = 1 ]; then
      option=" $option" # an argument, whatever it starts with
    fi
    case $option in
    --*=*) value=${option#*=} option=${option%%=*} given=1 ;;
    esac
    case $option in
    --interface | --port-min | --port-max | --port-count | --forward | --identity | \
      --known-hosts | --ssh-port | --client | --keepalive)
      if [ "$given" = 0 ]; then
        [ $# -gt 0 ] || die "option '$option' needs a value"
        value=$1
        shift
      fi
      [ -n "$value" ] || die "option '$option' needs a value, not an empty one"
      ! has_control "$value" || die "option '$option': a control byte in '$(shown "$value")'"
      take_option "$option" "$value"
      continue
      ;;
    *) [ "$given" = 0 ] || die "option '$(shown "$option")' takes no value" ;;
    esac
    case $option in
    --once) once=1 ;;
    --print) print=1 ;;
    --help)
      usage
      exit 0
      ;;
    --version)
      echo "$prog $version"
      exit 0
      ;;
    --) options_ended=1 ;;
    -?*) die "unknown option '$(shown "$option")'; try '$prog --help'" ;;
    *)
      option=${option# }
      [ -z "$target" ] || die "one USER@SERVER only, not '$(shown "$target")' and '$(shown "$option")'"
      target=$option
      ;;
    esac
  done
}

check_options() {
  [ -n "$target" ] || die "no USER@SERVER given; try '$prog --help'"
  case $target in
  [A-Za-z0-9._]*@[A-Za-z0-9.:_-]*) ;;
  *) die "'$(shown "$target")' is not USER@SERVER" ;;
  esac
  user=${target%%@*} server=${target#*@}
  case $user$server in *[!A-Za-z0-9.:_-]*) die "'$(shown "$target")' is not USER@SERVER" ;; esac
  [ -n "$forwards" ] || die "no --forward given: nothing to reach on the device"
  [ -z "$port_min" ] || in_bounds "$port_min" 0 65535 || die "--port-min '$port_min' is not a port"
  [ -z "$port_max" ] || in_bounds "$port_max" 0 65535 || die "--port-max '$port_max' is not a port"
  [ -z "$port_count" ] || in_bounds "$port_count" 1 32768 ||
    die "--port-count '$port_count' is not a number of ports"
  [ -z "$ssh_port" ] || in_bounds "$ssh_port" 1 65535 || die "--ssh-port '$ssh_port' is not a port"
  in_bounds "$keepalive" 1 86400 || die "--keepalive '$keepalive' is not a number of seconds (1 to 86400)"
  set -f
  # shellcheck disable=SC2086 # (one word a forward)
  set -- $forwards
  set +f
  [ $# -le "${port_count:-2}" ] ||
    die "$# forwards, but each device has ${port_count:-2} ports (--port-count)"
  for file in "$identity" "$known_hosts"; do
    [ -n "$file" ] || continue
    plain_path "$file" || die "'$file': ssh would read another file under this name (blanks, quotes, %, \$ or a leading ~); name it otherwise"
    [ -r "$file" ] || die "cannot read '$file'"
  done
}

