#!/bin/bash
# The cost of an Ogg Vorbis recording: Tunora's recode path (`tunora RECODE OGG`, the default
# nominal rate, 96 kbit/s for a 128 kbit/s broadcast) against `mpg123 -s | oggenc -b 96` on the
# same SECONDS_OF_AUDIO (default 600) of 128 kbit/s MPEG-1 Layer II. Prints the CPU seconds of
# each (median of RUNS, default 3, taken in alternating pairs), their ratio (goal: at most 1.1)
# and the average bit rate of both files (goal for Tunora's: within 10 % of 96 kbit/s).
#
#   bench/vorbis-cost.sh [BIN_DIR]   (BIN_DIR: tunora and the codec libraries, default
#                                     build/release/bin)
#
# The programme is synthetic but broadband like a broadcast: a sawtooth chord, a bass drum and
# noise-like hi-hats (a pure tone would need far less than the nominal rate).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/release/bin}
seconds=${SECONDS_OF_AUDIO:-600}
runs=${RUNS:-3}
nominal=96

if ! command -v oggenc >/dev/null; then
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
    $sudo apt-get install -y -qq --no-install-recommends vorbis-tools >/dev/null
fi
for tool in mpg123 oggenc ffmpeg ffprobe /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "vorbis-cost: $tool is missing" >&2; exit 1; }
done
[[ -x $bin/tunora ]] || { echo "vorbis-cost: no $bin/tunora" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 60 s of programme, looped; the hi-hats sit between the beats in the right channel.
left="0.12*(2*mod(110*t,1)-1)+0.08*(2*mod(138.6*t,1)-1)+0.08*(2*mod(164.8*t,1)-1)"
left+="+0.4*random(0)*exp(-30*mod(t,0.25))+0.4*sin(2*PI*55*t)*exp(-8*mod(t,0.5))"
right="0.12*(2*mod(110.5*t,1)-1)+0.08*(2*mod(220*t,1)-1)+0.08*(2*mod(329.6*t,1)-1)"
right+="+0.4*random(1)*exp(-30*mod(t+0.125,0.25))+0.4*sin(2*PI*55*t)*exp(-8*mod(t,0.5))"
ffmpeg -loglevel error -f lavfi -i "aevalsrc='$left|$right':s=48000:d=60" "$work/minute.wav"
ffmpeg -loglevel error -stream_loop -1 -i "$work/minute.wav" -t "$seconds" -c:a mp2 -b:a 128k \
    "$work/in.mp2"

# CPU seconds (user + system) of a shell command line, its children included.
cpu() {
    /usr/bin/time -f '%U %S' -o "$work/time" bash -c "$1"
    awk '{ printf "%.2f\n", $1 + $2 }' "$work/time"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
kbps() {
    ffprobe -v error -show_entries format=bit_rate -of csv=p=0 "$1" | awk '{ printf "%.1f", $1 / 1000 }'
}

: >"$work/tunora.cpu"
: >"$work/oggenc.cpu"
for ((i = 1; i <= runs; i++)); do
    cpu "'$bin/tunora' RECODE OGG <'$work/in.mp2' >'$work/tunora.ogg'" >>"$work/tunora.cpu"
    cpu "mpg123 -q -s '$work/in.mp2' | oggenc -Q -r -R 48000 -C 2 -B 16 -b $nominal -o '$work/oggenc.ogg' -" \
        >>"$work/oggenc.cpu"
done
t=$(median <"$work/tunora.cpu")
o=$(median <"$work/oggenc.cpu")
tk=$(kbps "$work/tunora.ogg")
ok=$(kbps "$work/oggenc.ogg")
echo "Ogg Vorbis recording of $seconds s of 128 kbit/s MP2, median of $runs runs:"
printf '  %-26s %8s CPU s  (runs: %s)\n' "tunora RECODE OGG" "$t" "$(paste -sd' ' "$work/tunora.cpu")"
printf '  %-26s %8s CPU s  (runs: %s)\n' "mpg123 -s | oggenc -b $nominal" "$o" \
    "$(paste -sd' ' "$work/oggenc.cpu")"
awk -v t="$t" -v o="$o" 'BEGIN { printf "  ratio %.2f (goal <= 1.10)\n", t / o }'
awk -v k="$tk" -v n="$nominal" -v ok="$ok" \
    'BEGIN { printf "  average rate: tunora %.1f kbit/s (%+.1f %% of %d; goal within 10 %%), oggenc %.1f kbit/s\n", k, 100 * (k - n) / n, n, ok }'
