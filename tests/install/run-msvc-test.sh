#!/usr/bin/env bash
# Checks Penlink.dll for callers built with Microsoft's toolchain, with
# clang's MSVC target and lld-link standing in for it.
# Usage: run-msvc-test.sh names|caller BUILD_DIR win32|win64
#   names:  every call that Penlink.h declares is exported by both builds of
#           Penlink.dll (the real and the emulated one) under the name that
#           the MSVC target makes from its declaration, and every call
#           exported under its GNU name has such a name too.
#   caller: tests/install/msvc/MsvcCaller.cpp, with no C runtime, is
#           compiled for the MSVC target, linked with lld-link against the
#           SDK's Penlink.lib from the ZIP (and kernel32 and user32 import
#           libraries made here), and updates the emulated pen under Wine.
set -euo pipefail
mode=$1
build=$(cd "$2" && pwd)
arch=$3
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $arch in
  win64) target=x86_64-pc-windows-msvc machine=i386:x86-64 defines=() ;;
  # The MinGW headers name the 32-bit machine for the MSVC target this way.
  win32) target=i686-pc-windows-msvc machine=i386 defines=(-D_X86_) ;;
  *) echo "unknown architecture $arch"; exit 1 ;;
esac
for tool in clang lld-link llvm-dlltool llvm-nm llvm-readobj; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh"; exit 1; }
done
# The MinGW headers serve for the MSVC target when clang says it is GCC 4.2.1
# (they then leave out what only newer GCCs have).
compile() {  # compile SOURCE OBJECT
  clang --target="$target" -fgnuc-version=4.2.1 -fms-extensions -nostdinc \
    -isystem "$(clang -print-resource-dir)/include" -isystem /usr/share/mingw-w64/include \
    "${defines[@]}" -DUNICODE -DWIN32_LEAN_AND_MEAN -I"${include_dir:-$source_dir/penlink}" \
    -O2 -fno-exceptions -fno-rtti -fno-stack-protector -c "$1" -o "$2"
}
exports_of() {  # the names a DLL exports, one a line
  llvm-readobj --coff-exports "$1" | sed -n 's/^ *Name: //p' | sort
}
# Each call's GNU and MSVC export must be the same function: "FWUInit
# 0x14B0 0x14B0" a line (the call, the address of each name), and a call
# that has only one of the two names shows "-" for the other.
aliases_of() {
  local name rva line
  declare -A gnu=() msvc=()
  while read -r line; do
    case $line in
      Name:*) name=${line#Name: } ;;
      RVA:*)
        rva=${line#RVA: }
        if [[ $name =~ ^_Z([0-9]+)(FWU.*)$ ]]; then
          gnu[${BASH_REMATCH[2]:0:${BASH_REMATCH[1]}}]=$rva
        elif [[ $name =~ ^\?(FWU[A-Za-z0-9_]*)@@ ]]; then
          msvc[${BASH_REMATCH[1]}]=$rva
        fi
        ;;
    esac
  done < <(llvm-readobj --coff-exports "$1" | sed 's/^ *//')
  for name in $(printf '%s\n' "${!gnu[@]}" "${!msvc[@]}" | sort -u); do
    echo "$name ${gnu[$name]:--} ${msvc[$name]:--}"
  done
}

if [ "$mode" = names ]; then
  compile "$here/msvc/TakeAddresses.cpp" "$work/calls.obj"
  llvm-nm -u "$work/calls.obj" | sed -n 's/^ *U __imp_//p' | sort >"$work/wanted"
  [ -s "$work/wanted" ] || { echo "the MSVC target named no call of Penlink.h"; exit 1; }
  echo "== the names of Microsoft's compiler, from Penlink.h"
  cat "$work/wanted"
  failed=0
  for dll in "$build/bin/Penlink.dll" "$build/bin/emulated/Penlink.dll"; do
    exports_of "$dll" >"$work/exports"
    missing=$(comm -23 "$work/wanted" "$work/exports")
    if [ -n "$missing" ]; then
      echo "$dll does not export:"; echo "$missing"; failed=1
    fi
    # A call exported under its GNU name must have its MSVC name too, on the
    # same function: a call added to the header without a line in the .def,
    # or a line that names another call's function, is caught here.
    wrong=$(aliases_of "$dll" | awk '$2 != $3')
    if [ -n "$wrong" ]; then
      echo "$dll: calls whose GNU and MSVC names are not one function (call, GNU, MSVC):"
      echo "$wrong"
      failed=1
    fi
  done
  [ $failed -eq 0 ] && echo "msvc names test passed"
  exit $failed
fi

echo "== the SDK from the ZIP"
(cd "$build" && cpack -G ZIP -B "$work/pack" >/dev/null)
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$work"/pack/*.zip)
sdk=$work/unpacked/SDK
[ -f "$sdk/lib/Penlink.lib" ] || { echo "the SDK has no lib/Penlink.lib"; exit 1; }

echo "== building the caller with the MSVC target and lld-link"
for dll in kernel32 user32; do
  if [ "$arch" = win64 ]; then
    sed 's/@[0-9]*$//' "$here/msvc/$dll.def" >"$work/$dll.def"
    llvm-dlltool -m "$machine" -d "$work/$dll.def" -l "$work/$dll.lib"
  else
    llvm-dlltool -m "$machine" -k -d "$here/msvc/$dll.def" -l "$work/$dll.lib"
  fi
done
include_dir=$sdk/include compile "$here/msvc/MsvcCaller.cpp" "$work/caller.obj"
mkdir "$work/run"
lld-link -nologo -entry:Start -subsystem:console -nodefaultlib -out:"$work/run/MsvcCaller.exe" \
  "$work/caller.obj" "$sdk/lib/Penlink.lib" "$work/kernel32.lib" "$work/user32.lib"
llvm-readobj --coff-imports "$work/run/MsvcCaller.exe" | sed -n 's/^ *\(Name\|Symbol\): /  /p'
cp "$build/bin/emulated/Penlink.dll" "$work/run/"

echo "== running it under Wine on the emulated pen"
rc=0
out=$(PENLINK_EMULATOR=normal "$source_dir/cmake/wine-run.sh" "$arch" "$build/wineprefix" \
        "$work/run/MsvcCaller.exe" 2>&1) || rc=$?
echo "$out"
[ "$rc" -ne 77 ] || exit 77
[ "$rc" -eq 0 ] && grep -q "msvc caller: update complete" <<<"$out"
echo "msvc caller test passed"
