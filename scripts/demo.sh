#!/usr/bin/env bash
# The main job as far as it stands, in a system root of its own
# (./demo-root, laid out anew on every run):
#   1. lay out the system root (Windows folders, regsvr32, the printer "Zolmet")
#   2. install with the real ZolmetInstall, its form driven on a pseudo-terminal
#      by zolmet-test-terminal (tests/support), which presses buttons by label
#   3. start the print-data server on 127.0.0.1 with the demo receipts
#   4. call the browser control as the web page would: versions, machine identity
#   5. Print: the control starts the installed ZolmetPrint, which fetches,
#      checks and prints the receipts on the printer "Zolmet"
#   6. show the printed jobs (PDF, PNG, the PDF's text) and the day's logs
#   usage: scripts/demo.sh [BUILD_DIR]     (default: build)
# Every step is bounded in time; the exit code is 0 only when all went well.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
bin=$(cd "$build/bin" 2>/dev/null && pwd) || { echo "demo: no $build/bin (build first: make demo)" >&2; exit 1; }
receipts=$src/tools/printdata-server/receipts

# Our own system root, whatever the environment says.
export ZOLMET_ROOT=$PWD/demo-root
# The print program gives up on the server after 5 s (instead of 60 s / 30 s).
export ZOLMET_INET_TIMEOUTS=5000,5000
unset ZOLMET_CLOCK

