#!/usr/bin/env bash
# Builds the Debian package: build/package/tzsndmsg_<version>_<arch>.deb (Release, for /usr).
#   ./package.sh            build it and print its path
#   sudo apt install ./build/package/tzsndmsg_*.deb      install it on a workstation
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DTZSNDMSG_BUILD_TESTS=OFF >/dev/null
cmake --build build/package -j "$(nproc)"
rm -f build/package/tzsndmsg_*.deb
(cd build/package && cpack -G DEB >/dev/null)
ls build/package/tzsndmsg_*.deb
