#!/usr/bin/env bash
# Measures a run of portslot against the floor of any run, an empty C program
# built and linked the same way, and the cost of compute_port alone; prints
# the figures as a table. It reports, it does not judge.
#   run.sh BUILD_KIND PORTSLOT EMPTY_PROGRAM STARTUP_BENCH COMPUTE_PORT_BENCH [RUNS]
set -euo pipefail
kind=$1 portslot=$2 empty=$3 startup=$4 compute=$5 runs=${6:-2000}
args=(--port-num 1 aa:bb:cc:dd:ee:ff)

instructions() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
                 sed -n 's/.*Collected : *//p'; }
heap() { valgrind "$@" 2>&1 >/dev/null | sed -n 's/.*total heap usage: *//p'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

ir_tool=$(instructions "$portslot" "${args[@]}")
ir_empty=$(instructions "$empty")
timing=$("$startup" "$runs" "$portslot" "$empty" "${args[@]}")
read -r _ _ wall_tool _ rss_tool <<<"$(sed -n 1p <<<"$timing")"
read -r _ _ wall_empty _ rss_empty <<<"$(sed -n 2p <<<"$timing")"
ns_call=$("$compute" --benchmark_format=csv 2>/dev/null | awk -F, '/compute_port_varied/ { printf "%.1f", $3 }')

echo "portslot start-up, $kind build: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1)"
echo
echo "| measure | portslot | empty C program | ratio |"
echo "|---|---|---|---|"
echo "| instructions per run (callgrind) | $ir_tool | $ir_empty | $(ratio "$ir_tool" "$ir_empty") |"
echo "| wall time per run, median of $runs (µs) | $wall_tool | $wall_empty | $(ratio "$wall_tool" "$wall_empty") |"
echo "| peak resident memory (KiB) | $rss_tool | $rss_empty | $(ratio "$rss_tool" "$rss_empty") |"
echo
echo "heap, run that prints a port: $(heap "$portslot" "${args[@]}")"
echo "heap, run that prints the report: $(heap "$portslot" --port-num 3 aa:bb:cc:dd:ee:ff)"
echo "compute_port: $ns_call ns per call (varied MAC texts)"
if libraries=$(ldd "$portslot" 2>/dev/null); then
  echo "libraries: $(awk '{ print $1 }' <<<"$libraries" | tr '\n' ' ')"
else
  echo "libraries: none (statically linked)"
fi
