#!/usr/bin/env bash
# Builds the Windows installer: build/installer/Kadrix-setup-<version>.exe.
# Builds the deliverables of the x86 and x64 presets when they are missing or
# out of date, then packs both bitnesses with makensis (installer/kadrix.nsi).
# An installer newer than everything it packs is kept. Prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/bootstrap.sh >/dev/null

version=$(sed -n 's/^project(Kadrix VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
    echo "build-installer: no project(Kadrix VERSION ...) in CMakeLists.txt" >&2
    exit 1
fi
# The file version resource takes four numbers.
quad=$version
while [ "$(tr -cd . <<<"$quad" | wc -c)" -lt 3 ]; do quad=$quad.0; done

payload=()
for preset in x86 x64; do
    # A tree that is configured is only built: configuring again would
    # rewrite its test files while a test run may be reading them.
    if [ ! -f "build/$preset/CMakeCache.txt" ]; then
        cmake --preset "$preset" >/dev/null
    fi
    cmake --build --preset "$preset" --target Glimvex Tabliq Zelkon >/dev/null
    payload+=("build/$preset/thumbnail_handler/Glimvex.dll" "build/$preset/property_sheet/Tabliq.dll"
              "build/$preset/setup/Zelkon.exe")
done

out=build/installer/Kadrix-setup-$version.exe
mkdir -p build/installer
if [ -f "$out" ] && [ -z "$(find "${payload[@]}" installer CMakeLists.txt "$0" -newer "$out" -print -quit)" ]; then
    echo "$root/$out"
    exit 0
fi

# Written aside and moved into place, so an interrupted build never leaves an
# installer that looks complete.
partial=$out.partial
makensis -V2 -INPUTCHARSET UTF8 \
    "-DVERSION=$version" "-DVERSION_QUAD=$quad" \
    "-DX86_DIR=$root/build/x86" "-DX64_DIR=$root/build/x64" "-DOUTFILE=$root/$partial" \
    installer/kadrix.nsi >&2
mv -f "$partial" "$out"
echo "$root/$out"
