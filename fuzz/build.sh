#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan, apart
# from the gcc build, into build-fuzz/. Run one with, for example,
#   build-fuzz/fuzz_reply -max_total_time=600 build-fuzz/corpus-reply fuzz/seeds/reply
# (clang cannot compile to Big5, so the system's texts stay UTF-8 here; the
# fuzzers look for crashes, not texts).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$src/build-fuzz}
mkdir -p "$out"
cxx=${CXX_FUZZ:-clang++}
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -fno-omit-frame-pointer -I"$src" -Wall -Wextra -Werror)
coding=("$src/common/uuCoding.cpp" "$src/platform/process/clock.cpp")
"$cxx" "${flags[@]}" -o "$out/fuzz_reply" "$src/fuzz/fuzz_reply.cpp" "$src/fuzz/stubs.cpp" \
  "$src/printclient/ufMainReceipt.cpp" "${coding[@]}" -lpthread
"$cxx" "${flags[@]}" -o "$out/fuzz_decode_data" "$src/fuzz/fuzz_decode_data.cpp" "${coding[@]}" -lpthread
"$cxx" "${flags[@]}" -o "$out/fuzz_decode_minutes" "$src/fuzz/fuzz_decode_minutes.cpp" "${coding[@]}" -lpthread
echo "fuzz targets in $out"
