#!/usr/bin/env bash
# The README's table of the release binaries in DIST (scripts/release): each
# one's size, and the instructions of one run: portslot on the worked
# example, portslot-audit on 100,000 generated devices. This machine's are
# counted by callgrind; foreign ones under qemu in single-step mode, one
# translation block per instruction executed.
#   bench/release_table.sh [DIST]
set -euo pipefail
dist=${1:-dist}
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/make_inventory.sh" 100000 >"$work/fleet"

count() { # EMULATOR PROGRAM ARGS...: instructions of one run
  local emulator=$1
  shift
  if [ -z "$emulator" ]; then
    # (The audit's status says whether devices share: nothing here.)
    { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null || true; } |
      sed -n 's/.*Collected : *//p'
  else
    "$emulator" -singlestep -d exec,nochain -D "$work/trace" "$@" >/dev/null || true
    grep -c '^Trace' "$work/trace"
  fi
}

echo "| file | architecture, C library | size (bytes) | instructions per run | counted by |"
echo "|---|---|---|---|---|"
for binary in "$dist"/portslot-[0-9]*-linux-* "$dist"/portslot-audit-*-linux-*; do
  name=$(basename "$binary")
  case $name in
    *-x86_64-*) emulator="" ;;
    *-armhf-*) emulator=qemu-arm ;;
    *-aarch64-*) emulator=qemu-aarch64 ;;
    *-mips-*) emulator=qemu-mips ;;
  esac
  target=${name#portslot-audit-}
  target=${target#portslot-}
  target=${target#*-}
  if [[ $name == portslot-audit-* ]]; then
    ir=$(count "$emulator" "$binary" "$work/fleet")
  else
    ir=$(count "$emulator" "$binary" --port-num 1 aa:bb:cc:dd:ee:ff)
  fi
  echo "| \`$name\` | $target | $(stat -c %s "$binary") | $ir | ${emulator:-callgrind} |"
done
