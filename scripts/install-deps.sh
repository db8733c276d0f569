#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need
# (zint and zbar-tools are test oracles for bar codes; libzint-dev is
# linked by the bench only; cups, cups-client and printer-driver-cups-pdf
# give the cups tests a scheduler and a queue that writes PDFs; strace
# shows the tests which names a print places and which folders it syncs);
# with --fuzz (CI) also clang and libclang-rt-14-dev, which holds libFuzzer
# and clang's sanitizer runtimes, for fuzz/build.sh.
# Does nothing when they are all there; needs root to install.
set -euo pipefail
pkgs=(
  g++ cmake ninja-build make pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libcairo2-dev libfontconfig-dev libpng-dev zlib1g-dev
  fonts-arphic-bkai00mp fonts-arphic-bsmi00lp fonts-liberation
  poppler-utils zint zbar-tools libzint-dev
  cups cups-client printer-driver-cups-pdf
  strace
)
if [ "${1:-}" = "--fuzz" ]; then
  pkgs+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing Debian packages (run as root to install): ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
