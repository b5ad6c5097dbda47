#!/usr/bin/env bash
# Asks for the thumbnail of every input of the robustness corpus, each in a
# folder and a kadrix-thumb process of its own, and prints what went wrong:
#
#   run-corpus.sh BUILD_DIR CORPUS_DIR [--subset] [--jobs N]
#
# BUILD_DIR is a Windows build tree (build/x86 or build/x64: it selects the
# bitness) with Glimvex.dll and kadrix-thumb.exe built; CORPUS_DIR is made by
# make-corpus.py. --subset takes only the CI subset's inputs. The table goes
# to stdout, every result to BUILD_DIR/robustness/corpus-run.tsv (or
# corpus-subset.tsv); the exit status is 1 unless the criteria at its end
# hold (tests/robustness/corpus-runner.py says which).
set -euo pipefail
usage() {
    echo "usage: run-corpus.sh BUILD_DIR CORPUS_DIR [--subset] [--jobs N]" >&2
    exit 2
}
[ $# -ge 2 ] || usage
build=$(realpath "$1")
corpus=$(realpath "$2")
shift 2
options=()
while [ $# -gt 0 ]; do
    case $1 in
    --subset) options+=(--subset) ;;
    --jobs)
        [ $# -ge 2 ] || usage
        options+=(--jobs "$2")
        shift
        ;;
    *) usage ;;
    esac
    shift
done
root=$(cd "$(dirname "$0")/../.." && pwd)
# A 32-bit tree on a machine that runs 64-bit code only: nothing to run.
if (KADRIX_WINE_STATE=$build/wine . "$root/scripts/wine-env.sh" &&
    [ "$KADRIX_WINE_32BIT" = 0 ] && kadrix_is_pe32 "$build/tools/kadrix-thumb.exe"); then
    echo "run-corpus: skipped: $build is a 32-bit build, and this machine runs 64-bit code only"
    exit 77
fi
if [ ! -f "$build/tools/kadrix-thumb.exe" ] || [ ! -f "$build/thumbnail_handler/Glimvex.dll" ]; then
    echo "run-corpus: build Glimvex and kadrix-thumb in $build first" >&2
    exit 2
fi

# The container probe runs natively, from the native build tree.
probe=${KADRIX_PROBE:-$root/build/native/tests/robustness/probe_corpus}
if [ ! -x "$probe" ]; then
    echo "run-corpus: building the native probe_corpus" >&2
    (cd "$root" && cmake --preset native >/dev/null && cmake --build --preset native --target probe_corpus >/dev/null) ||
        echo "run-corpus: no native probe_corpus: the probe's figures are left out" >&2
fi

. "$root/tests/robustness/session.sh"
robust_session "${KADRIX_WINE_STATE:-$build/wine}"
export KADRIX_WINE_STATE=$session_state
python3 "$root/tests/robustness/corpus-runner.py" run "$build" "$corpus" --probe "$probe" "${options[@]}"
