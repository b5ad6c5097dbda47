#!/usr/bin/env bash
# Builds the deliverables for x86 and x64 (and the portable core natively),
# installing what is missing first, then the installer that packs both, and
# lists what it built.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh >/dev/null
for preset in native x86 x64; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

echo "== build installer"
installer=$(scripts/build-installer.sh)

echo
echo "Windows binaries:"
find build/x86 build/x64 -path '*/tests/*' -prune -o \( -name '*.dll' -o -name '*.exe' \) -print | sort
echo "Installer: $installer"
