#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix that belongs to the build.
# Usage: wine-run.sh win32|win64 PREFIX PROGRAM [ARGS...]
# The prefix is made on first use (under a lock, since ctest may start several
# programs at once). A display is needed by the GUI tests; without one an Xvfb
# display is started for the duration of the program.
# Exit code 77 (registered with ctest as "skipped") means that this machine
# cannot start Wine programs of that kind at all, for example 32-bit ones on a
# kernel that runs no 32-bit code; the reason is printed.
set -euo pipefail
arch=$1 prefix=$2
shift 2
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ "$arch" = win64 ]; then
  loader=/usr/lib/wine/wine64
else
  loader=/usr/lib/wine/wine
fi
if [ ! -x "$loader" ]; then
  echo "wine-run: $loader is missing (install wine64, and wine32:i386 for 32-bit)" >&2
  exit 77
fi
if ! out=$("$loader" --version 2>&1); then
  echo "wine-run: this machine cannot run $loader: $out" >&2
  exit 77
fi
export WINELOADER=$loader

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$loader" wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
) 9>"$prefix.lock"
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$loader" "$@"
fi
exec "$loader" "$@"
