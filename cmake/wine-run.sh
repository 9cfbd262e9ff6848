#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix that belongs to the build.
# Usage: wine-run.sh win32|win64 PREFIX PROGRAM [ARGS...]
#        wine-run.sh --check-32bit
#
# The prefix is made on first use (under a lock, since ctest may start
# several programs at once). Exit code 77 (registered with ctest as
# "skipped") is given for one reason only: a 32-bit program on a kernel that
# cannot execute 32-bit code, found out by executing a tiny 32-bit ELF
# program. A missing Wine, or a prefix that cannot be made, is a failure,
# with what to install. --check-32bit prints that finding in one line and
# exits 0 when the kernel runs 32-bit code, 77 when it does not, 1 when the
# check itself could not be made.
#
# A display is needed by the GUI tests. Without DISPLAY, the programs of one
# prefix share an Xvfb display of their own, started on first use and ended
# once the prefix's wineserver has ended: every program of one wineserver
# must be on the same display, since Wine's desktop process stays on the
# display it was started on.
set -euo pipefail

# A static i386 ELF program of 96 bytes: exit(42) through int 0x80.
kElf32=7f454c46010101000000000000000000020003000100000054800408340000000000000000000000
kElf32+=3400200001000000000000000100000000000000008004080080040860000000600000000500
kElf32+=000000100000b801000000bb2a000000cd80

# Prints whether this kernel executes 32-bit code; returns 0 yes, 77 no, 1
# when the probe could not be run for another reason.
check_32bit() {
  local dir probe out rc=0 i
  dir=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")
  probe=$dir/elf32
  for ((i = 0; i < ${#kElf32}; i += 2)); do printf "\\x${kElf32:i:2}"; done >"$probe"
  chmod +x "$probe"
  out=$("$probe" 2>&1) || rc=$?
  rm -rf "$dir"
  if [ "$rc" -eq 42 ]; then
    echo "this kernel executes 32-bit programs"
    return 0
  fi
  if [[ $out == *"Exec format error"* ]]; then
    echo "this kernel cannot execute 32-bit programs (a 32-bit ELF program gives \"Exec format" \
         "error\": no IA32 emulation)"
    return 77
  fi
  echo "cannot tell whether this kernel executes 32-bit programs: the probe in ${TMPDIR:-/tmp}" \
       "gave exit code $rc: $out"
  return 1
}

if [ "${1:-}" = --check-32bit ]; then
  check_32bit && exit 0 || exit $?
fi

arch=$1 prefix=$2
shift 2
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ "$arch" = win64 ]; then
  loader=/usr/lib/wine/wine64 package=wine64
else
  loader=/usr/lib/wine/wine package=wine32:i386
  rc=0
  why=$(check_32bit) || rc=$?
  if [ "$rc" -eq 77 ]; then
    echo "wine-run: skipped: $why" >&2
    exit 77
  elif [ "$rc" -ne 0 ]; then
    echo "wine-run: FAILED: $why" >&2
    exit 1
  fi
fi
if [ ! -x "$loader" ]; then
  echo "wine-run: FAILED: $loader is missing; install $package (scripts/setup.sh does)" >&2
  exit 1
fi
if ! out=$("$loader" --version 2>&1); then
  echo "wine-run: FAILED: $loader does not run: $out; reinstall $package" >&2
  exit 1
fi
export WINELOADER=$loader
command -v wineserver >/dev/null || {
  echo "wine-run: FAILED: wineserver is missing; install wine (scripts/setup.sh does)" >&2
  exit 1
}

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    boot=$("$loader" wineboot -i 2>&1) || true
    wineserver -w || true
    if [ ! -f "$prefix/system.reg" ]; then
      echo "wine-run: FAILED: cannot make the Wine prefix $prefix: $(tail -n 5 <<<"$boot")" >&2
      exit 1
    fi
  fi
) 9>"$prefix.lock"

# --- The prefix's own display, without DISPLAY ----------------------------
# $prefix.xvfb holds "PID DISPLAY" of the Xvfb; every program holds a shared
# lock on $prefix.users while it runs; a reaper ends the Xvfb once nobody
# holds that lock and the wineserver has ended.
xvfb_alive() {
  local pid display
  read -r pid display 2>/dev/null <"$prefix.xvfb" || return 1
  kill -0 "$pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X${display#:}" ] && echo "$display"
}

if [ "${1:-}" = --reap ]; then
  # Detached: wait until no program runs and the wineserver has ended.
  exec 8>"$prefix.users"
  for ((;;)); do
    sleep 5
    flock -x 8
    if timeout 2 wineserver -w; then
      exec 9>"$prefix.lock"
      flock 9
      read -r pid _ 2>/dev/null <"$prefix.xvfb" && kill "$pid" 2>/dev/null
      rm -f "$prefix.xvfb"
      exit 0
    fi
    flock -u 8
  done
fi

if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || {
    echo "wine-run: FAILED: no DISPLAY and no Xvfb; install xvfb (scripts/setup.sh does)" >&2
    exit 1
  }
  exec 8>"$prefix.users"
  flock -s 8
  exec 9>"$prefix.lock"
  flock 9
  if ! DISPLAY=$(xvfb_alive); then
    # Xvfb picks a free display itself and writes its number once it
    # accepts connections.
    number=$prefix.xvfb.number
    rm -f "$number"
    setsid Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp 7>"$number" >/dev/null 2>&1 8>&- 9>&- &
    pid=$!
    for ((i = 0; i < 300; i++)); do
      grep -q '^[0-9]' "$number" 2>/dev/null && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if ! grep -q '^[0-9]' "$number" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      echo "wine-run: FAILED: Xvfb did not start within 30 s" >&2
      exit 1
    fi
    DISPLAY=:$(head -n 1 "$number")
    rm -f "$number"
    echo "$pid $DISPLAY" >"$prefix.xvfb"
    setsid "$0" "$arch" "$prefix" --reap </dev/null >/dev/null 2>&1 8>&- 9>&- &
  fi
  export DISPLAY
  flock -u 9
  exec 9>&-
  # The shared lock on $prefix.users (fd 8) stays with the program.
fi
exec "$loader" "$@"
