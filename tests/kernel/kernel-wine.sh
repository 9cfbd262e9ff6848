#!/bin/bash
# In the kernel test's guest: the Windows penflash.exe under Wine, through
# Wine's own HID stack (its bus driver reads the hidraw nodes, and hears of
# devices through udev), updates the virtual pen.
#   kernel-wine.sh VIRTUALPEN PENFLASH_EXE IMAGE OUTDIR
# OUTDIR holds the Wine prefix made on the host (OUTDIR/prefix, announced by
# OUTDIR/prefix.ready). Writes OUTDIR/summary and OUTDIR/status (0: passed).
set -u
vp=$1 exe=$2 image=$3 out=$4
failures=0
say() { echo "kernel-test: $*"; echo "$*" >>"$out/summary"; }
fail() { say "FAIL $*"; failures=$((failures + 1)); }
# Waits until FILE exists, looking every 50 ms, for at most SECONDS.
wait_for() {
    local tries=$(($2 * 20))
    while [ ! -e "$1" ]; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || return 1
        sleep 0.05
    done
}
finish() { echo $failures >"$out/status"; exit 0; }

# What Wine needs of a system: shared memory, a terminal, a display, udev.
mkdir -p /dev/shm /dev/pts
mount -t tmpfs shm /dev/shm && mount -t tmpfs run /run && mount -t devpts devpts /dev/pts ||
    { fail "cannot mount /dev/shm, /run or /dev/pts"; finish; }
Xvfb :99 -screen 0 800x600x24 >/tmp/xvfb.log 2>&1 &
wait_for /tmp/.X11-unix/X99 60 || { fail "Xvfb did not start: $(tail -n 2 /tmp/xvfb.log)"; finish; }
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || { fail "systemd-udevd did not start"; finish; }
wait_for "$out/prefix.ready" 240 || { fail "the host made no Wine prefix"; finish; }
# Run from the read-only root, penflash.exe ends at once with 1.
cp "$exe" /tmp/penflash.exe

"$vp" normal --transcript "$out/wine.transcript" --image-out /tmp/wine.image --ready /tmp/wine.ready \
    >/tmp/wine.pen 2>&1 &
pen=$!
wait_for /tmp/wine.ready 60 || { fail "the virtual pen did not become ready"; kill $pen; finish; }

export WINEPREFIX=$out/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=:99
begun=$SECONDS
(cd /tmp && /usr/lib/wine/wine64 /tmp/penflash.exe update --yes --json --image "Z:${image//\//\\}" \
    >/tmp/wine.json 2>/tmp/wine.err </dev/null)
code=$?
kill -TERM $pen; wait $pen; pen_status=$?
[ $code = 0 ] || fail "penflash.exe update ended with $code: $(tail -n 2 /tmp/wine.err)"
[ $pen_status = 0 ] || fail "the virtual pen ended with $pen_status: $(tail -n 1 /tmp/wine.pen)"
cmp -s /tmp/wine.image "$image" || fail "the pen did not receive the image byte for byte"
transfer=$(grep -o '"transfer": *[0-9.]*' /tmp/wine.json | cut -d: -f2 | tr -d ' ')
say "wine_transfer_ms ${transfer:-unknown}"
say "done wine in $((SECONDS - begun)) s: penflash.exe update $code, pen: $(tail -n 1 /tmp/wine.pen)"
finish
