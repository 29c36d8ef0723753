#!/usr/bin/env bash
# Builds the libFuzzer harnesses (tests/fuzz) with clang and runs one or all of them.
#   scripts/fuzz.sh [HARNESS|all] [SECONDS]     default: all, 20 s each
# Each run starts from the checked-in corpus (tests/fuzz/corpus/HARNESS) and keeps what it adds
# in build/fuzz/corpus; a fault leaves its input in build/fuzz/findings and fails the script.
# Replaying the checked-in corpora alone: ctest --test-dir build/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."

which=${1:-all}
seconds=${2:-20}
build=build/fuzz
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DTUNORA_FUZZ=ON -DTUNORA_BUILD_TESTS=OFF -DTUNORA_BUILD_APP=OFF \
  "${launcher[@]}" >/dev/null

if [ "$which" = all ]; then
  harnesses=$(cd tests/fuzz && ls ./*.cpp | sed 's|^\./||; s|\.cpp$||')
  cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target fuzz_all
else
  harnesses=$which
  cmake --build "$build" -j "${FUZZ_JOBS:-2}" --target "fuzz_$which"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The table and settings harnesses rewrite files on every input; in memory, syncs cost nothing.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
# The corpora alone first: a finding kept as an input that fails again is a regression.
if [ "$which" = all ]; then
  ctest --test-dir "$build" --output-on-failure --timeout 120
else
  ctest --test-dir "$build" --output-on-failure --timeout 120 -R "^fuzz_corpus_$which\$"
fi

failed=""
for h in $harnesses; do
  echo "== fuzz $h (${seconds} s)"
  mkdir -p "$build/corpus/$h" "$build/findings"
  status=0
  "$build/bin/fuzz_$h" "$build/corpus/$h" "tests/fuzz/corpus/$h" -max_total_time="$seconds" \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$build/findings/$h-" \
    >"$build/fuzz_$h.log" 2>&1 || status=$?
  grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse) ' "$build/fuzz_$h.log" | tail -n 40
  [ "$status" -eq 0 ] || failed="$failed $h"
done
if [ -n "$failed" ]; then
  echo "fuzzing found faults in:$failed (inputs in $build/findings)"
  exit 1
fi
