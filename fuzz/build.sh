#!/usr/bin/env bash
# Configures and builds the clang tree with the libFuzzer targets
# (ZOLMET_FUZZ: AddressSanitizer, UBSan, -O1) in build-fuzz/ or in $1. Every
# library and program is built there too, so clang checks them all; the
# tests are not (clang cannot compile narrow literals to Big5, so the
# system's texts are UTF-8 in this tree: the fuzzers look for faults, not
# texts). Then fuzz/run.sh runs the targets.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$src/build-fuzz}
CC=${CC_FUZZ:-clang} CXX=${CXX_FUZZ:-clang++} \
  cmake -S "$src" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZOLMET_FUZZ=ON >/dev/null
cmake --build "$out" -j "${JOBS:-$(nproc)}"
echo "fuzz targets in $out/bin"
