#!/usr/bin/env bash
# Makes WMA files with known tags into the folder given, each with ffprobe's
# view of it beside it (NAME.json), the independent witness the tagged-file
# tests compare with. Called by tests/media/make-media.sh, after stereo44.wma.
set -euo pipefail
out=${1:?usage: make-tagged-media.sh OUTPUT_DIR}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"

tagged() {  # tagged NAME SECONDS RATE CHANNELS BITRATE [ffmpeg options...]
    local name=$1 seconds=$2 rate=$3 channels=$4 bitrate=$5
    shift 5
    ffmpeg -nostdin -loglevel error -y \
        -f lavfi -i "sine=frequency=660:beep_factor=2:duration=$seconds:sample_rate=$rate" \
        -ac "$channels" -ar "$rate" -c:a wmav2 -b:a "$bitrate" "$@" "$name.wma"
    ffprobe -v error -show_format -show_streams -of json "$name.wma" > "$name.json"
}

# WM/Year is written under its own name: ffmpeg's "date" key would be stored
# as a descriptor named "date", which no player reads.
tagged tagged-latin 4 44100 2 128k \
    -metadata title="Café Überschall" -metadata artist="Müller" -metadata album="Sommernächte" \
    -metadata track=5 -metadata genre="Jazz" -metadata WM/Year=2001
tagged tagged-cyrillic 3 22050 1 32k \
    -metadata title="Привет мир" -metadata artist="Кино" -metadata album="Группа крови" \
    -metadata track=7 -metadata genre="Рок" -metadata WM/Year=1988
long_title=$(python3 -c 'print("".join("Long title %03d. " % i for i in range(20))[:300])')
tagged tagged-long 2 44100 2 64k \
    -metadata title="$long_title" -metadata artist="Vivu" -metadata album="Length" \
    -metadata track=12 -metadata genre="Test" -metadata WM/Year=2024

# The same tags behind a 2 MB picture, and damaged headers.
python3 "$here/make-header-variants.py" "$out"
ffprobe -v error -show_format -show_streams -of json tagged-picture.wma > tagged-picture.json
