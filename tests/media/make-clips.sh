#!/usr/bin/env bash
# Makes the capture tests' clips: make-clips.sh OUTDIR [--bench]
#
# Every clip is time-coded: nine 1-second segments of distinct solid colours
# (the palette below, which the tests share), with a small moving mark in the
# top-left corner so encoders and decoders can't collapse a segment into one
# frame. A grabbed frame's colour therefore tells where it was taken: 0 s is
# segment 0, the middle (4.5 s) segment 4, the end segment 8. Keyframes fall on
# every segment start, so a seek that snaps back to a keyframe still lands in
# the right segment.
#
# Clips that already exist are kept, so reruns cost nothing. --bench also
# makes the 1080p clip, which only the benchmark uses.
set -euo pipefail

out=${1:?usage: make-clips.sh OUTDIR [--bench]}
bench=${2:-}
mkdir -p "$out"

# Clips made by another version of this script may differ from what the tests
# now expect: start afresh when the recipe changed.
recipe=$(sha1sum "$0" | cut -d' ' -f1)
if [ "$(cat "$out/.recipe" 2>/dev/null)" != "$recipe" ]; then
    find "$out" -mindepth 1 -delete
    echo "$recipe" >"$out/.recipe"
fi

# Segment colours, in order. The tests' palette (tests/win/support/clips.h)
# must match.
colours=(0xFF0000 0x00FF00 0x0000FF 0xFFFF00 0x00FFFF 0xFF00FF 0xFFFFFF 0x808080 0xFF8000)
segments=${#colours[@]}
fps=25

made=0
# A clip is written to a temporary name first, so an interrupted run never
# leaves a half-written clip that a rerun would take for done.
have() { [ -e "$out/$1" ]; }
finish() { mv -f "$out/.tmp-$1" "$out/$1"; made=$((made + 1)); }

# The filter graph of the time-coded picture at WIDTHxHEIGHT.
timecoded() {
    local size=$1 graph="" inputs="" i
    for i in "${!colours[@]}"; do
        graph+="color=c=${colours[$i]}:s=$size:r=$fps:d=1[c$i];"
        inputs+="[c$i]"
    done
    graph+="${inputs}concat=n=$segments:v=1:a=0[bg];"
    graph+="color=c=0x202020:s=8x8:r=$fps[mark];"
    # The overlay works in even sizes; the last scale restores an odd one.
    graph+="[bg][mark]overlay=x='mod(n*2,64)':y=0:eval=frame:shortest=1,scale=${size/x/:},setsar=1[v]"
    echo "$graph"
}

# video NAME SIZE FORMAT -- CODEC OPTIONS...
video() {
    local name=$1 size=$2 format=$3
    shift 4
    have "$name" && return 0
    ffmpeg -nostdin -hide_banner -loglevel error -y -filter_complex "$(timecoded "$size")" \
        -map '[v]' -g $fps "$@" -f "$format" "$out/.tmp-$name"
    finish "$name"
}

# with_audio NAME SIZE FORMAT AUDIO-FIRST -- VIDEO/AUDIO OPTIONS...: the clip
# with a tone beside the picture, the audio stream first when asked.
with_audio() {
    local name=$1 size=$2 format=$3 audioFirst=$4
    shift 5
    have "$name" && return 0
    local maps=(-map '[v]' -map '[a]')
    [ "$audioFirst" = 1 ] && maps=(-map '[a]' -map '[v]')
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -filter_complex "$(timecoded "$size");sine=f=440:d=$segments[a]" \
        "${maps[@]}" -g $fps "$@" -f "$format" "$out/.tmp-$name"
    finish "$name"
}

x264=(-c:v libx264 -preset veryfast -pix_fmt yuv420p -bf 0)
small=160x120

# One clip for each container and codec behind the associated extensions.
video h264.mp4 $small mp4 -- "${x264[@]}"
video mjpeg.avi $small avi -- -c:v mjpeg -q:v 3 -pix_fmt yuvj420p
video mpeg4.avi $small avi -- -c:v mpeg4 -q:v 3 -vtag XVID
video h264.mkv $small matroska -- "${x264[@]}"
video h264.mov $small mov -- "${x264[@]}"
video flv1.flv $small flv -- -c:v flv -q:v 3
video wmv2.wmv $small asf -- -c:v wmv2 -q:v 3
video wmv2.asf $small asf -- -c:v wmv2 -q:v 3
video mpeg1.mpg $small mpeg -- -c:v mpeg1video -q:v 3
video mpeg2.mpeg $small vob -- -c:v mpeg2video -q:v 3
video mpeg1.mpe $small mpeg -- -c:v mpeg1video -q:v 3
video mpeg1.m1v $small mpeg1video -- -c:v mpeg1video -q:v 3
video mpeg2.m2v $small mpeg2video -- -c:v mpeg2video -q:v 3
video mpeg2.mpv2 $small mpeg2video -- -c:v mpeg2video -q:v 3

# Shapes: portrait, a width whose RGB rows need padding to 4 bytes, an odd
# width (4:4:4 MJPEG, which needs no even size), and the smallest frame 4:2:0
# allows, a single chroma sample.
video portrait.mp4 240x320 mp4 -- "${x264[@]}"
video padded.mp4 322x242 mp4 -- "${x264[@]}"
video odd.avi 161x121 avi -- -c:v mjpeg -q:v 3 -pix_fmt yuvj444p
video tiny.mp4 2x2 mp4 -- "${x264[@]}"

# Audio first, video second: a splitter with demuxed pins (ASF) and one behind
# a byte-stream source (Matroska).
with_audio audiofirst.wmv $small asf 1 -- -c:v wmv2 -q:v 3 -c:a wmav2
with_audio audiofirst.mkv $small matroska 1 -- "${x264[@]}" -c:a mp2
with_audio withaudio.avi $small avi 0 -- -c:v mjpeg -q:v 3 -pix_fmt yuvj420p -c:a pcm_s16le

# Time stamps that start 20 s in: a graph that keeps time waits that long
# before the first frame.
if ! have late.mkv; then
    ffmpeg -nostdin -hide_banner -loglevel error -y -i "$out/h264.mp4" -c copy \
        -output_ts_offset 20 -f matroska "$out/.tmp-late.mkv"
    finish late.mkv
fi

# Sound only.
audio_only() {
    local name=$1 format=$2
    shift 3
    have "$name" && return 0
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "sine=f=440:d=3" "$@" \
        -f "$format" "$out/.tmp-$name"
    finish "$name"
}
audio_only audioonly.mp4 mp4 -- -c:a aac
audio_only audioonly.wmv asf -- -c:a wmav2

# Broken inputs: nothing to decode, or a clip cut short.
broken() {
    local name=$1
    # Read the input even when the file is there: a writer cut off early
    # would fail the pipeline.
    cat >"$out/.tmp-$name"
    if have "$name"; then
        rm -f "$out/.tmp-$name"
    else
        finish "$name"
    fi
}
broken empty.avi </dev/null
printf 'This is not a video file.\r\nJust some words.\r\n' | broken text.avi
# Random bytes, the same every run.
LC_ALL=C awk 'BEGIN { srand(7); for (i = 0; i < 65536; i++) printf "%c", int(rand() * 256) }' |
    broken random.mp4
size=$(stat -c %s "$out/mjpeg.avi")
head -c 512 "$out/mjpeg.avi" | broken cut-header.avi
# Cut inside the first frame's data: Wine's graph never finishes connecting
# it, so the capture job refuses it before building one.
movi=$(grep -boa movi "$out/mjpeg.avi" | head -n 1 | cut -d: -f1)
head -c $((movi + 4 + 8 + 64)) "$out/mjpeg.avi" | broken cut-frame.avi
head -c $((size / 2)) "$out/mjpeg.avi" | broken cut-half.avi
size=$(stat -c %s "$out/h264.mp4")
head -c $((size / 2)) "$out/h264.mp4" | broken cut-half.mp4
# 64 bytes of the Matroska header overwritten with 0xFF: an element of
# unknown size, which tells nothing before a graph is built, and a graph that
# never finishes connecting: the stalled capture of the tests.
{
    head -c 200 "$out/h264.mkv"
    head -c 64 /dev/zero | tr '\0' '\377'
    tail -c +265 "$out/h264.mkv"
} | broken stuck-header.mkv

# Named pipes that nobody writes to: opening one waits for ever, the surest
# way to stall a graph inside the platform's source filter. One for each test
# that stalls, so that none finds another's reader still waiting.
for pipe in stall.avi stall-2.avi stall-3.avi stall-4.avi stall-5.avi; do
    if [ ! -p "$out/$pipe" ]; then
        rm -f "$out/$pipe"
        mkfifo "$out/$pipe"
    fi
done

# A playlist is not a video: it must fail like any other unplayable file.
printf '<asx version="3.0">\r\n<entry><ref href="h264.mp4"/></entry>\r\n</asx>\r\n' |
    broken playlist.asx

if [ "$bench" = --bench ]; then
    video bench1080.mp4 1920x1080 mp4 -- "${x264[@]}"
fi

echo "make-clips: $made made, in $out"
