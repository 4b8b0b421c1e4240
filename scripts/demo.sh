#!/usr/bin/env bash
# Installs what is missing, builds the release preset and makes the demo (scripts/make-demo.sh,
# build/demo/): a maker's installation of Lumo 8.2.0 and a customer's installation of 8.1.0.
# With a display the patch maker starts on the maker's side; a patch made there installs into the
# customer's side when it is started with that side's registry (the line printed says how).
# Without a display (no DISPLAY or WAYLAND_DISPLAY) the main job runs headless: the demo patch is built
# with `kestrane-cli build`, installed into the customer's side with `kestrane-cli install --yes`, and a
# before/after table shows the upgrade; then every page of both modes is drawn into build/demo/pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
cli=build/default/tools/cli/kestrane-cli

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  scripts/make-demo.sh build/demo >/dev/null
  echo "demo: the patch maker on the maker's installation build/demo/maker/lumo (Lumo 8.2.0)." >&2
  echo "demo: to install a patch made there into the customer's installation (Lumo 8.1.0), start it with" >&2
  echo "      KESTRANE_REGISTRY=$PWD/build/demo/customer/registry.reg PATCH.exe" >&2
  echo "      (build/demo/manifest.json answers the maker's pages for: $cli build build/demo/manifest.json)" >&2
  KESTRANE_REGISTRY="$PWD/build/demo/maker/registry.reg" exec build/default/Kestrane.exe "$@"
fi

echo "demo: no display here; making a patch on the maker's side and installing it into the customer's" >&2
status=0
scripts/demo-upgrade.sh "$cli" build/demo || status=$?
echo
echo "demo: drawing every page of both modes offscreen" >&2
rm -rf build/demo/pictures
QT_QPA_PLATFORM=offscreen build/default/tools/screenshots/kestrane-screenshots build/demo/pictures >/dev/null
echo "demo: pictures in build/demo/pictures ($(ls build/demo/pictures | wc -l) pages)"
exit $status
