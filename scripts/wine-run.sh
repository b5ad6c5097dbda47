#!/usr/bin/env bash
# Runs a Windows program under the project's Wine: wine-run.sh [--test] STATE PROGRAM [ARGS...]
# Used as CMake's cross-compiling emulator, so ctest runs every Windows test
# through it. When a session (wine-session.sh) is up, the program gets its
# display and its persistent wineserver.
set -euo pipefail
# --test: the program is a test of the build (CMake's emulator passes it).
test_program=
if [ "${1:-}" = --test ]; then
    test_program=1
    shift
fi
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
# A test program (--test: every GoogleTest executable) always prints; one that ends at once, failing and silent, was not started
# by Wine (seen now and then right after a GUI test's processes ended) and
# gets one more try, as the corpus runner gives its hosts.
#
# A test that leaves a worker stuck in the platform's graph building ends its
# process as soon as its results are out (tests/win/support/test_main.cpp);
# Wine's media framework now and then crashes while it tears that thread
# down. Such a test sets KADRIX_ENDS_HARD: a crash after its closing line is
# judged by the results it printed, a crash before it stays a crash.
if [ -n "$test_program${KADRIX_ENDS_HARD:-}" ]; then
    log=$(mktemp)
    for try in 1 2; do
        set +e
        wine "$@" 2>&1 | tee "$log"
        status=${PIPESTATUS[0]}
        set -e
        if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && [ ! -s "$log" ] && [ "$try" = 1 ]; then
            echo "wine-run: ended at once with status $status and printed nothing: tried again"
            continue
        fi
        break
    done
    if [ -n "${KADRIX_ENDS_HARD:-}" ] && [ "$status" -ge 128 ] &&
        grep -q '^\[ kadrix \] ending without teardown' "$log"; then
        echo "wine-run: crashed in Wine's teardown after its results (status $status): judged by them"
        if grep -q '^\[  FAILED  \]' "$log"; then status=1; else status=0; fi
    fi
    rm -f "$log"
    exit "$status"
fi
exec wine "$@"
