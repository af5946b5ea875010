#!/usr/bin/env bash
# Measures --place: for fleets of random addresses and of vendor batches
# (runs of consecutive addresses), placed in 1024-65534 and below the
# kernel's ephemeral ports (1024-32767), how many devices still share a
# block (the placed inventory audited again), how many need a setting and
# how many are placed nowhere; then the time of --place on 100,000 devices
# with overflow ranges given, cut by --place itself and against --suggest;
# and the instructions of an audit of a placed inventory against the same
# inventory without its placement columns (callgrind). It reports, it does
# not judge.
#   placement.sh PORTSLOT_AUDIT
set -euo pipefail
audit=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fleet() { # $1: devices, $2: random|batches; writes mac,name
  awk -v n="$1" -v kind="$2" 'BEGIN {
      srand(20261210)
      print "mac,name"
      for (i = 0; i < n; i++) {
          if (kind == "random" || i % 500 == 0)
              base = int(rand() * 16777216)
          low = kind == "random" ? base : base + i % 500
          printf "02:%02x:%02x:%02x:%02x:%02x,dev%d\n", int(rand() * 256), int(rand() * 256),
                 int(low / 65536) % 256, int(low / 256) % 256, low % 256, i
      }
  }'
}

# "devices shared with_a_setting nowhere seconds" for one fleet.
place() { # $1: file, $2: min, $3: max, then --server options
  local file=$1 min=$2 max=$3
  shift 3
  local start end summary audited
  start=$(date +%s.%N)
  summary=$("$audit" --csv --place --port-min "$min" --port-max "$max" "$@" "$file" 2>&1 \
            >"$work/placed.csv" || true)
  end=$(date +%s.%N)
  audited=$("$audit" --csv "$work/placed.csv" 2>/dev/null || true)
  awk -v s="$summary" -v a="$audited" -v t="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" 'BEGIN {
      n = split(s, w, " "); devices = w[1]
      for (i = 1; i <= n; i++) {
          if (w[i] == "with") setting = w[i - 1]
          if (w[i] == "placed" && w[i + 1] ~ /^nowhere/) nowhere = w[i - 1]
      }
      m = split(a, v, " ")
      for (i = 1; i <= m; i++) if (v[i] == "shared" && v[i + 1] == "by") shared = v[i + 2]
      printf "%s %s %s %s %.2f\n", devices, shared, setting, nowhere, t
  }'
}

echo "Placement (portslot-audit --csv --place; shared: the placed inventory audited again)"
printf '| devices | addresses | bounds | servers | shared | with a setting | placed nowhere | seconds |\n'
printf '|---|---|---|---|---|---|---|---|\n'
for kind in random batches; do
  for n in 1000 3000 10000 20000; do
    fleet "$n" "$kind" >"$work/fleet.csv"
    for bounds in "1024 65534" "1024 32767"; do
      read -r min max <<<"$bounds"
      servers=(--server s1.example)
      [ "$n" -ge 10000 ] && servers+=(--server s2.example)
      [ "$n" -ge 20000 ] && [ "$max" -lt 65534 ] && servers+=(--server s3.example)
      read -r devices shared setting nowhere seconds \
        <<<"$(place "$work/fleet.csv" "$min" "$max" "${servers[@]}")"
      percent=$(awk -v a="$setting" -v b="$devices" 'BEGIN { printf "%.1f", 100 * a / b }')
      printf '| %s | %s | %s-%s | %s | %s | %s (%s %%) | %s | %s |\n' "$n" "$kind" "$min" "$max" \
        "$((${#servers[@]} / 2))" "$shared" "$setting" "$percent" "$nowhere" "$seconds"
    done
  done
done

echo
echo "100,000 random devices, 1024-65534, five servers"
fleet 100000 random >"$work/big.csv"
five=(--server s1 --server s2 --server s3 --server s4 --server s5)
timed() { /usr/bin/time -f '%e s, %M KiB' "$audit" "$@" 2>&1 >/dev/null | tail -n 1; }
echo "  --place --overflow (the fleet's range 1024-52427, four overflow ranges): $(timed --csv --place \
  --port-min 1024 --port-max 52427 --overflow 52428-60000 --overflow 60002-63000 \
  --overflow 63002-64500 --overflow 64502-65534 "${five[@]}" "$work/big.csv")"
echo "  --place, the bounds cut by --place:  $(timed --csv --place --port-min 1024 --port-max 65534 \
  "${five[@]}" "$work/big.csv")"
echo "  --suggest on the same fleet:         $(timed --csv --suggest --port-min 1024 --port-max 65534 \
  "$work/big.csv")"

echo
echo "Instructions of an audit of 100,000 devices, --csv --all in the fleet's range (callgrind)"
"$audit" --csv --place --port-min 1024 --port-max 65534 "${five[@]}" "$work/big.csv" \
  >"$work/big-placed.csv" 2>"$work/big-placed.err" || true
# Every run in the fleet's range that --place chose, as the placed inventory
# is audited (a device without a setting takes it; in another range, it
# would overlap the overflow ranges, and its record be refused).
read -r low high <<<"$(sed -n "s/.*in the fleet's range \([0-9]*\)-\([0-9]*\).*/\1 \2/p" "$work/big-placed.err")"
fleet_range=(--port-min "$low" --port-max "$high")
# The same records with the placement fields left empty (read, not placed),
# and with three columns of other names (carried, not read). Every run
# writes every row (--all), so that the runs differ in reading alone.
awk -F, 'NR == 1 { print; next } { print $1 "," $2 ",,," }' "$work/big-placed.csv" >"$work/big-empty.csv"
awk -F, 'NR == 1 { print "mac,name,a,b,c"; next } { print $0 }' "$work/big-placed.csv" >"$work/big-other.csv"
instructions() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$audit" "${fleet_range[@]}" "$@" 2>&1 >/dev/null |
                 sed -n 's/.*Collected : *//p' || true; }
plain=$(instructions --csv --all "$work/big.csv")
other=$(instructions --csv --all "$work/big-other.csv")
empty=$(instructions --csv --all "$work/big-empty.csv")
placed=$(instructions --csv --all "$work/big-placed.csv")
echo "  without placement columns:     $plain"
echo "  three other columns, unread:   $other ($(awk -v a="$other" -v b="$plain" 'BEGIN { printf "%.2f", a / b }') times)"
echo "  placement columns, empty:      $empty ($(awk -v a="$empty" -v b="$plain" 'BEGIN { printf "%.2f", a / b }') times)"
echo "  placed (five servers):         $placed ($(awk -v a="$placed" -v b="$plain" 'BEGIN { printf "%.2f", a / b }') times)"
