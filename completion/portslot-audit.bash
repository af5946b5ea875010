# bash completion for portslot-audit
# A number, a field or a byte follows the options that take a value, so
# nothing is offered after one; an argument starting with "-" completes to an
# option name, and anything else to a file name (the inventories).
_portslot_audit()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    case $prev in
        --port-min|--port-max|--port-count|--port|--field|--delimiter|--drop-column|--authorized-keys|--alias-field|--ssh-port-num|--jump|--alias-domain|--overflow|--server|--jump-user|--host-key-field|--known-hosts-file|--keys-seen)
            return 0 ;;
        --sockets|--metrics)
            COMPREPLY=($(compgen -f -- "$cur"))
            return 0 ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--port-min --port-max --port-count --all --suggest --port --field --delimiter --csv --drop-column --keep-last --json --listening --sockets --metrics --identify --identify-all --keys-seen --learn --ssh-config --alias-field --ssh-port-num --jump --alias-domain --authorized-keys --known-hosts --host-key-field --known-hosts-file --place --overflow --server --jump-user --help --version' -- "$cur"))
        return 0
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
    return 0
}
complete -o filenames -F _portslot_audit portslot-audit
