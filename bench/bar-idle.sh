#!/bin/bash
# The bar's idle cost: starts the program on an X display (DISPLAY, default a private Xvfb on :97)
# in a throw-away configuration, plays the demo air's "Vale Classic", whose long label scrolls
# without end at the default speed, and reports the share of one core the process uses over
# SECONDS seconds (default 30) after a 10 s warm-up.
#
#   bench/bar-idle.sh [BIN_DIR]      (BIN_DIR: the build's bin folder, default build/release/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/release/bin}
seconds=${SECONDS_TO_MEASURE:-30}
work=$(mktemp -d)
cleanup() {
    [[ -n ${app:-} ]] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
    [[ -n ${xvfb:-} ]] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

if [[ -z ${DISPLAY:-} ]]; then
    Xvfb :97 -screen 0 1024x768x24 >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=:97
    sleep 1
fi
export TUNORA_USER_HIVE=$work/user.conf TUNORA_MACHINE_HIVE=$work/machine.conf
export TUNORA_CLASSES_HIVE=$work/classes.conf TUNORA_PROGRAM_DIR=$work/prog
export TUNORA_RUNTIME_DIR=$work/rt XDG_RUNTIME_DIR=$work/rt
mkdir -p "$work/prog" "$work/rt"
chmod 700 "$work/rt"
"$bin/tunora-register-receiver" "$bin/libviadab_sim.so" >/dev/null
printf '"$C2B1","0","220.352","Vale Classic","A","14"\r\n' >"$work/prog/Services.csv"

"$bin/tunora" PLAY '$C2B1' >/dev/null 2>&1 &
app=$!
sleep 10
ticks() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
sleep "$seconds"
t1=$(ticks)
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "bar idle cost: %.2f %% of one core over %d s\n", 100 * d / hz / s, s }'
