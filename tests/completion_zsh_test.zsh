# Checks what the zsh completions complete, typed into a real interactive
# zsh: each line is typed, then TAB, then a key that saves the edited line.
# Usage: zsh -f completion_zsh_test.zsh COMPLETION_DIR
zmodload zsh/zpty
dir=$1
work=$(mktemp -d)
cd $work && touch fleet.txt
zpty -b shell zsh -f -i
zpty -w shell "PS1='> '; fpath=($dir \$fpath); autoload -Uz compinit; compinit -u -d $work/dump
  save() { print -r -- \"[\$BUFFER]\" >$work/line }; zle -N save; bindkey '^T' save
  print ready >$work/ready"
for i in {1..400}; do [[ -s $work/ready ]] && break; sleep 0.05; done

failures=0
# expect TYPED COMPLETED: the line as TAB leaves it.
expect() {
  rm -f $work/line
  zpty -w -n shell "$1"$'\t\x14\x15'
  for i in {1..400}; do [[ -s $work/line ]] && break; sleep 0.05; done
  local got=$(<$work/line 2>/dev/null)
  if [[ $got != "[$2]" ]]; then
    print -r -- "for '$1': got '$got', want '[$2]'"
    ((failures++))
  fi
}

expect "portslot --port-n" "portslot --port-num "
expect "portslot aa:bb --port-c" "portslot aa:bb --port-count "
expect "portslot --port-m" "portslot --port-m"
expect "portslot fl" "portslot fl"
expect "portslot-audit --js" "portslot-audit --json "
expect "portslot-audit --sug" "portslot-audit --suggest "
expect "portslot-audit --deli" "portslot-audit --delimiter="
expect "portslot-audit fl" "portslot-audit fleet.txt "
expect "portslot-audit --all --port-count=4 fl" "portslot-audit --all --port-count=4 fleet.txt "
expect "portslot-audit --port-count fl" "portslot-audit --port-count fl"
expect "portslot-audit --socke" "portslot-audit --sockets="
expect "portslot-tunnel --kno" "portslot-tunnel --known-hosts="
expect "portslot-tunnel --client=db" "portslot-tunnel --client=dbclient "
zpty -d shell
rm -rf $work
((failures == 0)) && print "zsh completion: all cases pass"
exit $failures
