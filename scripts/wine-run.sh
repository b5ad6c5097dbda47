#!/usr/bin/env bash
# Runs a Windows program under the project's Wine: wine-run.sh STATE PROGRAM [ARGS...]
# Used as CMake's cross-compiling emulator, so ctest runs every Windows test
# through it. When a session (wine-session.sh) is up, the program gets its
# display and its persistent wineserver.
set -euo pipefail
export KADRIX_WINE_STATE=$1
shift
. "$(dirname "$0")/wine-env.sh"
# A 32-bit program on a machine that can't run one: skipped (ctest's skip
# code), not failed.
if [ "$KADRIX_WINE_32BIT" = 0 ] && kadrix_is_pe32 "$1"; then
    echo "wine-run: skipped: $(basename "$1") is a 32-bit program, and this machine runs 64-bit code only" >&2
    exit 77
fi
kadrix_wine_prefix
if [ -f "$KADRIX_WINE_STATE/display" ]; then
    DISPLAY=$(cat "$KADRIX_WINE_STATE/display")
    export DISPLAY
else
    unset DISPLAY
fi
exec wine "$@"
