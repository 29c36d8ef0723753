#!/bin/sh
# Builds the benchmarks in Release and runs them, then prints each result with its ratio to the
# frame-copy baseline and to the one-recorder case of the same kind, all measured in this run;
# then the Ogg Vorbis recording cost (bench/vorbis-cost.sh). Environment: BUILD_DIR (default
# build/bench), JOBS (default 2), BENCH_ARGS (extra options for Google Benchmark, e.g.
# --benchmark_repetitions=3).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
jobs=${JOBS:-2}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTUNORA_BUILD_BENCH=ON -DTUNORA_BUILD_APP=OFF -DTUNORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target bench_receiver

json="$build/bench_receiver.json"
# shellcheck disable=SC2086
"$build/bin/bench_receiver" --benchmark_out="$json" --benchmark_out_format=json ${BENCH_ARGS:-}

python3 - "$json" <<'PY'
import json, sys

# CPU time: the machine is shared, and wall time counts other processes' turns too.
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("run_type", "iteration") == "iteration" and not b.get("error_occurred")]
scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
def ns(b):
    return b["cpu_time"] * scale[b["time_unit"]]

base = next((ns(b) for b in runs if b["name"].startswith("BM_MemcpyFrame")), None)
ones = {}
for b in runs:
    family, _, arg = b["name"].partition("/recorders:")
    if arg == "1":
        ones[family] = ns(b)

print()
print(f"{'benchmark':32} {'cpu ns/frame':>12} {'ns/frame/rec':>13} {'x memcpy':>9} {'x 1 rec':>8}")
for b in runs:
    family, _, arg = b["name"].partition("/recorders:")
    n = int(arg) if arg else 1
    t = ns(b)
    per = b.get("s_per_frame_per_recorder", t / n * 1e-9) * 1e9
    vs_base = f"{t / base:9.1f}" if base else f"{'-':>9}"
    vs_one = f"{t / ones[family]:8.1f}" if family in ones else f"{'-':>8}"
    print(f"{b['name']:32} {t:12.1f} {per:13.2f} {vs_base} {vs_one}")
PY

# The Ogg Vorbis recording cost against mpg123 | oggenc, on a Release build of the program
# (RELEASE_DIR, default build/release). SKIP_VORBIS_COST=1 leaves it out.
if [ "${SKIP_VORBIS_COST:-0}" != 1 ]; then
    release=${RELEASE_DIR:-$root/build/release}
    cmake -S "$root" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNORA_BUILD_TESTS=OFF \
        >/dev/null
    cmake --build "$release" -j "$jobs" --target tunora vorb_enc mpglib
    echo
    "$root/bench/vorbis-cost.sh" "$release/bin"
fi
