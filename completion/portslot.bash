# bash completion for portslot
# Each of the four options takes a number next, so nothing is offered after
# one; elsewhere an argument starting with "-" completes to an option name,
# and anything else is the MAC address, which has nothing to complete.
_portslot()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    case $prev in
        --port-min|--port-max|--port-count|--port-num)
            return 0 ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--port-min --port-max --port-count --port-num' -- "$cur"))
    fi
    return 0
}
complete -F _portslot portslot