work=$(mktemp -d /tmp/zolmet-demo.XXXXXX)
server=""      # pid of the print-data server
print_waiting="" # set while the page's Print call and the program it starts may run
# They run in a process group of their own, whose id is in print.pid.
stop_print() {
  if [ -s "$work/print.pid" ]; then kill -KILL -- "-$(cat "$work/print.pid")" 2>/dev/null || true; fi
}
cleanup() {
  if [ -n "$print_waiting" ]; then stop_print; fi
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

step() { printf '\n== %s\n' "$*"; }
indent() { sed 's/^/    /'; }
fail() {
  printf '\ndemo: FAILED: %s\n' "$*" >&2
  exit 1
}
# Runs a command with a time limit, standard input closed.
bounded() {
  local seconds=$1
  shift
  timeout --kill-after=5 "$seconds" "$@" </dev/null
}

step "1. system root: $ZOLMET_ROOT"
rm -rf "$ZOLMET_ROOT"
bounded 20 "$bin/zolmet-sysroot" "$ZOLMET_ROOT" >/dev/null || fail "cannot lay out the system root"
echo "laid out: C/Windows/System32 (regsvr32.exe, IPHLPAPI.DLL), the printer \"Zolmet\" (default)"

step "2. install: ZolmetInstall on a pseudo-terminal, pressing 開始 安裝/更新, Yes, 結束"
rc=0
bounded 60 "$bin/zolmet-test-terminal" --timeout 40 \
  --press "開始 安裝/更新" --press "Yes" --press "結束" -- "$bin/ZolmetInstall" >"$work/install.out" || rc=$?
indent <"$work/install.out"
[ "$rc" -eq 0 ] || fail "ZolmetInstall ended with $rc"
grep -q "安裝/更新 成功" "$work/install.out" || fail "the installation did not succeed"
installed="$ZOLMET_ROOT/C/Program Files/Zolmet"
echo "installed in C:\\Program Files\\Zolmet\\ ($installed):"
(cd "$installed" && stat -c '    %n (%s bytes)' ZolmetPrint.exe Zolmet.ocx)

step "3. print-data server on 127.0.0.1 with $receipts/demo.txt"
"$bin/printdata-server" --dir "$receipts" --path /Zolmet/ --lifetime 300 \
  </dev/null >"$work/server.out" 2>"$work/server.err" &
server=$!
port=""
for _ in $(seq 100); do
  port=$(head -n1 "$work/server.out")
  [ -n "$port" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || fail "the print-data server did not start: $(cat "$work/server.err")"
echo "listening on 127.0.0.1:$port (pid $server); receipt id \"demo\":"
grep -v '^#' "$receipts/demo.txt" | indent

step "4. the web page calls the control (zolmet-page)"
page() {
  local out rc=0
  out=$(bounded 30 "$bin/zolmet-page" "$@" 2>&1) || rc=$?
  printf '    %-14s -> %s\n' "$*" "$out"
  [ "$rc" -eq 0 ] || fail "the control's $1 failed ($rc)"
}
page GetVer          # the control's file version
page GetInnerVer     # the control's own version text
page GetPrinterVer   # runs the installed ZolmetPrint VER
page GetIPInfo       # the machine identity, plain (GetInfo gives it scrambled)

web="127.0.0.1:$port"
step "5. Print 127.0.0.1 $web /Zolmet/ demo: the control starts ZolmetPrint"
# The page and the print program it starts run in a process group of their
# own; both are done when no live process is left in it.
print_wait=30   # seconds
rc=0
print_waiting=1
setsid "$bin/zolmet-page" Print 127.0.0.1 "$web" /Zolmet/ demo \
  </dev/null >"$work/print.out" 2>"$work/print.err" &
echo $! >"$work/print.pid"
group_alive() {  # any process of group $1 that is not a zombie
  local f rest
  for f in /proc/[0-9]*/stat; do
    rest=$(cat "$f" 2>/dev/null) || continue
    rest=${rest##*) }
    set -- $rest
    [ "${3:-}" = "$pgid" ] && [ "$1" != Z ] && return 0
  done
  return 1
}
pgid=$(cat "$work/print.pid")
deadline=$((SECONDS + print_wait))
# The page has made its group once it has ended; then only what it started is left.
while kill -0 "$pgid" 2>/dev/null && [ -n "$(awk '$3 != "Z"' "/proc/$pgid/stat" 2>/dev/null)" ]; do
  if [ "$SECONDS" -ge "$deadline" ]; then break; fi
  sleep 0.05
done
while group_alive; do
  if [ "$SECONDS" -ge "$deadline" ]; then rc=124; break; fi
  sleep 0.1
done
problem=""
if [ "$rc" -ne 0 ]; then
  stop_print
  problem="ZolmetPrint had not ended within $print_wait s and was stopped"
  echo "$problem"
else
  result=$(grep -m1 -xE -- '-?[0-9]+' "$work/print.out" || true)
  echo "Print returned ${result:-nothing} (1: the print program was started); it has ended"
  [ "$result" = 1 ] || problem="Print did not start the print program"
fi
print_waiting=""

step "6. what ZolmetPrint did"
printed="$ZOLMET_ROOT/C/Zolmet/Printed/Zolmet"
echo "jobs printed on \"Zolmet\" ($printed):"
shopt -s nullglob
jobs=("$printed"/job-*.job)
for job in "${jobs[@]}"; do
  base=${job%.job}
  size=$(grep -m1 '^Page1=' "$job" | tr -d '\r' | cut -d= -f2 | cut -d, -f1,2 | tr , x)
  echo "--- $(basename "$base"): $size tenths of a mm, $(grep -m1 '^Status=' "$job" | tr -d '\r')"
  echo "    $base.pdf"
  for png in "$base"-p*.png; do echo "    $png"; done
  if command -v pdftotext >/dev/null; then
    pdftotext -layout "$base.pdf" - 2>/dev/null | sed -e '/^[[:space:]]*$/d' -e 's/\f//g' | indent
  fi
done
echo "messages it showed (its standard error; nobody has to answer them):"
indent <"$work/print.err"
echo "requests the server saw:"
sed 's/^printdata-server: //' "$work/server.err" | indent

logs="$ZOLMET_ROOT/C/Zolmet/Logs"
echo
echo "the day's logs in C:\\Zolmet\\Logs\\ ($logs), Big5 shown as UTF-8:"
for f in "$logs"/*.txt; do
  echo "--- $f"
  iconv -f CP950 -t UTF-8 "$f" | tr -d '\r' | indent
done

[ -z "$problem" ] || fail "$problem"
count=0
for job in "${jobs[@]}"; do
  grep -q '^Status=done' "$job" && count=$((count + 1))
done
[ "$count" -ge 1 ] || fail "no receipt was printed"
! LC_ALL=C grep -qs "$(printf '\xa6\x43\xa6\x4c\xa5\xa2\xb1\xd1')" "$logs"/*.txt || fail "a print failed (see the logs)"

step "7. stop the print-data server"
kill "$server"
for _ in $(seq 50); do
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$server" 2>/dev/null; then
  fail "the server did not stop within 5 s of SIGTERM"   # cleanup kills it
fi
wait "$server" 2>/dev/null || true
server=""
echo "stopped"

cat <<EOF

== done: $count receipts fetched, checked and printed on "Zolmet"
(PDF and PNG in $printed).
EOF
