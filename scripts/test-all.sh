#!/usr/bin/env bash
# Builds every preset and runs all their tests: linux, linux-asan,
# linux-tsan, win32 and win64 (the Windows ones under Wine, on an Xvfb
# display). Pass preset names to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan linux-tsan win32 win64)

xvfb_pid=
cleanup() {
  for p in "${presets[@]}"; do
    case $p in win*) WINEPREFIX=$PWD/build/$p/wineprefix wineserver -k 2>/dev/null || true ;; esac
  done
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

failed=()
for p in "${presets[@]}"; do
  echo "=== $p"
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p"
  case $p in
    win*)
      if [ -z "${DISPLAY:-}" ]; then
        display=:$((90 + RANDOM % 100))
        Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=$display
      fi
      # One wineserver for the whole run: each program start is then cheap.
      arch=win64; [ "$p" = win32 ] && arch=win32
      prefix=$PWD/build/$p/wineprefix
      cmake/wine-run.sh "$arch" "$prefix" cmd /c exit 0 >/dev/null 2>&1 || true
      WINEPREFIX=$prefix wineserver -p 2>/dev/null || true
      ;;
  esac
  ctest --preset "$p" || failed+=("$p")
done
# With the full set of presets, the fuzz targets run for a short while too.
if [ $# -eq 0 ]; then
  scripts/fuzz.sh "${PENLINK_FUZZ_SECONDS:-20}" || failed+=(fuzz)
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED presets: ${failed[*]}"
  exit 1
fi
echo "all presets passed: ${presets[*]}"
