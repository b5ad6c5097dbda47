#!/usr/bin/env bash
# Times the capture job and the Media Foundation grab against
# ffmpegthumbnailer on the same clips, in the same run:
# capture-bench.sh BUILDDIR [RUNS]
#
# BUILDDIR is a Windows build tree (build/x64 or build/x86) with capture_bench
# and mf_bench built. For the 1080p clip and a small one it prints the median
# time of the capture job in-process (graph, grab, JPEG write) under Wine, of
# the Media Foundation grab with the same JPEG write, of ffmpegthumbnailer (a
# whole process, frame at native size, JPEG), and the ratio of the capture job
# to the peer. Not a test: the numbers depend on the machine.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=$(realpath "${1:?usage: capture-bench.sh BUILDDIR [RUNS]}")
runs=${2:-9}
bench=$build/tests/bench/capture_bench.exe
mfbench=$build/tests/bench/mf_bench.exe
for b in "$bench" "$mfbench"; do
    [ -f "$b" ] || { echo "capture-bench: build $b first" >&2; exit 1; }
done
command -v ffmpegthumbnailer >/dev/null || { echo "capture-bench: ffmpegthumbnailer missing (scripts/bootstrap.sh)" >&2; exit 1; }

media=$build/media
tests/media/make-clips.sh "$media" --bench >/dev/null

work=$(mktemp -d)
state=$build/wine
trap 'scripts/wine-session.sh stop "$state"; rm -rf "$work"' EXIT
scripts/wine-session.sh start "$state" >/dev/null

median_of() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] }'; }

printf '%-14s %12s %12s %20s %8s\n' clip "capture job" "MF grab" "ffmpegthumbnailer" ratio
for clip in bench1080.mp4 h264.mp4; do
    cp "$media/$clip" "$work/$clip"
    ours=$(scripts/wine-run.sh "$state" "$bench" "Z:${work//\//\\}\\$clip" "$runs" 2>/dev/null |
        sed -n 's/^median_ms=//p')
    [ -n "$ours" ] || { echo "capture-bench: the capture job failed on $clip" >&2; exit 1; }
    mf=$(scripts/wine-run.sh "$state" "$mfbench" "Z:${work//\//\\}\\$clip" "$runs" 2>/dev/null |
        sed -n 's/^median_ms=//p')
    [ -n "$mf" ] || { echo "capture-bench: the MF grab failed on $clip" >&2; exit 1; }

    peer=$(for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        ffmpegthumbnailer -i "$work/$clip" -o "$work/peer.jpg" -s 0 -t 50% >/dev/null 2>&1
        echo $((($(date +%s%N) - start) / 1000))
    done | median_of)
    peer=$(awk -v us="$peer" 'BEGIN { printf "%.1f", us / 1000 }')

    ratio=$(awk -v a="$ours" -v b="$peer" 'BEGIN { printf "%.2f", a / b }')
    printf '%-14s %9s ms %9s ms %17s ms %7sx\n' "$clip" "$ours" "$mf" "$peer" "$ratio"
done
echo "(median of $runs runs each; ratio = capture job / ffmpegthumbnailer)"
