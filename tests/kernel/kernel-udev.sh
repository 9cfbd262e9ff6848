#!/bin/bash
# The pen's udev rule on this kernel: with the rule installed and udevd
# running, a user in group plugdev (not root) updates the virtual pen, and
# `penflash doctor` run by a user outside plugdev names the permission
# problem and its fix. Run by kernel-scenarios.sh as root, in the QEMU guest
# only (it mounts a tmpfs on /run and starts systemd-udevd there).
#   kernel-udev.sh VIRTUALPEN PENFLASH IMAGE RULE OUTDIR
# Appends its checks to OUTDIR/summary; exits with the number of failures.
set -u
vp=$1 penflash=$2 image=$3 rule=$4 out=$5
work=$(mktemp -d /tmp/kernel-udev.XXXXXX)
chmod 755 "$work"
failures=0
say() { echo "kernel-test: $*"; echo "$*" >>"$out/summary"; }
fail() { say "FAIL udev: $*"; failures=$((failures + 1)); }

if [ "${PENLINK_KERNEL_GUEST:-}" != 1 ]; then
    say "udev: skipped (it runs in the guest only)"
    exit 0
fi
udevd=/lib/systemd/systemd-udevd
[ -x $udevd ] || { fail "no $udevd (package udev)"; exit 1; }
plugdev=$(getent group plugdev | cut -d: -f3)
[ -n "$plugdev" ] || { fail "no group plugdev"; exit 1; }
begun=$SECONDS

# The host's /run is read-only here: udevd's own, with the rule in
# /run/udev/rules.d (the host's rules in /usr/lib/udev/rules.d apply too).
mount -t tmpfs run /run && mkdir -p /run/udev/rules.d /run/lock && chmod 1777 /run/lock ||
    { fail "cannot mount a tmpfs on /run"; exit 1; }
cp "$rule" /run/udev/rules.d/70-penlink.rules
$udevd --daemon >"$work/udevd.log" 2>&1 || { fail "systemd-udevd did not start"; exit 1; }

pen_pid=
start_pen() {
    rm -f "$work/$1.ready"
    "$vp" normal --transcript "$work/$1.transcript" --image-out "$work/$1.image" \
        --ready "$work/$1.ready" >"$work/$1.pen" 2>&1 &
    pen_pid=$!
    for _ in $(seq 1200); do [ -e "$work/$1.ready" ] && break; sleep 0.05; done
    udevadm settle --timeout=30
    [ -e "$work/$1.ready" ] || { fail "$1: the virtual pen did not become ready"; return 1; }
}
stop_pen() { kill -TERM "$pen_pid" 2>/dev/null; wait "$pen_pid"; }
# As nobody, with group plugdev or without it.
as_member() { setpriv --reuid=65534 --regid=65534 --groups="$plugdev" -- "$@"; }
as_outsider() { setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"; }

if start_pen member; then
    node=$(ls /sys/class/hidraw | head -n 1)
    attrs=$(stat -c '%G %a' "/dev/$node")
    [ "$attrs" = "plugdev 660" ] || fail "the rule did not apply to /dev/$node: $attrs"
    as_member "$penflash" doctor >"$work/member.doctor" 2>&1; got=$?
    [ $got = 0 ] || fail "doctor in plugdev exited with $got: $(grep -m1 PROBLEM "$work/member.doctor")"
    as_member "$penflash" update --yes --image "$image" >"$work/member.update" 2>&1; got=$?
    stop_pen
    [ $got = 0 ] || fail "update as a member of plugdev exited with $got: $(tail -n 2 "$work/member.update")"
    cmp -s "$work/member.image" "$image" || fail "the pen updated by a member of plugdev did not get the image"
fi

if start_pen outsider; then
    as_outsider "$penflash" doctor --json >"$work/outsider.json" 2>"$work/outsider.doctor"; got=$?
    stop_pen
    [ $got = 4 ] || fail "doctor outside plugdev exited with $got, expected 4"
    grep -q 'not in group plugdev' "$work/outsider.doctor" ||
        fail "doctor outside plugdev does not name the group: $(grep -m1 PROBLEM "$work/outsider.doctor")"
    grep -q 'usermod -aG plugdev' "$work/outsider.doctor" ||
        fail "doctor outside plugdev gives no fix: $(grep -m1 fix: "$work/outsider.doctor")"
    [ -s "$work/outsider.image" ] && fail "doctor wrote to the pen"
fi

udevadm control --exit 2>/dev/null
[ $failures = 0 ] || cp "$work"/*.doctor "$work"/*.update "$work"/udevd.log "$out"/ 2>/dev/null
rm -rf "$work"
say "done udev rule in $((SECONDS - begun)) s: plugdev member updates, outsider told why"
exit $failures
