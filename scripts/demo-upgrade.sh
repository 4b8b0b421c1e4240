#!/usr/bin/env bash
# The main job without a window: makes the demo (scripts/make-demo.sh), builds the demo patch on the
# maker's side with `kestrane-cli build`, installs it into the customer's side with `kestrane-cli install
# --yes` and prints what changed there.
#   scripts/demo-upgrade.sh KESTRANE_CLI [OUT]      (OUT defaults to build/demo)
# Exit status: that of the install (0 completed, 1 failed or stopped).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: $0 KESTRANE_CLI [OUT]" >&2; exit 2; }
cli="$(realpath "$1")"
out="${2:-build/demo}"
scripts/make-demo.sh "$out" >/dev/null
out="$(realpath "$out")"
customer="$out/customer/lumo"
python3 scripts/demo_report.py facts "$customer" >"$out/before.json"

echo "demo: building the patch on the maker's side ($out/maker)" >&2
KESTRANE_REGISTRY="$out/maker/registry.reg" "$cli" build "$out/manifest.json" --yes >"$out/build.txt"
patch="$(sed -n 's/^patch written: //p' "$out/build.txt")"

echo "demo: installing $(basename "$patch") into the customer's side ($out/customer)" >&2
status=0
# SHOP01 names its organisation unit already; SHOP02 is given one.
KESTRANE_REGISTRY="$out/customer/registry.reg" "$cli" install "$patch" --all-sets --org SHOP02=0102 --yes \
  >"$out/install.txt" || status=$?

python3 scripts/demo_report.py facts "$customer" >"$out/after.json"
echo
echo "The customer's installation before and after the patch (* changed):"
python3 scripts/demo_report.py table "$out/before.json" "$out/after.json" "$out/install.txt"
echo
echo "The run's full log: $out/install.txt; upgrade log: $customer/PatchLog.log; backups: $customer/BackUp/EMBEDDED/"
exit $status
