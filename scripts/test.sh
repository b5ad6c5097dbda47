#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively, the fuzz
# drivers over their seed corpora and regression inputs (natively, with
# clang), then the Windows tests of both bitnesses under Wine. Installs what
# is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh >/dev/null

presets=(native fuzz x86 x64)
# The bootstrap installs clang; a machine without it still runs the rest.
if ! command -v clang++ >/dev/null; then
    echo "== fuzz: skipped, clang++ is not installed"
    presets=(native x86 x64)
fi
# An interrupted run must not leave an Xvfb or a wineserver behind.
trap 'for p in x86 x64; do [ -d "build/$p/wine" ] && scripts/wine-session.sh stop "build/$p/wine"; done' EXIT

for preset in "${presets[@]}"; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
# The installer test (x64) installs what both trees built.
echo "== build installer"
scripts/build-installer.sh >/dev/null

failed=()
for preset in "${presets[@]}"; do
    echo "== test $preset"
    ctest --preset "$preset" --no-tests=error || failed+=("$preset")
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "all tests passed: ${presets[*]}"
if [ "$(KADRIX_WINE_STATE=build/x86/wine; . scripts/wine-env.sh; echo "$KADRIX_WINE_32BIT")" = 0 ]; then
    echo "(this machine runs 64-bit code only: the x86 tree and the installer were built, and their Windows tests skipped)"
fi
