#!/bin/sh
# Installs, with apt-get, the Debian 12 packages the build and the tests need;
# packages already installed are skipped (no network is needed when all are).
set -eu
packages="cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libpng-dev zlib1g-dev nlohmann-json3-dev libcli11-dev
  libzint-dev libzxing-dev
  g++-mingw-w64-x86-64 wine64
  clang-14 libclang-rt-14-dev"
missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -q
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
