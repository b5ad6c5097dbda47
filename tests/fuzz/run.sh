#!/usr/bin/env bash
# Fuzzes one driver for a while:
#
#   tests/fuzz/run.sh DRIVER SECONDS [LIBFUZZER-OPTION...]
#
# DRIVER is container_probe, frame_convert, registry_script or
# file_association. Builds the fuzz preset's driver, makes the seed corpora,
# and fuzzes from them, the regression inputs and what earlier runs found
# (build/fuzz/found/DRIVER/, where new inputs go). An input that fails stops
# the run and is written to build/fuzz/artifacts/; add it to the regression
# inputs of tests/fuzz/make-corpora.py once it is fixed. Ends with
# libFuzzer's figures (executions, coverage, features, corpus).
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ $# -lt 2 ]; then
    echo "usage: tests/fuzz/run.sh DRIVER SECONDS [LIBFUZZER-OPTION...]" >&2
    exit 2
fi
driver=$1 seconds=$2
shift 2

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "fuzz_$driver"
python3 tests/fuzz/make-corpora.py build/fuzz/corpora
found=build/fuzz/found/$driver
mkdir -p "$found" build/fuzz/artifacts
"build/fuzz/tests/fuzz/fuzz_$driver" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$driver-" "$@" \
    "$found" "build/fuzz/corpora/seeds/$driver" "build/fuzz/corpora/regressions/$driver"
