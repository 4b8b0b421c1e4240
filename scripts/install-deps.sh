#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need; skips what is present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build ccache pkg-config clang clang-format lld libclang-rt-14-dev
  zlib1g-dev libsqlite3-dev sqlite3 unixodbc-dev unixodbc libsqliteodbc
  libpugixml-dev qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev nettle-dev fonts-wqy-microhei unzip python3
  dpkg-dev file ansible-core
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root to install: ${missing[*]}" >&2
  exit 1
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
