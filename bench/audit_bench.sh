#!/usr/bin/env bash
# Measures portslot-audit on generated inventories of 100,000, 1,000,000 and
# 10,000,000 devices (or the sizes given), with and without --all, from a
# file given by name and from a pipe: instructions (callgrind, up to 1,000,000
# lines, as it runs some fifty times slower), median wall time of three runs,
# and peak resident memory against the file's size; --suggest; and the
# instructions of the 100,000 devices converted to a leases file and to CSV,
# and written as JSON and as ssh_config, and in CSV with host keys as
# ssh_config and known_hosts; and the metrics of 30,000 devices
# beside 30,000 sockets against the sockets alone. It reports, and judges one figure only: the plain run of
# 100,000 devices, in lower and upper case, against the README's (a rise of
# more than 10 % fails it).
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

# The same 100,000 devices in the other forms the audit reads, each against
# the plain run with the same listing (instructions, callgrind).
echo
echo "| 100000 devices as | run | instructions | against the plain run |"
echo "|---|---|---|---|"
plain="$work/fleet-100000"
awk -F'\t' '/^#/ { print; next } { printf "%d %s 10.%d.%d.%d %s\n", 1733580000 + NR, $1,
  NR % 256, int(NR / 256) % 256, NR % 251, $2 }' "$plain" >"$work/leases"
awk -F'\t' 'BEGIN { print "Name,MAC Address,Room" } /^#/ { next } {
  split($2, part, " room "); printf "\"%s, staff\",%s,\"room \"\"%s\"\"\"\n", part[1], $1, part[2] }' \
  "$plain" >"$work/fleet.csv"
form_row() { # $1: form, $2: inventory, $3: the plain run's options, then the form's
  local form=$1 inventory=$2 base=$3
  shift 3
  local ir plain_ir
  ir=$(instructions "$inventory" $base "$@")
  plain_ir=$(instructions "$plain" $base)
  awk -v f="$form" -v r="portslot-audit ${base:+$base }$*" -v i="$ir" -v p="$plain_ir" 'BEGIN {
    printf "| %s | %s | %d | %.2f × |\n", f, r, i, i / p }'
}
form_row "a leases file" "$work/leases" "" --field 2
form_row "a leases file" "$work/leases" "--all" --field 2
form_row "CSV, quoted" "$work/fleet.csv" "" --csv
form_row "CSV, quoted" "$work/fleet.csv" "--all" --csv
form_row "the plain file" "$plain" "" --json
form_row "the plain file" "$plain" "--all" --json
form_row "CSV, quoted" "$work/fleet.csv" "--all" --csv --json

# Beside a server's sockets: 30,000 of them, a third listening (ports the
# devices hold among them), as /proc/net/tcp and tcp6 give them and as
# ss -Hltn does.
awk -v ss="$work/ss" 'BEGIN {
  print "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode"
  for (i = 0; i < 30000; i++) {
    port = 10000 + (i * 7) % 50000
    listening = i % 3 == 0
    printf "%4d: 0100007F:%04X 0A00020F:%04X %s 00000000:00000000 00:00000000 00000000  1000        0 %d 1 0000000000000000 20 4 30 10 -1\n",
      i, port, 1024 + i % 60000, listening ? "0A" : "01", 100000 + i
    if (listening)
      printf "LISTEN 0      4096       127.0.0.1:%d      0.0.0.0:*\n", port >ss
  }
}' >"$work/tcp"
form_row "the plain file, 30,000 sockets of /proc/net/tcp" "$plain" "--all" --sockets "$work/tcp"
form_row "the plain file, 10,000 listening of ss -Hltn" "$plain" "--all" --sockets "$work/ss"
form_row "the plain file, 30,000 sockets of /proc/net/tcp" "$plain" "--all" --sockets "$work/tcp" --json
form_row "the plain file, as ssh_config" "$plain" "" --ssh-config

# The administrator's files from host keys: the same 100,000 devices in CSV
# with an Ed25519 host key each (68 base64 digits, their first 25 the
# type's and the key's size, the 26th of 16 values), against --ssh-config
# of the same CSV without the column.
awk -F'\t' 'BEGIN { srand(20261210); print "mac,name,host_key"
  digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/" }
  /^#/ { next } {
  key = "AAAAC3NzaC1lZDI1NTE5AAAAI" substr(digits, 1 + int(rand() * 16), 1)
  for (i = 0; i < 42; i++) key = key substr(digits, 1 + int(rand() * 64), 1)
  split($2, part, " "); printf "%s,%s,ssh-ed25519 %s\n", $1, part[1], key }' "$plain" >"$work/hosts.csv"
cut -d, -f1,2 "$work/hosts.csv" >"$work/no-hosts.csv"
without_ir=$(instructions "$work/no-hosts.csv" --csv --ssh-config)
echo
echo "| 100000 devices in CSV, mac,name[,host_key] | instructions | against --ssh-config without host keys |"
echo "|---|---|---|"
for run in "--ssh-config no-hosts.csv" "--ssh-config hosts.csv" "--known-hosts hosts.csv"; do
  set -- $run
  ir=$(instructions "$work/$2" --csv "$1")
  awk -v r="portslot-audit --csv $1 $2" -v i="$ir" -v w="$without_ir" 'BEGIN {
    printf "| %s | %d | %.2f × |\n", r, i, i / w }'
done

# The live view for a collector: 30,000 devices beside 30,000 sockets, with
# and without the metrics file.
"$here/make_inventory.sh" 30000 >"$work/fleet-30000"
sockets_ir=$(instructions "$work/fleet-30000" --sockets "$work/tcp")
metrics_ir=$(instructions "$work/fleet-30000" --sockets "$work/tcp" --metrics "$work/fleet.prom")
echo
echo "| 30000 devices, 30,000 sockets of /proc/net/tcp | instructions | against --sockets alone |"
echo "|---|---|---|"
awk -v s="$sockets_ir" -v m="$metrics_ir" 'BEGIN {
  printf "| portslot-audit --sockets FILE | %d | 1.00 × |\n", s
  printf "| portslot-audit --sockets FILE --metrics FILE | %d | %.2f × |\n", m, m / s }'

# The cost gate: the plain run of 100,000 devices, written in lower case and
# in upper case (which the fast reading of usual addresses must take too),
# against the README's figure; more than 10 % above it fails the benchmark.
readme_ir=$(awk -F' *\\| *' '$2 == "100000" && $4 == "portslot-audit FILE" { print $5; exit }' "$here/../README.md")
tr 'a-f' 'A-F' <"$plain" >"$work/fleet-upper"
echo
echo "| cost gate: 100000 devices, plain run | instructions | against the README's $readme_ir |"
echo "|---|---|---|"
gate=0
for form in lower upper; do
  inventory=$plain
  [ "$form" = upper ] && inventory=$work/fleet-upper
  ir=$(instructions "$inventory")
  echo "| addresses in $form case | $ir | $(awk -v i="$ir" -v r="$readme_ir" 'BEGIN { printf "%.3f ×", i / r }') |"
  awk -v i="$ir" -v r="$readme_ir" 'BEGIN { exit !(i > 1.1 * r) }' && gate=1
done
if [ "$gate" = 1 ]; then
  echo "FAILED: the plain run costs more than 10 % above the README's figure" >&2
  exit 1
fi
