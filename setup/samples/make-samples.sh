#!/usr/bin/env bash
# Makes the setup window's sample pictures from a generated clip: a zoom into
# a fractal, eight seconds long, so the five frames visibly differ and follow
# one another in time.
#
#   sample1.jpg ... sample5.jpg  frames at 0, 2, 4, 6 and 8 s, 150 x 113 pixels
#                                (the fifth 150 x 112), JFIF, quality 85
#   filmstrip.jpg                the same five frames side by side on a 360 x 66
#                                strip of film: 66 x 50 pictures between
#                                perforated 8-pixel bands, 72 pixels a frame
#
# The pictures are committed; run this (ffmpeg and ImageMagick, both from
# scripts/bootstrap.sh) only to make them anew.
set -euo pipefail
cd "$(dirname "$0")"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One frame a second; frames 0, 2, 4, 6 and 8 are the samples.
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi \
    -i "mandelbrot=s=600x452:r=1:start_scale=2.5:end_scale=0.02:end_pts=8:outer=normalized_iteration_count:inner=mincol" \
    -frames:v 9 "$work/frame%d.png"

strip=(-size 360x66 xc:black -fill '#d8d0c0')
for i in 1 2 3 4 5; do
    frame=$work/frame$((2 * i - 1)).png
    height=$([ "$i" -eq 5 ] && echo 112 || echo 113)
    convert "$frame" -filter Lanczos -resize "150x${height}!" -strip -quality 85 "sample$i.jpg"
    convert "$frame" -filter Lanczos -resize '66x50!' "$work/cell$i.png"
done

# The film: sprocket holes along both bands, then the pictures.
holes=()
for x in $(seq 4 12 356); do
    holes+=(-draw "roundrectangle $x,2 $((x + 5)),5 1,1" -draw "roundrectangle $x,60 $((x + 5)),63 1,1")
done
convert "${strip[@]}" "${holes[@]}" "$work/film.png"
args=("$work/film.png")
for i in 1 2 3 4 5; do
    args+=("$work/cell$i.png" -geometry "+$((72 * (i - 1) + 3))+8" -composite)
done
convert "${args[@]}" -strip -quality 85 filmstrip.jpg
identify sample*.jpg filmstrip.jpg
