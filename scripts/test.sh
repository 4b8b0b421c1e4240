#!/usr/bin/env bash
# Installs what is missing, checks the format of the C++ files, builds the test preset (ASan + UBSan, warnings as errors) and runs ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh
cmake --preset test >/dev/null
cmake --build --preset test -j "$(nproc)"
ctest --preset test -j "$(nproc)"
