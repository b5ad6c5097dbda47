#!/usr/bin/env bash
# Builds the Windows installer: build/installer/Kadrix-setup-<version>.exe.
# Builds the deliverables of the x86 and x64 presets when they are missing or
# out of date, then packs both bitnesses with makensis (installer/kadrix.nsi).
# An installer newer than everything it packs is kept. Prints its path.
#
# Signing: KADRIX_SIGN_CMD, when set, is a command that signs in place the
# file whose path is added to it as its last argument (run by sh, so it may
# hold arguments of its own). It signs each of the six binaries before they
# are packed, the uninstaller before the installer carries it, and the
# installer itself; a command that fails fails the build. An installer is
# always built anew then.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
self=$root/scripts/build-installer.sh

# makensis signs the installer and the uninstaller through this script.
if [ "${1:-}" = --sign ]; then
    exec sh -c "$KADRIX_SIGN_CMD \"\$1\"" kadrix-sign "$2"
fi

scripts/bootstrap.sh >/dev/null

version=$(sed -n 's/^project(Kadrix VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
    echo "build-installer: no project(Kadrix VERSION ...) in CMakeLists.txt" >&2
    exit 1
fi

built=()
for preset in x86 x64; do
    # A tree that is configured is only built: configuring again would
    # rewrite its test files while a test run may be reading them.
    if [ ! -f "build/$preset/CMakeCache.txt" ]; then
        cmake --preset "$preset" >/dev/null
    fi
    cmake --build --preset "$preset" --target Glimvex Tabliq Zelkon >/dev/null
    built+=("build/$preset/thumbnail_handler/Glimvex.dll" "build/$preset/property_sheet/Tabliq.dll"
            "build/$preset/setup/Zelkon.exe")
done
# The version, the names and the copyright line, as the binaries carry them.
header=build/x64/generated/kadrix_version.h

out=build/installer/Kadrix-setup-$version.exe
mkdir -p build/installer
if [ -z "${KADRIX_SIGN_CMD:-}" ] && [ -f "$out" ] &&
   [ -z "$(find "${built[@]}" "$header" installer setup/art CMakeLists.txt "$self" -newer "$out" -print -quit)" ]; then
    echo "$root/$out"
    exit 0
fi

# What is packed: copies of the binaries, so that signing never touches the
# build trees.
payload=build/installer/payload
rm -rf "$payload"
mkdir -p "$payload/x86" "$payload/x64"
for file in "${built[@]}"; do
    preset=${file#build/}
    preset=${preset%%/*}
    cp "$file" "$payload/$preset/"
done
sign=()
if [ -n "${KADRIX_SIGN_CMD:-}" ]; then
    for file in "$payload"/x86/* "$payload"/x64/*; do
        "$self" --sign "$root/$file"
    done
    sign=("-DSIGN=$self")
fi

# Written aside and moved into place, so an interrupted build never leaves an
# installer that looks complete.
partial=$out.partial
makensis -V2 -INPUTCHARSET UTF8 \
    "-DVERSION_HEADER=$root/$header" "-DPAYLOAD=$root/$payload" "-DOUTFILE=$root/$partial" \
    "${sign[@]}" installer/kadrix.nsi >&2
mv -f "$partial" "$out"
echo "$root/$out"
