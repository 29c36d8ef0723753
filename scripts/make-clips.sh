#!/bin/bash
# Makes the two spoken notices the HTTP server sends instead of a stream: NOTSAFE ("cannot switch
# to this service now", 18432 bytes) and UNAVAILABLE ("this service is not available", 10240
# bytes), as MPEG-2 Layer III, 16 kHz, mono, 24 kbit/s, each beginning with an ID3v2.3 tag.
#
#   scripts/make-clips.sh
#
# At 24 kbit/s and 16 kHz every frame is exactly 108 bytes (no padding slot), so a clip is a
# whole number of frames after the tag. The speech is followed by silence, the encoding is cut
# to the frame count that leaves room for a small tag, and the tag's zero padding makes up the
# exact size. Needs espeak-ng, lame and python3; ffprobe checks the result.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT_DIR=$ROOT/resources/RCDATA
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$OUT_DIR"

FRAME=108
MIN_TAG=512

make_clip() {
    local name=$1 size=$2 text=$3
    local frames=$(((size - MIN_TAG) / FRAME))
    local seconds=$(((frames * 576 + 15999) / 16000 + 2))

    espeak-ng -v en -s 150 -w "$WORK/$name-speech.wav" "$text"
    # Room to spare: lame needs whole frames past the cut.
    pad_with_silence "$WORK/$name-speech.wav" "$WORK/$name.wav" "$seconds"
    lame --quiet -t --cbr -b 24 -m m --resample 16 "$WORK/$name.wav" "$WORK/$name.raw.mp3"

    python3 - "$WORK/$name.raw.mp3" "$OUT_DIR/$name.mp3" "$frames" "$size" "$text" <<'EOF'
import struct, sys

source, target, frames, size, title = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
data = open(source, "rb").read()
# lame wrote no tag (-t, no tag options): the file starts at a frame.
assert data[0] == 0xFF and (data[1] & 0xE0) == 0xE0, "no frame at the start"
audio = data[: frames * 108]
assert len(audio) == frames * 108, "too few frames"
# Every cut must fall on a frame header: MPEG-2 (ID 0), Layer III, 24 kbit/s, 16 kHz, no padding.
for i in range(frames):
    h = audio[i * 108 : i * 108 + 4]
    assert h[0] == 0xFF and h[1] in (0xF2, 0xF3) and h[2] & 0xFE == 0x38 and h[3] & 0xC0 == 0xC0, (i, h.hex())

def frame(ident, text):
    body = b"\x00" + text.encode("latin-1")  # encoding byte 0: ISO-8859-1
    return ident + struct.pack(">I", len(body)) + b"\x00\x00" + body

frames_data = frame(b"TIT2", title) + frame(b"TPE1", "Tunora") + frame(b"TCON", "(101)Speech")
tag_size = size - len(audio)
padding = tag_size - 10 - len(frames_data)
assert padding >= 0, "tag too large"
body = frames_data + b"\x00" * padding
n = len(body)
syncsafe = bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
with open(target, "wb") as f:
    f.write(b"ID3\x03\x00\x00" + syncsafe + body + audio)
EOF
    local actual
    actual=$(stat -c %s "$OUT_DIR/$name.mp3")
    [[ $actual == "$size" ]] || { echo "$name: $actual bytes, not $size" >&2; exit 1; }
    if command -v ffprobe >/dev/null; then
        ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bit_rate \
            -show_entries format=duration -of compact "$OUT_DIR/$name.mp3"
    fi
}

# Appends silence to a WAV file (any rate, 16-bit mono, as espeak-ng writes it) so that it lasts
# at least `seconds`.
pad_with_silence() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys, wave
source, target, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
with wave.open(source, "rb") as w:
    params = w.getparams()
    samples = w.readframes(params.nframes)
need = params.framerate * seconds * params.sampwidth * params.nchannels
samples += b"\x00" * max(0, need - len(samples))
with wave.open(target, "wb") as w:
    w.setparams(params)
    w.writeframes(samples)
EOF
}

make_clip NOTSAFE 18432 "Sorry, I cannot switch to this service now."
make_clip UNAVAILABLE 10240 "Sorry, this service is not available."
