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
# A test that leaves a worker stuck in the platform's graph building ends its
# process as soon as its results are out (tests/win/support/test_main.cpp);
# Wine's media framework now and then crashes while it tears that thread
# down. Such a test sets KADRIX_ENDS_HARD: a crash after its closing line is
# judged by the results it printed, a crash before it stays a crash.
if [ -n "${KADRIX_ENDS_HARD:-}" ]; then
    log=$(mktemp)
    set +e
    wine "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    set -e
    if [ "$status" -ge 128 ] && grep -q '^\[ kadrix \] ending without teardown' "$log"; then
        echo "wine-run: crashed in Wine's teardown after its results (status $status): judged by them"
        if grep -q '^\[  FAILED  \]' "$log"; then status=1; else status=0; fi
    fi
    rm -f "$log"
    exit "$status"
fi
exec wine "$@"
