#!/usr/bin/env bash
# Checks what the bash completions offer for a few command lines.
# Usage: completion_test.sh PORTSLOT_COMPLETION AUDIT_COMPLETION
set -u
source "$1"
source "$2"
source "$3"

failures=0
# expect "WORDS OF THE LINE" "EXPECTED REPLIES": the last word is being typed.
expect()
{
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    case ${COMP_WORDS[0]} in
        portslot) _portslot ;;
        portslot-audit) _portslot_audit ;;
        portslot-tunnel) _portslot_tunnel ;;
    esac
    if [ "${COMPREPLY[*]}" != "$2" ]; then
        echo "for '$1': got '${COMPREPLY[*]}', want '$2'"
        failures=$((failures + 1))
    fi
}

expect "portslot --port-c" "--port-count"
expect "portslot --port-m" "--port-min --port-max"
expect "portslot -" "--port-min --port-max --port-count --port-num"
expect "portslot --port-num " ""
expect "portslot --port-min -" ""
expect "portslot --port-num 1 aa:bb" ""
expect "portslot --port-num 1 -" "--port-min --port-max --port-count --port-num"

expect "portslot-audit --al" "--all --alias-field --alias-domain"
expect "portslot-audit --port-count " ""
expect "portslot-audit --port" "--port-min --port-max --port-count --port"
expect "portslot-audit --field " ""
expect "portslot-audit --csv --js" "--json"
expect "portslot-audit --k" "--keep-last --keys-seen --known-hosts --known-hosts-file"
expect "portslot-audit --dr" "--drop-column"
cd "$(mktemp -d)" && touch fleet.txt
expect "portslot-audit --all fl" "fleet.txt"
expect "portslot-audit --sockets fl" "fleet.txt"
expect "portslot-audit --authorized-keys " ""
expect "portslot-audit --li" "--listening"
expect "portslot-audit --pl" "--place"
expect "portslot-audit --metrics fl" "fleet.txt"
expect "portslot-audit --ssh" "--ssh-config --ssh-port-num"
expect "portslot-tunnel --o" "--once"
expect "portslot-tunnel --identity fl" "fleet.txt"
expect "portslot-tunnel --client d" "dbclient"
expect "portslot-tunnel --forward " ""
expect "portslot-tunnel --interface l" "lo"

[ "$failures" -eq 0 ] && echo "completion: all cases pass"
exit "$failures"
