#!/usr/bin/env bash
# Figures of the real program: time from start to the first poll, resident
# memory after a minute, CPU time used during that idle minute (default poll of
# one second). Usage: bench/measure_program.sh [build-dir]   (a Release build)
set -euo pipefail
build=${1:-build-release}
dir=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$dir"' EXIT
cp "$build"/bin/quorvel "$build"/bin/*.conf "$build"/bin/*.lan "$dir"/
mkdir -p "$dir/home"
start=$(date +%s.%N)
QT_QPA_PLATFORM=offscreen HOME="$dir/home" XDG_RUNTIME_DIR="$dir/home" "$dir/quorvel" >/dev/null 2>&1 &
pid=$!
# The counter state is written right before the first reading of the interfaces.
while [ ! -e "$dir/traffic.cache.state" ]; do sleep 0.005; done
ready=$(date +%s.%N)
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
sleep 1
cpu0=$(cpu)
sleep 60
cpu1=$(cpu)
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
kill -TERM "$pid"; wait "$pid" || true
awk -v s="$start" -v r="$ready" -v c0="$cpu0" -v c1="$cpu1" -v t="$ticks" -v rss="$rss" 'BEGIN {
  printf "start to first poll: %.3f s\n", r - s
  printf "resident memory after a minute: %.1f MB\n", rss / 1024
  printf "CPU time during one idle minute: %.2f s\n", (c1 - c0) / t
}'
