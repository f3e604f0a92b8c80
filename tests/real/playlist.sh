#!/bin/sh
# Runs playlist_test as a player on a busy machine runs: pinned to one CPU
# that a busy loop of its own shares. The playlist: every public file beside
# the clone (../shared/public-media) and the suite's damaged, cut,
# zero-filled, header-only, sound-less and foreign files; the witnesses of
# the two files played over and over come from ffprobe and ffmpeg (see
# public-media.sh). Reports itself skipped (77) without the public files.
#   playlist.sh SOURCE_DIR MEDIA_DIR TEST_PROGRAM EMULATOR...
#   VIVU_UNPINNED=1 runs it unpinned, with no busy loop.
set -eu
folder=$1/../shared/public-media media=$2 program=$3
shift 3
if [ ! -d "$folder" ]; then
    echo "no public media at $folder: skipped"
    exit 77
fi
work=$(mktemp -d)
pin="taskset -c 1"
if [ -z "${VIVU_UNPINNED:-}" ]; then
    # Ends itself once this script is gone, however it ended.
    (while kill -0 $$ 2>/dev/null; do :; done) &
    busy=$!
    taskset -pc 1 $busy >/dev/null
else
    busy= pin=
fi
trap '[ -z "$busy" ] || kill $busy 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 143' INT TERM
winpath() { printf 'Z:%s\n' "$1" | tr / '\\'; }
# Nothing after the header object, as long as its own size says (bytes 16
# to 23); and downloads cut off inside their first data packet, each a file
# the runtime may wait on for ever.
header=$(od -An -tu8 -j16 -N8 "$media/long60.wma" | tr -d ' ')
for bytes in 0 50 200 400 800 1200 1600 2000 2400; do
    head -c $((header + bytes)) "$media/long60.wma" >"$work/cut-header-$bytes.wma"
done
for file in "$folder"/*.wma "$work"/cut-header-*.wma truncated empty random cut-3-packets cut-100-bytes zero-tail \
    shifted vbr-cut-half video-only mp3-named wave-named; do
    case $file in /*) winpath "$file" ;; *) winpath "$media/$file.wma" ;; esac
done >"$work/playlist.txt"
# "PATH RATE CHANNELS DECODED_MS HEADER_MS": ffmpeg's decode of a file may
# run on past the length its header gives, where a runtime ends it.
witness() {  # witness FILE RATE CHANNELS SECONDS
    ffmpeg -nostdin -v error -i "$1" -map 0:a:0 -f s16le -y "$work/pcm"
    printf '%s %s %s %s %s\n' "$(winpath "$1")" "$2" "$3" $(($(stat -c %s "$work/pcm") * 1000 / (2 * $2 * $3))) \
        "$(awk -v seconds="$4" 'BEGIN {printf "%d", seconds * 1000}')"
}
for file in "$folder/symos-maintst.wma" "$media/stereo44.wma"; do
    witness "$file" $(ffprobe -v quiet -select_streams a:0 -show_entries stream=sample_rate,channels,duration \
        -of csv=p=0 "$file" | tr , ' ')
done >"$work/witnesses.txt"
$pin "$@" "$program" "$(winpath "$work/playlist.txt")" "$(winpath "$work/witnesses.txt")"
