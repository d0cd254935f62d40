#!/usr/bin/env bash
# One thread against two, run in interleaved pairs so that a shared
# machine's load falls on both alike: the whole command (mcubes mesh,
# streamed from the file, welded, written) and the extraction alone (mcubes
# bench --volume, held in memory), each figure with the load average when it
# started.
# Usage: benchmarks/thread_pairs.sh MCUBES FILE:ISO [FILE:ISO ...]
#   e.g. mcubes sample wavelet --size 512 -o w.nrrd, then w.nrrd:160.5
set -euo pipefail
mcubes=$1
shift
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
load() { cut -d' ' -f1 /proc/loadavg; }
for pair in 1 2 3; do
  for volume in "$@"; do
    file=${volume%:*} iso=${volume##*:}
    for threads in 1 2; do
      before=$(load)
      /usr/bin/time -o "$out/time" -f '%e s wall, %U s user, %S s sys' \
        "$mcubes" mesh --volume "$file" --iso "$iso" --threads "$threads" -o "$out/mesh.stl" \
        >/dev/null 2>&1
      echo "pair $pair, mesh  $file, $threads thread(s): $(cat "$out/time"), load $before"
    done
    for threads in 1 2; do
      before=$(load)
      "$mcubes" bench --volume "$file" --iso "$iso" --threads "$threads" --frames 5 --json \
        2>/dev/null >"$out/bench.json"
      echo "pair $pair, bench $file, $threads thread(s): $(python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
print("%.1f ms median, %.1f ms fastest, %.1f ms processor" % (
    d["extract_us_median"] / 1e3, d["extract_us_min"] / 1e3, d["extract_cpu_us_median"] / 1e3))
' "$out/bench.json"), load $before"
    done
  done
done
