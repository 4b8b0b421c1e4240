#!/usr/bin/env bash
# Installs what is missing, builds the release preset, makes the demo Lumo installation
# (scripts/make-demo.sh, build/demo/) and starts the patch maker on it.
# Without a display (no DISPLAY or WAYLAND_DISPLAY) a window cannot be used, so the maker and an
# installer copy are started offscreen instead: each draws its first page into build/default/demo/
# and ends, and the script says where the pictures are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
scripts/make-demo.sh build/demo >/dev/null
export KESTRANE_REGISTRY="$PWD/build/demo/registry.reg"
echo "demo: the installation in build/demo/lumo ($(build/default/tools/cli/kestrane-cli discover build/demo/lumo --json | grep -c '"dbName"') account sets)" >&2
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/default/Kestrane.exe "$@"
fi
echo "demo: no display here; drawing the first pages offscreen instead" >&2
out=build/default/demo
mkdir -p "$out"
cp build/default/Kestrane.exe "$out/Kestrane.exe"
# Any other name is the installer; this copy carries no patch, so it reports that and shows no page.
cp build/default/Kestrane.exe "$out/Patch.exe"
QT_QPA_PLATFORM=offscreen "$out/Kestrane.exe" --screenshot "$out/maker.png"
QT_QPA_PLATFORM=offscreen "$out/Patch.exe" --screenshot "$out/installer.png" || true
cmake --build --preset default --target kestrane-screenshots >/dev/null
build/default/tools/screenshots/kestrane-screenshots "$out/pages"
echo "demo: pictures in $out (every page of both modes in $out/pages)" >&2
