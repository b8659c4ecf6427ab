#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config ccache
          qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql qt6-qpa-plugins
          libgtest-dev libbenchmark-dev
          postgresql-15 postgresql-client-15 openssl
          fonts-dejavu-core xvfb xauth python3 python3-icalendar
          dpkg-dev lintian clang-format clang-tidy)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages; run as root or install them: ${missing[*]}" >&2
    exit 2
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
