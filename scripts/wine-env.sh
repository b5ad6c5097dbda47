# Sourced by the Wine scripts: the environment every Wine run of the project uses.
# Expects KADRIX_WINE_STATE, the folder that holds the prefix and the session.
KADRIX_WINE_STATE=$(realpath -m "$KADRIX_WINE_STATE")
export KADRIX_WINE_STATE
export WINEPREFIX="$KADRIX_WINE_STATE/prefix"
export WINEDEBUG=-all
# No sound, and no offers to download Mono or Gecko into the prefix.
export WINEDLLOVERRIDES="winealsa.drv=d;winepulse.drv=d;mscoree=d;mshtml=d"
unset WINEARCH

# Some machines run 64-bit user code only (a kernel without IA-32
# emulation): there Debian's `wine` can't start at all, since it always picks
# the 32-bit loader, and no 32-bit Windows program can run. On such a machine
# `wine` is the 64-bit loader, and KADRIX_WINE_32BIT=0 tells the scripts
# that the x86 programs (and the 32-bit installer) can't be run.
if [ -z "${KADRIX_WINE_32BIT:-}" ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        KADRIX_WINE_32BIT=1
    else
        KADRIX_WINE_32BIT=0
    fi
fi
export KADRIX_WINE_32BIT
if [ "$KADRIX_WINE_32BIT" = 0 ]; then
    kadrix_wine64_only=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only
    case ":$PATH:" in
    *":$kadrix_wine64_only:"*) ;;
    *) export PATH="$kadrix_wine64_only:$PATH" ;;
    esac
fi

# Wine's own fonts (fonts-wine) into the prefix: Debian's Wine does not look
# for them by itself, and windows laid out for Tahoma need its metrics.
kadrix_wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d "$fonts" ] && [ ! -f "$fonts/tahoma.ttf" ] && [ -f /usr/share/wine/fonts/tahoma.ttf ]; then
        cp /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
    fi
}

# Creates the prefix on first use. Several runs may ask at once: one builds it.
kadrix_wine_prefix() {
    if [ -f "$WINEPREFIX/system.reg" ]; then
        kadrix_wine_fonts
        return 0
    fi
    mkdir -p "$KADRIX_WINE_STATE"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "wine: creating the prefix $WINEPREFIX" >&2
            DISPLAY= wine wineboot --init </dev/null >/dev/null 2>&1
            # wineboot returns before the registry is flushed to disk.
            for _ in $(seq 1 100); do
                [ -f "$WINEPREFIX/system.reg" ] && break
                sleep 0.2
            done
            if ! wineserver -k >/dev/null 2>&1; then :; fi
            wineserver -w
        fi
        kadrix_wine_fonts
    ) 9>"$KADRIX_WINE_STATE/.lock"
}

# True when the file is a 32-bit (i386) Windows program or library.
kadrix_is_pe32() {
    [ -f "$1" ] || return 1
    local header machine
    header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$header" ] || return 1
    machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    [ "$machine" = 014c ]
}
