#!/usr/bin/env bash
# Measures a run of portslot against the floor of any run, an empty C program
# built and linked the same way, and the cost of compute_port alone; prints
# the figures as a table. Given a third program (the static glibc build, for
# the musl build), it is measured side by side in a column of its own. It
# reports, it does not judge.
#   run.sh BUILD_KIND PORTSLOT EMPTY_PROGRAM STARTUP_BENCH COMPUTE_PORT_BENCH RUNS [OTHER_PORTSLOT]
set -euo pipefail
kind=$1 portslot=$2 empty=$3 startup=$4 compute=$5 runs=${6:-2000} other=${7:-}
args=(--port-num 1 aa:bb:cc:dd:ee:ff)

instructions() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
                 sed -n 's/.*Collected : *//p'; }
heap() { valgrind "$@" 2>&1 >/dev/null | sed -n 's/.*total heap usage: *//p'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
stripped_size() { local t; t=$(mktemp); strip -o "$t" "$1"; stat -c %s "$t"; rm -f "$t"; }

programs=("$portslot" "$empty")
[ -n "$other" ] && programs+=("$other")
timing=$("$startup" "$runs" "${programs[@]}" -- "${args[@]}")
ir=() wall=() rss=() size=()
for i in "${!programs[@]}"; do
  if [ "$i" -eq 1 ]; then ir+=("$(instructions "$empty")"); else ir+=("$(instructions "${programs[$i]}" "${args[@]}")"); fi
  read -r _ _ w _ r <<<"$(sed -n "$((i + 1))p" <<<"$timing")"
  wall+=("$w") rss+=("$r") size+=("$(stripped_size "${programs[$i]}")")
done
ns_call=$("$compute" --benchmark_format=csv 2>/dev/null | awk -F, '/compute_port_varied/ { printf "%.1f", $3 }')

row() { # label, then the three (or two) values
  local label=$1; shift
  local line="| $label | $1 | $2 | $(ratio "$1" "$2") |"
  [ -n "$other" ] && line+=" $3 | $(ratio "$1" "$3") |"
  echo "$line"
}
echo "portslot start-up, $kind build: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"
echo
if [ -n "$other" ]; then
  echo "| measure | portslot | empty C program | ratio | static glibc portslot | ratio |"
  echo "|---|---|---|---|---|---|"
else
  echo "| measure | portslot | empty C program | ratio |"
  echo "|---|---|---|---|"
fi
row "instructions per run (callgrind)" "${ir[@]}"
row "wall time per run, median of $runs (µs)" "${wall[@]}"
row "peak resident memory (KiB)" "${rss[@]}"
row "size, stripped (bytes)" "${size[@]}"
echo
echo "heap, run that prints a port: $(heap "$portslot" "${args[@]}")"
echo "heap, run that prints the report: $(heap "$portslot" --port-num 3 aa:bb:cc:dd:ee:ff)"
echo "compute_port: $ns_call ns per call (varied MAC texts)"
if libraries=$(ldd "$portslot" 2>/dev/null); then
  echo "libraries: $(awk '{ print $1 }' <<<"$libraries" | tr '\n' ' ')"
else
  echo "libraries: none (statically linked)"
fi
