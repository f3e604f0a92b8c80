#!/bin/sh
# Runs public_media_test on the public WMA and ASF files beside the clone
# (../shared/public-media), with ffmpeg's decode of each as the witness of
# its length: "NAME HEADER_MS DECODED_MS", DECODED_MS -1 where ffmpeg does
# not decode the file whole, HEADER_MS -1 where the file is no ASF file
# (its length is then the runtime's to tell, not the plug-in's).
# Reports itself skipped (77) where the folder is absent: the files are
# other projects', and not in this repository.
#   public-media.sh SOURCE_DIR TEST_PROGRAM EMULATOR...
set -eu
folder=$1/../shared/public-media
if [ ! -d "$folder" ]; then
    echo "no public media at $folder: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for file in "$folder"/*.wma; do
    header=$(ffprobe -v quiet -show_entries format=format_name,duration -of csv=p=0 "$file" |
        awk -F, '$1 == "asf" {printf "%d", $2 * 1000}')
    format=$(ffprobe -v quiet -select_streams a:0 -show_entries stream=sample_rate,channels -of csv=p=0 "$file" || true)
    decoded=-1
    if ffmpeg -nostdin -v error -i "$file" -map 0:a:0 -f s16le -y "$work/pcm" 2>"$work/errors" &&
        [ ! -s "$work/errors" ] && [ -n "$format" ]; then
        decoded=$(($(stat -c %s "$work/pcm") * 1000 / (2 * ${format%%,*} * ${format##*,})))
    fi
    echo "$(basename "$file") ${header:--1} $decoded"
done >"$work/lengths.txt"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
source=$1 program=$2
shift 2
"$@" "$program" "$(winpath "$folder")" "$(winpath "$work/lengths.txt")" \
    "$(winpath "$source/tests/real/public-media-titles.txt")"
