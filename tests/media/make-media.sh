#!/usr/bin/env bash
# Makes the test media with ffmpeg into the folder given (binaries are not
# committed). Deterministic where the tests compare exact values.
set -euo pipefail
out=${1:?usage: make-media.sh OUTPUT_DIR}
mkdir -p "$out"
cd "$out"

tone() {  # tone NAME SECONDS RATE CHANNELS CODEC BITRATE [ffmpeg options...]
    local name=$1 seconds=$2 rate=$3 channels=$4 codec=$5 bitrate=$6
    shift 6
    ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=440:beep_factor=4:duration=$seconds:sample_rate=$rate" \
        -ac "$channels" -ar "$rate" -c:a "$codec" -b:a "$bitrate" "$@" "$name"
}

tone stereo44.wma 5 44100 2 wmav2 128k -metadata title="Stereo Test" -metadata artist="Vivu"
tone mono22.wma 5 22050 1 wmav2 32k
tone long60.wma 60 44100 2 wmav2 128k

# Damaged and foreign inputs.
head -c "$(( $(stat -c %s stereo44.wma) / 2 ))" stereo44.wma > truncated.wma
: > empty.wma
python3 -c 'import random,sys; r=random.Random(7); sys.stdout.buffer.write(bytes(r.getrandbits(8) for _ in range(20000)))' > random.wma

if [ -x "$(dirname "$0")/../../tools/wine-bridge/make-tagged-media.sh" ]; then
    "$(dirname "$0")/../../tools/wine-bridge/make-tagged-media.sh" "$out"
fi
