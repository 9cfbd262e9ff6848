#!/bin/bash
# In the kernel test's guest, through Wine's own HID stack (its bus driver
# reads the hidraw nodes, and hears of devices through udev): the Windows
# penflash.exe updates the virtual pen, then FlashWizard.exe on the real
# Penlink.dll is driven as its user would in three runs, each on a pen of its
# own: the whole update, a refused pen, an unplug during the transfer.
#   kernel-wine.sh VIRTUALPEN PENFLASH_EXE IMAGE OUTDIR DRIVER_EXE FLASHWIZARD_EXE PENLINK_DLL WIZARD_IMAGE
# IMAGE is the one penflash.exe sends, WIZARD_IMAGE the one built into that
# FlashWizard.exe. OUTDIR holds the Wine prefix made on the host
# (OUTDIR/prefix, announced by OUTDIR/prefix.ready). Writes OUTDIR/summary
# and OUTDIR/status (0: passed); each pen's transcript and each driver's
# output are kept in OUTDIR, with a screenshot when a wizard run failed.
set -u
vp=$1 exe=$2 image=$3 out=$4 driver=$5 wizard=$6 dll=$7 wizard_image=$8
wine=/usr/lib/wine/wine64
failures=0
pen=
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
finish() {
    [ -n "$pen" ] && kill -TERM "$pen" 2>/dev/null
    wineserver -k 2>/dev/null
    echo $failures >"$out/status"
    exit 0
}

# Whether SetupAPI lists the pen now (penflash.exe list exits with 0).
pen_listed() { (cd /tmp && "$wine" /tmp/penflash.exe list >/tmp/list.out 2>&1 </dev/null); }
# Waits up to a minute for SetupAPI to list the pen. Wine's bus can miss a
# pen that arrives while it runs; a new wineserver (and with it a new bus)
# then finds it, so the wait is made once more after one.
wait_until_listed() {
    local round end
    for round in 1 2; do
        end=$((SECONDS + 60))
        while [ $SECONDS -lt $end ]; do
            pen_listed && return 0
            sleep 0.5
        done
        [ $round = 1 ] || break
        say "Wine's HID stack did not list the pen $1 within a minute; starting a new wineserver"
        wineserver -k; wineserver -w; wineserver -p
    done
    return 1
}

# Starts the pen of scenario $1 for run $2, waits until the kernel has made
# its node and until Wine lists it.
start_pen() {
    rm -f "/tmp/$2.ready" "/tmp/$2.image"
    "$vp" "$1" --transcript "$out/$2.transcript" --image-out "/tmp/$2.image" --ready "/tmp/$2.ready" \
        >"/tmp/$2.pen" 2>&1 &
    pen=$!
    if ! wait_for "/tmp/$2.ready" 60; then
        fail "$2: the virtual pen did not become ready: $(tail -n 2 "/tmp/$2.pen")"
        stop_pen
        return 1
    fi
    if ! wait_until_listed "$2"; then
        fail "$2: Wine's HID stack does not list the pen: $(tail -n 2 /tmp/list.out)"
        stop_pen
        return 1
    fi
}
# Stops the pen; pen_status is its exit code (3: it saw a protocol violation).
stop_pen() {
    kill -TERM "$pen"; wait "$pen"; pen_status=$?
    pen=
}

# What Wine needs of a system: shared memory, a terminal, a display, udev.
mkdir -p /dev/shm /dev/pts
mount -t tmpfs shm /dev/shm && mount -t tmpfs run /run && mount -t devpts devpts /dev/pts ||
    { fail "cannot mount /dev/shm, /run or /dev/pts"; finish; }
Xvfb :99 -screen 0 800x600x24 >/tmp/xvfb.log 2>&1 &
wait_for /tmp/.X11-unix/X99 60 || { fail "Xvfb did not start: $(tail -n 2 /tmp/xvfb.log)"; finish; }
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || { fail "systemd-udevd did not start"; finish; }
wait_for "$out/prefix.ready" 240 || { fail "the host made no Wine prefix"; finish; }
# Run from the read-only root, the programs end at once with 1.
mkdir -p /tmp/wizard
cp "$exe" /tmp/penflash.exe && cp "$driver" /tmp/kernel_wizard_driver.exe &&
    cp "$wizard" /tmp/wizard/FlashWizard.exe && cp "$dll" /tmp/wizard/Penlink.dll ||
    { fail "cannot copy the programs to /tmp"; finish; }

# One wineserver for the whole run, kept when no program is left; its first
# start makes the prefix ready for this machine and can take minutes.
export WINEPREFIX=$out/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=:99
begun=$SECONDS
wineserver -p
(cd /tmp && "$wine" /tmp/penflash.exe --version >/dev/null 2>&1 </dev/null)
say "wine_start_s $((SECONDS - begun))"

# penflash.exe updates the pen.
start_pen normal penflash || finish
begun=$SECONDS
(cd /tmp && "$wine" /tmp/penflash.exe update --yes --json --image "Z:${image//\//\\}" \
    >/tmp/wine.json 2>/tmp/wine.err </dev/null)
code=$?
stop_pen
[ $code = 0 ] || fail "penflash.exe update ended with $code: $(tail -n 2 /tmp/wine.err)"
[ $pen_status = 0 ] || fail "the virtual pen ended with $pen_status: $(tail -n 1 /tmp/penflash.pen)"
cmp -s /tmp/penflash.image "$image" || fail "the pen did not receive the image byte for byte"
transfer=$(grep -o '"transfer": *[0-9.]*' /tmp/wine.json | cut -d: -f2 | tr -d ' ')
say "wine_transfer_ms ${transfer:-unknown}"
say "done wine in $((SECONDS - begun)) s: penflash.exe update $code, pen: $(tail -n 1 /tmp/penflash.pen)"

# FlashWizard.exe, driven window by window; the driver checks the windows,
# this checks what the pen received.
wizard_size=$(stat -c %s "$wizard_image")
for scenario in normal refused unplug-during-transfer; do
    run=wizard-$scenario
    start_pen "$scenario" "$run" || continue
    begun=$SECONDS
    (cd /tmp && "$wine" /tmp/kernel_wizard_driver.exe "$scenario" 'Z:\tmp\wizard\FlashWizard.exe' \
        "Z:${out//\//\\}" >"$out/$run.driver" 2>&1 </dev/null)
    code=$?
    took=$((SECONDS - begun))
    stop_pen
    [ $code = 0 ] || fail "$run: the wizard's driver ended with $code:
$(grep -v '^\[' "$out/$run.driver" | tail -n 12)"
    [ $pen_status = 0 ] || fail "$run: the virtual pen ended with $pen_status: $(tail -n 1 "/tmp/$run.pen")"
    received=/tmp/$run.image
    case $scenario in
        normal)
            cmp -s "$received" "$wizard_image" ||
                fail "$run: the pen did not receive the wizard's image byte for byte ($(stat -c %s "$received") of $wizard_size bytes)" ;;
        unplug-during-transfer)
            # Unplugged after 100 blocks of 56 bytes.
            [ "$(stat -c %s "$received")" = 5600 ] && cmp -s -n 5600 "$received" "$wizard_image" ||
                fail "$run: the pen did not receive the first 100 blocks of the wizard's image exactly" ;;
        *)
            [ ! -s "$received" ] || fail "$run: the pen received image bytes" ;;
    esac
    say "wizard $scenario ${took} s: driver $code, pen: $(tail -n 1 "/tmp/$run.pen")"
done
finish
