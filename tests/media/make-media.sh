#!/usr/bin/env bash
# Makes the test media with ffmpeg into the folder given (binaries are not
# committed). Deterministic where the tests compare exact values.
set -euo pipefail
out=${1:?usage: make-media.sh OUTPUT_DIR}
here=$(cd "$(dirname "$0")" && pwd)
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

# The codec matrix: both WMA codecs, 8 to 48 kHz, mono and stereo, low and
# high bitrates; matrix.txt lists each file with its length, rate and channels.
: > matrix.txt
while read -r codec rate channels bitrate; do
    name=m-$codec-$rate-$channels-$bitrate.wma
    tone "$name" 3 "$rate" "$channels" "$codec" "$bitrate"
    echo "$name 3 $rate $channels" >> matrix.txt
done <<'MATRIX'
wmav1 8000 1 24k
wmav2 8000 2 32k
wmav1 11025 2 32k
wmav2 16000 1 24k
wmav1 22050 2 48k
wmav2 22050 1 32k
wmav2 32000 2 64k
wmav1 44100 1 64k
wmav2 44100 2 192k
wmav1 48000 2 128k
wmav2 48000 1 48k
wmav2 48000 2 320k
MATRIX
tone long1800.wma 1800 22050 1 wmav2 32k

# Video first, then the audio (22,050 Hz mono): only the audio is the
# file's sound.
ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc=size=64x48:rate=5:duration=3" \
    -f lavfi -i "sine=frequency=440:beep_factor=4:duration=3:sample_rate=22050" \
    -map 0:v -map 1:a -c:v wmv2 -b:v 50k -c:a wmav2 -b:a 32k -ac 1 -f asf av.wma
echo "long1800.wma 1800 22050 1" >> matrix.txt

# One second of sound in two audio streams, 16 kHz and 8 kHz mono: Wine's
# runtime lists them in another order at each open.
ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=440:beep_factor=4:duration=1:sample_rate=16000" \
    -f lavfi -i "sine=frequency=660:beep_factor=4:duration=1:sample_rate=8000" \
    -map 0:a -map 1:a -ac 1 -c:a wmav2 -b:a 32k two-rates.wma

# Ten seconds of sound beside a video whose first two seconds are noise:
# its packets are all one size, but the first half of them holds about a
# second. make-header-variants.py cuts it at half its packets.
ffmpeg -nostdin -loglevel error -y -f lavfi -i "nullsrc=s=160x120:r=10:d=2,geq=random(1)*255:128:128" \
    -f lavfi -i "color=c=gray:s=160x120:r=10:d=8" \
    -f lavfi -i "sine=frequency=440:beep_factor=4:duration=10:sample_rate=22050" \
    -filter_complex "[0:v][1:v]concat=n=2:v=1:a=0[v]" -map "[v]" -map 2:a \
    -c:v wmv2 -q:v 2 -c:a wmav2 -b:a 32k -ac 1 -f asf vbr-like.wma

# Nine seconds of 8-bit PCM in objects of three seconds: ffmpeg stamps a
# packet with the time of its first payload, so the last packets say they
# are sent three seconds before the sound they carry ends.
ffmpeg -nostdin -loglevel error -y \
    -f lavfi -i "sine=frequency=440:beep_factor=4:duration=9:sample_rate=8000:samples_per_frame=24000" \
    -ac 1 -c:a pcm_u8 -f asf late-sound.wma

# Damaged and foreign inputs.
head -c "$(( $(stat -c %s stereo44.wma) / 2 ))" stereo44.wma > truncated.wma
: > empty.wma
python3 -c 'import random,sys; r=random.Random(7); sys.stdout.buffer.write(bytes(r.getrandbits(8) for _ in range(20000)))' > random.wma

ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=duration=1" -c:a pcm_s16le wave-named.wma
mkdir -p directory.wma
# A music video saved under .wma (no sound at all), and an MP3 named .wma.
ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc=size=64x48:rate=5:duration=3" -an -c:v wmv2 -b:v 50k \
    -f asf video-only.wma
ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=440:duration=3:sample_rate=44100" -ac 2 \
    -c:a libmp3lame -b:a 128k -f mp3 mp3-named.wma

# Three minutes, for the information query's bench.
tone long180.wma 180 44100 2 wmav2 128k -metadata title="Three Minutes" -metadata artist="Vivu"

"$here/make-tagged-media.sh" "$out"
