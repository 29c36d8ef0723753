#!/bin/bash
# The cost of reading ETI: cutting one 6144-byte ETI-NI frame out of a stream, parsing it and
# copying out one 128 kbit/s audio sub-channel, against copying the frame (memcpy) in the same
# program. Prints both times (median of 5 repetitions) and their ratio, for whole frames and
# for frames arriving in 4096-byte pieces, as a pipe from a live program delivers them.
#
#   bench/eti-read.sh [BUILD_DIR]   (default build/bench: a Release build with the benchmarks)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNORA_BUILD_BENCH=ON \
  -DTUNORA_BUILD_TESTS=OFF -DTUNORA_BUILD_APP=OFF >/dev/null
cmake --build "$build" --target bench_eti -j2 >/dev/null
"$build"/bin/bench_eti --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_format=json 2>/dev/null | python3 -c '
import json, sys
runs = {b["run_name"]: b["cpu_time"] for b in json.load(sys.stdin)["benchmarks"]
        if b.get("aggregate_name") == "median"}
copy = runs["BM_CopyFrame"]
print(f"copy a frame (memcpy 6144 B)           {copy:8.1f} ns  1.00x")
for name, label in (("BM_ReadAndDemultiplexFrame/6144", "read + demultiplex, whole frames"),
                    ("BM_ReadAndDemultiplexFrame/4096", "read + demultiplex, 4096 B pieces")):
    print(f"{label:38s} {runs[name]:8.1f} ns  {runs[name] / copy:.2f}x")
'
