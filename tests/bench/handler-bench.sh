#!/usr/bin/env bash
# Benchmark of the thumbnail handler, next to ffmpegthumbnailer on the same
# clips in the same run, for x64 and x86. Not a test: figures only.
#
# For a small clip (320x240... the tests' 160x120 H.264) and a 1080p one:
#   phases  - where a cold and a cached request's time goes (request_bench,
#             the extractor linked in, a clock on each phase), medians
#   cold    - a request in-process with no thumbnail streams yet (kadrix-thumb
#             with the library loaded and the platform's filters warmed up by
#             one request on another file: capture, JPEG write, tile)
#   cached  - the next request on the same file (the tile from the stream)
#   first   - the cold request as the first of a fresh process: the platform
#             starting its media framework, once per session of a host
#   peer    - ffmpegthumbnailer, whole process, 256 pixels
# and a folder of 100 clips through the registry, one kadrix-thumb process,
# against ffmpegthumbnailer run over the same files one after another, with
# the per-file time of the first and the last ten.
#
#   tests/bench/handler-bench.sh [x64|x86|both]   (RUNS=7 by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
runs=${RUNS:-7}
which=${1:-both}
presets=()
case $which in
x64 | x86) presets=("$which") ;;
both) presets=(x64 x86) ;;
*) echo "usage: handler-bench.sh [x64|x86|both]" >&2; exit 2 ;;
esac

scripts/bootstrap.sh >/dev/null
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target Glimvex kadrix-thumb request_bench Zelkon >/dev/null
done

bench=$root/build/bench
state=$bench/wine
media=$bench/media
folder=$bench/folder
tests/media/make-clips.sh "$media" --bench >/dev/null
scripts/wine-session.sh start "$state" >/dev/null
trap 'scripts/wine-session.sh stop "$state"' EXIT

winpath() { echo "Z:${1//\//\\}"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
wine_run() { scripts/wine-run.sh "$state" "$@" 2>/dev/null; }

peer_ms() {
    local start
    start=$(date +%s%N)
    ffmpegthumbnailer -i "$1" -o "$bench/peer.png" -s 256 >/dev/null 2>&1
    echo "$(( ($(date +%s%N) - start) / 1000 ))e-3"
}

for preset in "${presets[@]}"; do
    build=$root/build/$preset
    thumb=$build/tools/kadrix-thumb.exe
    dll=$(winpath "$build/thumbnail_handler/Glimvex.dll")
    echo "===== $preset"
    for clip in h264.mp4 bench1080.mp4; do
        echo "--- $clip: where the time goes"
        rm -f "$media/$clip":vantrel*
        wine_run "$build/tests/bench/request_bench.exe" "$(winpath "$media/$clip")" "$runs"
    done
    echo
    printf '%-16s %9s %9s %9s %9s %10s %11s %10s\n' clip first-ms cold-ms cached-ms peer-ms \
        cold/peer cached/peer first/peer
    for clip in h264.mp4 bench1080.mp4; do
        first=() cold=() cached=() peer=()
        for _ in $(seq "$runs"); do
            rm -f "$media/$clip":vantrel* "$media/warm-$clip"*
            cp "$media/$clip" "$media/warm-$clip"
            mapfile -t times < <(wine_run "$thumb" --dll "$dll" --size 256 \
                "$(winpath "$media/warm-$clip")" "$(winpath "$media/$clip")" \
                "$(winpath "$media/$clip")" --out "$(winpath "$bench/tiles")" |
                sed -n 's/.*: \([0-9.]*\) ms,.*/\1/p')
            [ ${#times[@]} -eq 3 ] || { echo "handler-bench: request failed on $clip" >&2; exit 1; }
            first+=("${times[0]}")
            cold+=("${times[1]}")
            cached+=("${times[2]}")
            peer+=("$(peer_ms "$media/$clip")")
        done
        rm -f "$media/warm-$clip"*
        f=$(median "${first[@]}") c=$(median "${cold[@]}") k=$(median "${cached[@]}")
        p=$(median "${peer[@]}")
        awk -v n="$clip" -v f="$f" -v c="$c" -v k="$k" -v p="$p" \
            'BEGIN { printf "%-16s %9.1f %9.1f %9.1f %9.1f %10.2f %11.3f %10.2f\n", n, f, c, k, p, c / p, k / p, f / p }'
    done
    rm -f "$media"/*:vantrel*

    # A folder of 100 clips, through the registry as Explorer goes.
    echo
    echo "--- a folder of 100 clips through the registry"
    wine_run regsvr32 /s "$(winpath "$build/thumbnail_handler/Glimvex.dll")"
    for view in 32 64; do wine_run reg add 'HKCR\.mp4' /f "/reg:$view" >/dev/null; done
    wine_run "$build/setup/Zelkon.exe" -register
    wine_run reg delete 'HKCU\Software\Vantrel\KadrixVuvu' /f >/dev/null || true
    rm -rf "$folder" && mkdir -p "$folder"
    files=()
    for i in $(seq -w 1 100); do
        cp "$media/h264.mp4" "$folder/clip$i.mp4"
        files+=("$(winpath "$folder/clip$i.mp4")")
    done
    start=$(now_ms)
    mapfile -t times < <(wine_run "$thumb" --size 256 "${files[@]}" --out "$(winpath "$bench/folder-tiles")" |
        sed -n 's/.*: \([0-9.]*\) ms,.*/\1/p')
    ours=$(( $(now_ms) - start ))
    [ ${#times[@]} -eq 100 ] || { echo "handler-bench: ${#times[@]} of 100 tiles" >&2; exit 1; }
    start=$(now_ms)
    for f in "$folder"/clip*.mp4; do
        ffmpegthumbnailer -i "$f" -o "$bench/peer.png" -s 256 >/dev/null 2>&1
    done
    theirs=$(( $(now_ms) - start ))
    first=$(printf '%s\n' "${times[@]:0:10}" | awk '{ s += $1 } END { printf "%.1f", s / NR }')
    last=$(printf '%s\n' "${times[@]:90:10}" | awk '{ s += $1 } END { printf "%.1f", s / NR }')
    echo "kadrix-thumb, one process: $ours ms in all (per file: first ten $first ms, last ten $last ms)"
    echo "ffmpegthumbnailer, 100 runs: $theirs ms in all"
    awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio: %.2f\n", a / b }'
    wine_run "$build/setup/Zelkon.exe" -unregister
    wine_run regsvr32 /u /s "$(winpath "$build/thumbnail_handler/Glimvex.dll")"
    rm -rf "$folder" "$bench/folder-tiles"
    echo
done
