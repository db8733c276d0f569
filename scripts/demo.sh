#!/usr/bin/env bash
# Runs the main job as far as it stands, in a system root of its own:
# installs the print program where the browser control starts it, asks it
# for its version and hands it one scrambled receipt request.
set -euo pipefail
build=${1:-build}
bin=$(cd "$build/bin" && pwd)
export ZOLMET_ROOT=$PWD/demo-root
rm -rf "$ZOLMET_ROOT"
"$bin/zolmet-sysroot" "$ZOLMET_ROOT" >/dev/null
echo "system root: $ZOLMET_ROOT"

program='C:\Program Files\Zolmet\ZolmetPrint.exe'
install_dir="$ZOLMET_ROOT/C/Program Files/Zolmet"
mkdir -p "$install_dir"
cp "$bin/ZolmetPrint" "$install_dir/ZolmetPrint.exe"
echo "installed: $program"

echo
echo "== version query: \"$program\" VER"
code=$("$bin/zolmet-test-request" run "\"$program\" VER")
echo "exit code $code (the control shows it as v20090831a)"

request='127.0.0.1,127.0.0.1:8080,/shop/,D20090831001XJ'
echo
echo "== receipt request: $request"
arg=$("$bin/zolmet-test-request" encode "$request")
echo "scrambled argument: $arg"
code=$("$bin/zolmet-test-request" run "\"$program\" $arg")
echo "exit code $code"

logs="$ZOLMET_ROOT/C/Zolmet/Logs"
echo
echo "logs (C:\\Zolmet\\Logs\\): $logs"
shopt -s nullglob
for f in "$logs"/*.txt; do
  echo "--- $(basename "$f") (Big5, shown as UTF-8)"
  iconv -f CP950 -t UTF-8 "$f" | tr -d '\r'
done
