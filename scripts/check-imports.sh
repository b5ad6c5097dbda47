#!/usr/bin/env bash
# Fails when a Windows binary imports a mingw runtime DLL: every deliverable
# and test must run with nothing but system DLLs beside it.
# Usage: check-imports.sh OBJDUMP FILE...
set -euo pipefail
objdump=$1
shift
bad=0
for f in "$@"; do
    dlls=$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p')
    runtime=$(grep -i -E '^(libgcc|libstdc\+\+|libwinpthread)' <<<"$dlls" || true)
    if [ -n "$runtime" ]; then
        echo "$(basename "$f") needs a mingw runtime DLL: $runtime"
        bad=1
    else
        echo "$(basename "$f"): $(echo $dlls)"
    fi
done
exit $bad
