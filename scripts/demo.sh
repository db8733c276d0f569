#!/usr/bin/env bash
# Runs the main job as far as it stands, in a system root of its own.
set -euo pipefail
build=${1:-build}
bin=$(cd "$build/bin" && pwd)
export ZOLMET_ROOT=${ZOLMET_ROOT:-$PWD/demo-root}
"$bin/zolmet-sysroot" "$ZOLMET_ROOT" >/dev/null
echo "system root: $ZOLMET_ROOT"
