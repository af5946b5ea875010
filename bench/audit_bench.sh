#!/usr/bin/env bash
# Measures portslot-audit on generated inventories of 100,000, 1,000,000 and
# 10,000,000 devices (or the sizes given), with and without --all, from a
# file given by name and from a pipe: instructions (callgrind, up to 1,000,000
# lines, as it runs some fifty times slower), median wall time of three runs,
# and peak resident memory against the file's size. It reports, it does not
# judge.
#   audit_bench.sh PORTSLOT_AUDIT [DEVICES...]
set -euo pipefail
audit=$1
shift
sizes=("$@")
[ "${#sizes[@]}" -gt 0 ] || sizes=(100000 1000000 10000000)
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

instructions() { # $1: file or "pipe:FILE"; then options
  local input=$1
  shift
  if [[ $input == pipe:* ]]; then
    cat "${input#pipe:}" | valgrind --tool=callgrind --callgrind-out-file=/dev/null "$audit" "$@" 2>&1 >/dev/null
  else
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$audit" "$@" "$input" 2>&1 >/dev/null
  fi | sed -n 's/.*Collected : *//p' || true # the audit's status says nothing here
}

time_and_memory() { # prints "median_seconds max_kib" over three runs
  local input=$1
  shift
  for _ in 1 2 3; do
    if [[ $input == pipe:* ]]; then
      cat "${input#pipe:}" | /usr/bin/time -f '%e %M' "$audit" "$@" 2>&1 >/dev/null | tail -n 1 || true
    else
      /usr/bin/time -f '%e %M' "$audit" "$@" "$input" 2>&1 >/dev/null | tail -n 1 || true
    fi
  done | grep -E '^[0-9.]+ [0-9]+$' | sort -n | awk 'NR == 2 { s = $1 } { if ($2 > m) m = $2 } END { print s, m }'
}

echo "portslot-audit: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"
echo
echo "| devices | file size (MB) | run | instructions | median wall time (s) | peak memory (MiB) | memory / file size |"
echo "|---|---|---|---|---|---|---|"
for devices in "${sizes[@]}"; do
  inventory="$work/inventory-$devices"
  "$here/make_inventory.sh" "$devices" >"$inventory"
  bytes=$(stat -c %s "$inventory")
  for input in file pipe; do
    for opts in "" "--all"; do
      source=$inventory
      [ "$input" = pipe ] && source="pipe:$inventory"
      ir="-"
      [ "$devices" -le 1000000 ] && ir=$(instructions "$source" $opts)
      read -r seconds kib <<<"$(time_and_memory "$source" $opts)"
      label="portslot-audit ${opts:+$opts }$([ "$input" = pipe ] && echo "< pipe" || echo FILE)"
      awk -v d="$devices" -v b="$bytes" -v l="$label" -v i="$ir" -v s="$seconds" -v k="$kib" 'BEGIN {
        printf "| %d | %.1f | %s | %s | %s | %.0f | %.2f |\n", d, b / 1e6, l, i, s, k / 1024, k * 1024 / b }'
    done
  done
  rm -f "$inventory"
done

echo
echo "| --suggest over --port-min 40000 to 65535 | median wall time (s) | peak memory (MiB) | range found | devices sharing |"
echo "|---|---|---|---|---|"
for devices in 300 100000; do
  inventory="$work/fleet-$devices"
  "$here/make_inventory.sh" "$devices" >"$inventory"
  read -r seconds kib <<<"$(time_and_memory "$inventory" --suggest)"
  result=$("$audit" --suggest "$inventory" 2>/dev/null || true)
  range=$(head -n 1 <<<"$result")
  sharing=$(grep -E '^[0-9]+ devices?,' <<<"$result" | sed -E 's/.* shared by ([0-9]+) devices?/\1/')
  echo "| $devices devices | $seconds | $((kib / 1024)) | \`$range\` | $sharing |"
done

echo
echo "| --suggest, hard cases | median wall time (s) | peak memory (MiB) | range found | devices sharing |"
echo "|---|---|---|---|---|"
printf 'aa:bb:cc:00:00:01 a\n11:22:33:00:00:01 b\n' >"$work/equal-keys"
"$here/make_inventory.sh" 100000 >"$work/fleet-100000"
suggest_row() { # $1: label, $2: inventory, then options
  local label=$1 inventory=$2
  shift 2
  read -r seconds kib <<<"$(time_and_memory "$inventory" --suggest "$@")"
  result=$("$audit" --suggest "$@" "$inventory" 2>/dev/null || true)
  range=$(head -n 1 <<<"$result")
  sharing=$(grep -E '^[0-9]+ devices?,' <<<"$result" | sed -E 's/.* shared by ([0-9]+) devices?/\1/')
  echo "| $label | $seconds | $((kib / 1024)) | \`$range\` | $sharing |"
}
suggest_row "2 devices, one key, --port-min 0 --port-max 2147483647 --port-count 1" "$work/equal-keys" \
  --port-min 0 --port-max 2147483647 --port-count 1
suggest_row "100000 devices, --port-min 1024 --port-count 1" "$work/fleet-100000" --port-min 1024 --port-count 1
