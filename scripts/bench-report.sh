#!/usr/bin/env bash
# Runs every benchmark in a build folder, showing each one's own output, then prints one
# table of every figure with its goal, what this run measured, and the peer measured in the
# same run.  Usage: bench-report.sh BUILD_FOLDER
set -uo pipefail
folder=${1:?usage: bench-report.sh BUILD_FOLDER}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=0
for b in "$folder"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  "$b" | tee -a "$log" || { echo "bench-report: $(basename "$b") failed" >&2; failed=1; }
done
echo
echo "| Figure | Goal | Measured | Peer in the same run | |"
echo "|---|---|---|---|---|"
grep '^@report|' "$log" | while IFS='|' read -r _ figure goal measured peer verdict; do
  echo "| $figure | $goal | $measured | $peer | $verdict |"
done
echo
echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end, $(date -u +%Y-%m-%dT%H:%MZ)"
exit $failed
