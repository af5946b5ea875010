#!/usr/bin/env bash
# Checks what the bash completion offers for a few command lines.
# Usage: completion_test.sh COMPLETION_FILE
set -u
source "$1"

failures=0
# expect "WORDS OF THE LINE" "EXPECTED REPLIES": the last word is being typed.
expect()
{
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _portslot
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

[ "$failures" -eq 0 ] && echo "completion: all cases pass"
exit "$failures"
