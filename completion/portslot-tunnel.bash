# bash completion for portslot-tunnel
# Files follow --identity and --known-hosts, interfaces --interface, the
# clients --client; nothing is offered after the other options that take a
# value. An argument starting with "-" completes to an option name.
_portslot_tunnel()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    case $prev in
        --identity|--known-hosts)
            COMPREPLY=($(compgen -f -- "$cur"))
            return 0 ;;
        --interface)
            COMPREPLY=($(compgen -W "$(ls /sys/class/net 2>/dev/null)" -- "$cur"))
            return 0 ;;
        --client)
            COMPREPLY=($(compgen -W 'ssh dbclient' -- "$cur"))
            return 0 ;;
        --port-min|--port-max|--port-count|--forward|--ssh-port|--keepalive)
            return 0 ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--interface --port-min --port-max --port-count --forward --identity --known-hosts --ssh-port --client --keepalive --once --print --help --version' -- "$cur"))
    fi
    return 0
}
complete -o filenames -F _portslot_tunnel portslot-tunnel
