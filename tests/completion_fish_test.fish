# Checks what the fish completions offer, asked of a real fish.
# Usage: fish completion_fish_test.fish COMPLETION_DIR
set dir $argv[1]
source $dir/portslot.fish
source $dir/portslot-audit.fish
source $dir/portslot-tunnel.fish
cd (mktemp -d)
touch fleet.txt
set failures 0
# expect LINE WANTED...: the candidates for LINE, without their descriptions.
function expect
    set got (complete -C $argv[1] | string replace -r '\t.*' '')
    if test "$got" != "$argv[2..-1]"
        echo "for '$argv[1]': got '$got', want '$argv[2..-1]'"
        set failures (math $failures + 1)
    end
end

expect "portslot --port-n" --port-num
expect "portslot --port-m" --port-max --port-min
expect "portslot --port-min " ""
expect "portslot fl" ""
expect "portslot-audit --js" --json
expect "portslot-audit --port" --port --port-count --port-max --port-min
expect "portslot-audit --field " ""
expect "portslot-audit fl" fleet.txt
expect "portslot-audit --csv fl" fleet.txt
expect "portslot-audit --sockets fl" fleet.txt
expect "portslot-tunnel --on" --once
expect "portslot-tunnel --client " dbclient ssh
expect "portslot-tunnel --known-hosts fl" fleet.txt
test $failures -eq 0; and echo "fish completion: all cases pass"
exit $failures
