#!/usr/bin/env bash
# Starts or stops the Wine test session: wine-session.sh start|stop STATE
#
# start: creates the prefix if needed, starts an Xvfb of our own on a free
#        display and a persistent wineserver (each Wine start then costs a
#        fraction of a second instead of waiting for a server to come and go).
# stop:  ends both, by PID for Xvfb, so nothing outlives the run.
set -euo pipefail
action=$1
export KADRIX_WINE_STATE=$2
. "$(dirname "$0")/wine-env.sh"
mkdir -p "$KADRIX_WINE_STATE"

# The X server picks a free display itself and reports it when it is ready
# (-displayfd), so two sessions starting at once never share one.
start_xvfb() {
    local ready=$KADRIX_WINE_STATE/displayfd n
    rm -f "$ready"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix-abstract \
        3>"$ready" </dev/null >/dev/null 2>&1 &
    local pid=$!
    for _ in $(seq 1 100); do
        n=$(head -n 1 "$ready" 2>/dev/null || true)
        if [ -n "$n" ] && [ -S "/tmp/.X11-unix/X$n" ]; then
            echo "$pid" >"$KADRIX_WINE_STATE/xvfb.pid"
            echo ":$n" >"$KADRIX_WINE_STATE/display"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    echo "wine-session: Xvfb did not start" >&2
    return 1
}

stop_session() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if [ -f "$KADRIX_WINE_STATE/xvfb.pid" ]; then
        local pid
        pid=$(cat "$KADRIX_WINE_STATE/xvfb.pid")
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$KADRIX_WINE_STATE/xvfb.pid" "$KADRIX_WINE_STATE/display"
}

case $action in
start)
    stop_session
    kadrix_wine_prefix
    start_xvfb
    DISPLAY=$(cat "$KADRIX_WINE_STATE/display")
    export DISPLAY
    # The server and its services must not inherit ctest's pipes, or ctest
    # waits for them forever.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    echo "wine-session: display $DISPLAY, prefix $WINEPREFIX"
    ;;
stop)
    stop_session
    ;;
*)
    echo "usage: wine-session.sh start|stop STATE" >&2
    exit 2
    ;;
esac
