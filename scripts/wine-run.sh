#!/usr/bin/env bash
# Runs a Windows program under the project's Wine: wine-run.sh STATE PROGRAM [ARGS...]
# Used as CMake's cross-compiling emulator, so ctest runs every Windows test
# through it. When a session (wine-session.sh) is up, the program gets its
# display and its persistent wineserver.
set -euo pipefail
export KADRIX_WINE_STATE=$1
shift
. "$(dirname "$0")/wine-env.sh"
kadrix_wine_prefix
if [ -f "$KADRIX_WINE_STATE/display" ]; then
    DISPLAY=$(cat "$KADRIX_WINE_STATE/display")
    export DISPLAY
else
    unset DISPLAY
fi
exec wine "$@"
