#!/bin/bash
# The kernel test: the virtual pen on the kernel's HID stack with the real
# penflash and the real libpenlink.so, in every scenario, compared with the
# emulator. Where /dev/uhid is usable it runs here; otherwise it boots the
# distribution's kernel in QEMU (TCG) with a busybox initramfs made now, the
# host's / as the guest's read-only root over virtio-9p, and runs there.
#   run-kernel-test.sh VIRTUALPEN PENFLASH CLIENT EMULATED_LIBDIR RULE
#   run-kernel-test.sh --wine VIRTUALPEN PENFLASH_EXE DRIVER_EXE FLASHWIZARD_EXE PENLINK_DLL WIZARD_IMAGE
# The second form, always in the guest and through Wine's own HID stack,
# updates the virtual pen with the Windows penflash.exe, then drives
# FlashWizard.exe (carrying WIZARD_IMAGE) on the real PENLINK_DLL with the
# wizard driver DRIVER_EXE: an update, a refused pen, an unplug.
# Exit 0 passed, 1 failed, 77 skipped (a part is missing; with CI=true that
# fails instead). Needs: qemu-system-x86, linux-image-amd64, busybox-static,
# kmod; with --wine also wine64, xvfb and udev.
set -u
if [ "$1" = --wine ]; then
    vp=$2 wine=$3 driver=$4 wizard=$5 dll=$6 wizard_image=$7 penflash= client= emulated= rule=
else
    vp=$1 penflash=$2 client=$3 emulated=$4 rule=$5 wine= driver= wizard= dll= wizard_image=
fi
here=$(cd "$(dirname "$0")" && pwd)
# The Wine form starts Wine programs (and the wizard three times) under TCG.
default_budget=360
[ -n "$wine" ] && default_budget=480
budget=${PENLINK_KERNEL_TEST_SECONDS:-$default_budget}
started=$SECONDS
scenarios="normal update-mode never-returns refused silent bad-start-ack bad-image-ack slow-image-ack unplug-during-transfer"

