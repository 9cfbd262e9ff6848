#!/usr/bin/env bash
# Packs the Windows ZIP, checks what it holds, builds the SDK's example from
# the ZIP's contents alone with the mingw compiler, and runs it under Wine
# against the emulated library.
# Usage: run-sdk-test.sh BUILD_DIR CXX win32|win64 [STANDIN]
# STANDIN ON: the build carries the stand-in image, which the ZIP's name says.
set -euo pipefail
build=$(cd "$1" && pwd)
cxx=$2 arch=$3 standin=${4:-OFF}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -C RelWithDebInfo -B "$work/pack" >/dev/null)
zip=$(ls "$work"/pack/*.zip)
echo "== $(basename "$zip")"
case "$(basename "$zip")" in *-stand-in.zip) said=ON ;; *) said=OFF ;; esac
[ "$said" = "$standin" ] || {
  echo "the ZIP's name must say stand-in exactly when the build carries the stand-in image"
  exit 1
}
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
(cd "$work/unpacked" && find . -type f | sort)
for f in FlashWizard.exe Penlink.dll SDK/README.md SDK/include/Penlink.h SDK/lib/Penlink.dll.a \
         SDK/bin/Penlink.dll SDK/example/PenExample.cpp; do
  [ -f "$work/unpacked/$f" ] || { echo "missing from the ZIP: $f"; exit 1; }
done

echo "== building the example from the ZIP"
sdk=$work/unpacked/SDK
mkdir "$work/run"
"$cxx" -std=c++17 -static -I"$sdk/include" "$sdk/example/PenExample.cpp" "$sdk/lib/Penlink.dll.a" \
  -o "$work/run/PenExample.exe"
cp "$build/bin/emulated/Penlink.dll" "$work/run/"

echo "== running it under Wine on the emulated pen"
export PENLINK_EMULATOR=update-mode
out=$("$source_dir/cmake/wine-run.sh" "$arch" "$build/wineprefix" "$work/run/PenExample.exe" 2>&1) || rc=$?
echo "$out"
[ "${rc:-0}" -ne 77 ] || exit 77
[ "${rc:-0}" -eq 0 ] && grep -q "update complete" <<<"$out"
echo "sdk test passed"
