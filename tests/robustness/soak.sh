#!/usr/bin/env bash
# One kadrix-thumb process asks for 200 thumbnails in a row (a fixed, seeded
# mix of valid and broken inputs of the corpus, each a file of its own in one
# folder) and prints what the process holds every 20 requests: handles, GDI
# and USER objects, private bytes, peak working set, threads; then a verdict
# on growth from the first figures to the last.
#
#   soak.sh BUILD_DIR CORPUS_DIR
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: soak.sh BUILD_DIR CORPUS_DIR" >&2
    exit 2
fi
build=$(realpath "$1")
corpus=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ ! -f "$build/tools/kadrix-thumb.exe" ] || [ ! -f "$build/thumbnail_handler/Glimvex.dll" ]; then
    echo "soak: build Glimvex and kadrix-thumb in $build first" >&2
    exit 2
fi
. "$root/tests/robustness/session.sh"
robust_session "${KADRIX_WINE_STATE:-$build/wine}"
export KADRIX_WINE_STATE=$session_state
python3 "$root/tests/robustness/corpus-runner.py" soak "$build" "$corpus"
