#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test, then
# builds the test programs that run several threads with ThreadSanitizer and runs them again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

echo "== format check"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | grep -v '^./build')
clang-format --dry-run --Werror $files

echo "== build (sanitizers)"
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTUNORA_SANITIZE=ON -DTUNORA_BUILD_APP=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build "$build" -j "$(nproc)"

echo "== tests"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300

echo "== build (thread sanitizer)"
tsan=build/tsan
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTUNORA_SANITIZE_THREAD=ON -DTUNORA_BUILD_APP=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
# The test programs labelled "threaded" (tests/CMakeLists.txt), and what they start.
threaded=$(sed -n '/^set(TUNORA_THREADED_TESTS/,/)/p' tests/CMakeLists.txt |
  tr -d '()' | tr ' ' '\n' | grep '^test_')
cmake --build "$tsan" -j "$(nproc)" --target $threaded tunora viadab_sim mpglib lame_enc vorb_enc

echo "== threaded tests (thread sanitizer)"
# Test programs start players and the recode child with fork and exec.
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp:halt_on_error=1:exitcode=66:die_after_fork=0:second_deadlock_stack=1"
ctest --test-dir "$tsan" --output-on-failure -j "$(nproc)" --timeout 600 -L threaded

echo "== fuzzing (each parser's harness for 20 s, after replaying its corpus)"
bash scripts/fuzz.sh all 20
