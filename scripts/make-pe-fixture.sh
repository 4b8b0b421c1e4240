#!/usr/bin/env bash
# Builds the small Windows executables of tests/data/pe/ with the mingw-w64 resource compiler and
# linker, so that the PE resource reader is tested against what a real toolchain writes.
# The outputs are checked in; CI never runs this script.
#
#   rcdata64.exe  PE32+ (x86-64)    rcdata32.exe  PE32 (i386)
#
# Both carry, in language 0, RCDATA "PARAMDATA", "FILEDATA", "INSTDATA" (the bytes of the .bin files
# beside them) and an empty RCDATA "EMPTY"; RCDATA #7 in language 0x0804; and a resource of the named
# type "KVTYPE" called "NOTES".
set -euo pipefail

out="$(cd "$(dirname "$0")/.." && pwd)/tests/data/pe"
mkdir -p "$out"

need=()
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v i686-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-i686)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "make-pe-fixture: run as root to install: ${need[*]}" >&2
    exit 1
  fi
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}" </dev/null
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Known payloads: a stream-like header, every byte value, and text with an embedded zero.
printf 'TPF0\016TBaseParamInfo\000\000\000' >"$out/paramdata.bin"
for i in $(seq 0 299); do printf "\\$(printf '%03o' $((i % 256)))"; done >"$out/filedata.bin"
printf 'INSTDATA\000\r\nend' >"$out/instdata.bin"
: >"$work/empty.bin"
printf 'seven' >"$work/seven.bin"
printf 'notes' >"$work/notes.bin"

cat >"$work/res.rc" <<EOF
LANGUAGE 0, 0
PARAMDATA RCDATA "$out/paramdata.bin"
FILEDATA RCDATA "$out/filedata.bin"
INSTDATA RCDATA "$out/instdata.bin"
EMPTY RCDATA "$work/empty.bin"
NOTES KVTYPE "$work/notes.bin"
LANGUAGE 4, 2
7 RCDATA "$work/seven.bin"
EOF

cat >"$work/start.s" <<'EOF'
    .text
    .globl start
    .globl _start
start:
_start:
    ret
EOF

build() {  # prefix, output, ld emulation-specific options
  local p=$1 exe=$2
  shift 2
  "$p-as" -o "$work/$p-start.o" "$work/start.s"
  "$p-windres" --preprocessor=cpp -O coff -i "$work/res.rc" -o "$work/$p-res.o"
  "$p-ld" --no-insert-timestamp -s -nostdlib --subsystem console "$@" \
    -o "$out/$exe" "$work/$p-start.o" "$work/$p-res.o"
}

build x86_64-w64-mingw32 rcdata64.exe -e start
build i686-w64-mingw32 rcdata32.exe -e _start

ls -l "$out"
