#!/usr/bin/env bash
# Benchmark of the thumbnail handler (x64), next to ffmpegthumbnailer on the
# same clips in the same run. For a small clip and a 1080p one it prints the
# median of RUNS (default 7) of:
#   cold    - a request in-process with no thumbnail streams yet (opens the
#             video, grabs a frame, writes the JPEG, composes the tile)
#   cached  - the next request on the same file (streams present and current:
#             one JPEG decode and the composition)
#   peer    - ffmpegthumbnailer, whole process, 256 pixels
# Not a test: numbers only.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
runs=${RUNS:-7}

scripts/bootstrap.sh >/dev/null
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Glimvex kadrix-thumb >/dev/null

bench=$root/build/bench
state=$bench/wine
media=$bench/media
tests/media/make-clips.sh "$media" --bench >/dev/null
scripts/wine-session.sh start "$state" >/dev/null
trap 'scripts/wine-session.sh stop "$state"' EXIT

winpath() { echo "Z:${1//\//\\}"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

thumb=$root/build/x64/tools/kadrix-thumb.exe
dll=$(winpath "$root/build/x64/thumbnail_handler/Glimvex.dll")

printf '%-16s %10s %10s %10s %12s %12s\n' clip cold-ms cached-ms peer-ms cold/peer cached/peer
for clip in h264.mp4 bench1080.mp4; do
    cold=()
    cached=()
    peer=()
    for _ in $(seq "$runs"); do
        rm -f "$media/$clip":vantrel*
        mapfile -t times < <(scripts/wine-run.sh "$state" "$thumb" --dll "$dll" --size 256 \
            "$(winpath "$media/$clip")" "$(winpath "$media/$clip")" --out "$(winpath "$bench/tiles")" \
            2>/dev/null | sed -n 's/.*: \([0-9.]*\) ms,.*/\1/p')
        [ ${#times[@]} -eq 2 ] || { echo "handler-bench: request failed on $clip" >&2; exit 1; }
        cold+=("${times[0]}")
        cached+=("${times[1]}")

        start=$(date +%s%N)
        ffmpegthumbnailer -i "$media/$clip" -o "$bench/peer.png" -s 256 >/dev/null 2>&1
        peer+=("$(( ($(date +%s%N) - start) / 1000 ))e-3")
    done
    c=$(median "${cold[@]}")
    k=$(median "${cached[@]}")
    p=$(median "${peer[@]}")
    awk -v n="$clip" -v c="$c" -v k="$k" -v p="$p" \
        'BEGIN { printf "%-16s %10.1f %10.1f %10.1f %12.2f %12.3f\n", n, c, k, p, c / p, k / p }'
done
rm -f "$media"/*:vantrel*
