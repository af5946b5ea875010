#!/usr/bin/env bash
# Times portslot-audit on a generated inventory (default 1,000,000 devices):
# the median wall time and peak resident memory of five runs, with and
# without --all. It reports, it does not judge.
#   audit_bench.sh PORTSLOT_AUDIT [DEVICES]
set -euo pipefail
audit=$1 devices=${2:-1000000}
here=$(dirname "$0")
inventory=$(mktemp)
trap 'rm -f "$inventory"' EXIT
"$here/make_inventory.sh" "$devices" >"$inventory"

measure() { # prints "median_seconds max_kib" over five runs
  for _ in 1 2 3 4 5; do
    /usr/bin/time -f '%e %M' "$audit" "$@" "$inventory" 2>&1 >/dev/null | tail -n 1
  done | sort -n | awk 'NR == 3 { s = $1 } { if ($2 > m) m = $2 } END { print s, m }'
}

echo "portslot-audit on $devices devices ($(wc -c <"$inventory") bytes), $(nproc) cores"
echo
echo "| run | median wall time (s) | peak resident memory (MiB) |"
echo "|---|---|---|"
for opts in "" "--all" "--port-min 10000 --port-max 65535"; do
  read -r seconds kib <<<"$(measure $opts)"
  echo "| portslot-audit ${opts:+$opts }FILE | $seconds | $((kib / 1024)) |"
done