work=$(mktemp -d /tmp/penlink-kernel-test.XXXXXX)
qemu_pid=
cleanup() {
    [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

missing() {
    echo "kernel test: $*"
    if [ "${CI:-}" = true ]; then
        echo "kernel test: FAILED (CI=true: a missing part is a failure; scripts/setup.sh installs it)"
        exit 1
    fi
    echo "kernel test: skipped"
    exit 77
}

# Kernel-side expectations: penflash's exit codes (the README's table) and
# the library calls' results as the emulated library gives them.
mkdir -p "$work/out"
image=$work/out/image.bin
head -c 53257 /dev/urandom >"$image"   # 950 full blocks and one of 57 bytes
declare -A codes=(
    [normal]="0 0 0" [update-mode]="0 0 0" [never-returns]="0 0 5" [refused]="0 4 4"
    [silent]="0 4 4" [bad-start-ack]="0 0 6" [bad-image-ack]="0 0 6"
    [slow-image-ack]="0 0 0" [unplug-during-transfer]="0 0 6")
expect_emulator() {
    for s in $scenarios; do
        local wait=60000
        [ "$s" = never-returns ] && wait=5000
        local line
        line=$(LD_LIBRARY_PATH=$emulated PENLINK_EMULATOR=$s "$client" "$image" $wait 2>/dev/null)
        echo "$s ${codes[$s]} $line"
    done >"$work/expected"
    "$penflash" update --emulate normal --yes --json --image "$image" 2>/dev/null |
        grep -o '"transfer": *[0-9.]*' | cut -d: -f2 | tr -d ' ' >"$work/emulator_ms"
}

# The update recorded on the virtual pen, played back here on the emulator:
# the same reports, byte for byte, and the same verified pen.
replay() {
    local out=$1 got
    [ -n "$penflash" ] && [ -s "$out/normal.record" ] || return 0
    "$penflash" update --emulate "replay:$out/normal.record" --yes --json --image "$image" \
        >"$out/replay.json" 2>"$out/replay.err"; got=$?
    if [ $got = 0 ] && grep -q '"outcome": "verified"' "$out/replay.json"; then
        echo "replay of the recorded update: passed" >>"$out/summary"
    else
        echo "FAIL replay of the recorded update exited with $got: $(grep -m1 -A12 'violation' "$out/replay.err" || tail -n 2 "$out/replay.err")" >>"$out/summary"
        echo 1 >"$out/status"
    fi
}

report() {
    local out=$1
    replay "$out"
    echo "---- summary"
    cat "$out/summary" 2>/dev/null
    local kernel_ms emulator_ms
    kernel_ms=$(sed -n 's/^transfer_ms //p' "$out/summary" 2>/dev/null)
    emulator_ms=$(cat "$work/emulator_ms" 2>/dev/null)
    if [ -n "$kernel_ms" ] && [ -n "$emulator_ms" ]; then
        awk -v k="$kernel_ms" -v e="$emulator_ms" 'BEGIN {
            printf "kernel test: transfer of 53,257 bytes: %.0f ms through the kernel, %.0f ms on the emulator (paced at 1 ms a report): ratio %.2f\n", k, e, (e > 0 ? k / e : 0) }'
    fi
    local wine_ms
    wine_ms=$(sed -n 's/^wine_transfer_ms //p' "$out/summary" 2>/dev/null)
    if [ -n "$wine_ms" ]; then
        echo "kernel test: transfer of 53,257 bytes by penflash.exe through Wine's HID stack: $wine_ms ms"
    fi
    sed -n 's/^wizard \([^ ]*\) \([0-9]*\) s:.*/kernel test: FlashWizard.exe run \1: \2 s/p' "$out/summary" 2>/dev/null
    echo "kernel test: took $((SECONDS - started)) s"
    if [ "$(cat "$out/status" 2>/dev/null)" = 0 ]; then
        echo "kernel test: passed"
        exit 0
    fi
    echo "kernel test: FAILED"
    for f in "$out"/*.transcript; do
        [ -e "$f" ] && { echo "---- last lines of $(basename "$f")"; tail -n 5 "$f"; }
    done
    # Screenshots of failed wizard runs go beside the build's others.
    if [ -n "$wine" ] && ls "$out"/*.png >/dev/null 2>&1; then
        local shots
        shots=$(cd "$(dirname "$wine")/.." && pwd)/screenshots
        mkdir -p "$shots" && cp "$out"/*.png "$shots"/ &&
            echo "kernel test: screenshots of the failed wizard runs in $shots: $(cd "$out" && echo *.png)"
    fi
    exit 1
}

[ -x "$vp" ] || missing "no virtual pen at $vp (build the linux preset first)"
[ -n "$wine" ] || [ -r "$rule" ] || missing "no udev rule at $rule (build the linux preset first)"

# Here, where the kernel has uhid and we may use it.
if [ -z "$wine" ] && [ -w /dev/uhid ]; then
    expect_emulator
    mkdir -p "$work/out"
    "$here/kernel-scenarios.sh" "$vp" "$penflash" "$client" "$image" "$work/expected" "$work/out" \
        "$rule"
    report "$work/out"
fi

# Otherwise in a guest.
qemu=$(command -v qemu-system-x86_64) || missing "qemu-system-x86_64 not found (package qemu-system-x86)"
command -v modinfo >/dev/null || missing "modinfo not found (package kmod)"
busybox=/bin/busybox
[ -x $busybox ] && ! ldd $busybox >/dev/null 2>&1 ||
    { [ -x /usr/lib/busybox/busybox-static ] && busybox=/usr/lib/busybox/busybox-static; } ||
    missing "no static busybox (package busybox-static)"
kernel= kver=
for k in $(ls -1v /boot/vmlinuz-* 2>/dev/null | tac); do
    v=${k#/boot/vmlinuz-}
    if [ -r "$k" ] && modinfo -k "$v" -n uhid >/dev/null 2>&1; then kernel=$k kver=$v; break; fi
done
[ -n "$kernel" ] || missing "no readable /boot/vmlinuz-* with a uhid module (package linux-image-amd64)"
if [ -n "$wine" ]; then
    [ -x /usr/lib/wine/wine64 ] || missing "no /usr/lib/wine/wine64 (package wine64)"
    command -v Xvfb >/dev/null || missing "no Xvfb (package xvfb)"
    [ -x /lib/systemd/systemd-udevd ] || missing "no systemd-udevd (package udev)"
fi

# The initramfs: busybox, the modules for virtio-9p and HID, and an init
# that mounts the host's root and runs the scenarios in it.
modules="virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache 9pnet 9pnet_virtio 9p hid uhid hid_generic"
root=$work/initramfs
mkdir -p "$root/bin" "$root/modules" "$work/out"
cp "$busybox" "$root/bin/busybox"
for m in $modules; do
    f=$(modinfo -k "$kver" -n "$m" 2>/dev/null) || continue   # built in
    case $f in /*) cp "$f" "$root/modules/$m.ko" && echo "$m" >>"$root/modules/order" ;; esac
done
cat >"$root/init" <<'INIT'
#!/bin/busybox sh
export PATH=/bin
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /newroot
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do insmod /modules/$m.ko || echo "kernel-test: insmod $m failed"; done
# The guest's /tmp is a tmpfs of its own; folders of the host's /tmp that the
# test needs (a tree cloned there, say) are bound into it again.
mkdir -p /hosttmp
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144,cache=loose hostroot /newroot &&
   mount -o bind /newroot/tmp /hosttmp &&
   mount -t tmpfs tmp /newroot/tmp && mkdir /newroot/tmp/results &&
   mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 results /newroot/tmp/results &&
   mount -t devtmpfs dev /newroot/dev && mount -t proc proc /newroot/proc &&
   mount -t sysfs sys /newroot/sys; then
    while read -r rel; do
        [ -n "$rel" ] || continue
        mkdir -p "/newroot/tmp/$rel" && mount -o bind "/hosttmp/$rel" "/newroot/tmp/$rel" ||
            echo "kernel-test: cannot show the host's /tmp/$rel in the guest"
    done </newroot/tmp/results/keep
    echo "kernel-test: guest up, host root mounted"
    chroot /newroot /bin/bash /tmp/results/job.sh
else
    echo "kernel-test: mounting the host's root failed"
fi
sync
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | $busybox cpio -o -H newc 2>/dev/null | gzip -1 >"$work/initramfs.gz") ||
    { echo "kernel test: cannot make the initramfs"; exit 1; }
# The folders under the host's /tmp that the guest must see: the tree and
# the programs' folders (relative to /tmp, one a line).
for d in "$(cd "$here/../.." && pwd)" $(for f in "$vp" "$penflash" "$client" "$rule" "$wine" \
        "$driver" "$wizard" "$dll" "$wizard_image"; do
        [ -n "$f" ] && cd "$(dirname "$f")" && pwd; done); do
    case $d in /tmp/*) echo "${d#/tmp/}" ;; esac
done | sort -u >"$work/out/keep"
cpu=max memory=1024
if [ -n "$wine" ]; then
    # With -cpu max, 64-bit Wine processes crash in this guest kernel on the
    # return from a system call.
    cpu=Westmere memory=2048
    cat >"$work/out/job.sh" <<JOB
#!/bin/bash
exec "$here/kernel-wine.sh" "$vp" "$wine" /tmp/results/image.bin /tmp/results \
    "$driver" "$wizard" "$dll" "$wizard_image"
JOB
    # The prefix, made here while the guest boots: Wine's bus must not try
    # SDL (there is no libSDL2), or it never starts its udev/hidraw bus.
    (
        export WINEPREFIX=$work/out/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
        /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
        /usr/lib/wine/wine64 reg add 'HKLM\System\CurrentControlSet\Services\winebus' \
            /v 'Enable SDL' /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
        touch "$work/out/prefix.ready"
    ) &
    expect_pid=$!
else
    cat >"$work/out/job.sh" <<JOB
#!/bin/bash
# The emulator's results come from the host while the guest boots.
for i in \$(seq 2400); do [ -e /tmp/results/expected ] && break; sleep 0.05; done
export PENLINK_KERNEL_GUEST=1
exec "$here/kernel-scenarios.sh" "$vp" "$penflash" "$client" /tmp/results/image.bin /tmp/results/expected /tmp/results "$rule"
JOB
    # The emulator's side while the guest boots.
    expect_emulator &
    expect_pid=$!
fi

remaining=$((budget - (SECONDS - started)))
timeout -k 10 $remaining "$qemu" -machine q35 -cpu $cpu -accel tcg -m $memory -smp 1 \
    -display none -no-reboot -nodefaults -serial stdio -monitor none \
    -kernel "$kernel" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init" \
    -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
    -fsdev local,id=results,path="$work/out",security_model=none,multidevs=remap \
    -device virtio-9p-pci,fsdev=results,mount_tag=results \
    </dev/null 2>&1 &
qemu_pid=$!
wait "$expect_pid"
if [ -z "$wine" ]; then
    cp "$work/expected" "$work/out/expected.part" && mv "$work/out/expected.part" "$work/out/expected"
fi
wait "$qemu_pid"
qemu_pid=
report "$work/out"
