#!/usr/bin/env bash
# Draws every page of both modes with tools/screenshots and puts the pictures the documentation shows
# into docs/images under the names it uses ("-": a picture the documentation does not show). A page the
# map below does not know stops the script, so that a new page is not left out of the guide unnoticed.
#   scripts/doc-images.sh [BUILD_DIR]      (default build/default; build it first)
set -euo pipefail
cd "$(dirname "$0")/.."
tool="${1:-build/default}/tools/screenshots/kestrane-screenshots"
[ -x "$tool" ] || { echo "doc-images: build $tool first" >&2; exit 1; }
declare -A names=(
  [maker-1-welcome]=welcome-maker [maker-2-type]=maker-type [maker-3-database]=maker-database
  [maker-4-account-sets]=maker-account-sets [maker-5-build]=maker-build
  [maker-6-design-program]=designer-program [maker-7-design-account-sets]=designer-account-sets
  [maker-8-design-table]=designer-account-sets-table [maker-9-design-script]=designer-account-sets-script
  [maker-10-design-config]=designer-config [maker-11-progress]=maker-progress [maker-12-finish]=maker-finish
  [installer-0-no-patch]=- [installer-1-welcome]=welcome-installer
  [installer-2-folder]=installer-folder [installer-3-account-sets]=installer-account-sets
  [installer-4-org-units]=installer-org-units [installer-5-progress]=installer-progress
  [installer-6-finish-failed]=installer-finish-failed [installer-7-detail]=installer-detail
  [installer-8-finish-after-run]=installer-finish
)
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
QT_QPA_PLATFORM=offscreen "$tool" "$scratch" >/dev/null
for picture in "$scratch"/*.png; do
  page="$(basename "$picture" .png)"
  [ -n "${names[$page]:-}" ] || { echo "doc-images: no name in docs/images for the page $page" >&2; exit 1; }
  [ "${names[$page]}" = - ] || cp "$picture" "docs/images/${names[$page]}.png"
done
echo "doc-images: $(ls "$scratch" | wc -l) pictures in docs/images"
