#!/usr/bin/env bash
# Installs what is missing, builds the test preset (ASan + UBSan, warnings as errors) and runs ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset test >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
