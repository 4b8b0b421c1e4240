#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts the patch maker.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
exec build/default/Kestrane.exe "$@"
