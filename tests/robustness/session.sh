# Sourced by run-corpus.sh and soak.sh: the Wine session of the build tree.
# A session that is already up (ctest's wine_session fixture) is used as it
# is; otherwise one is started here and stopped on exit, Ctrl-C included.
# Expects $root (the source tree) and sets $session_state.
robust_session() {
    session_state=$1
    local pid
    pid=$(cat "$session_state/xvfb.pid" 2>/dev/null || true)
    if [ -f "$session_state/display" ] && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        echo "using the Wine session that is up ($(cat "$session_state/display"))"
    else
        "$root/scripts/wine-session.sh" start "$session_state" >/dev/null
        trap '"$root/scripts/wine-session.sh" stop "$session_state"' EXIT
        trap 'exit 130' INT TERM
    fi
    # A crash must end the process, not open Wine's crash dialog on the
    # invisible display and wait there until the wall limit.
    "$root/scripts/wine-run.sh" "$session_state" reg add 'HKCU\Software\Wine\WineDbg' \
        /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
}
