#!/bin/bash
# Runs every scenario of the virtual pen on this kernel's HID stack, with the
# real penflash and a program on the real libpenlink.so, and checks what came
# out. Needs /dev/uhid (root). Used by run-kernel-test.sh, in a QEMU guest or
# directly.
#   kernel-scenarios.sh VIRTUALPEN PENFLASH CLIENT IMAGE EXPECTED OUTDIR RULE
# EXPECTED holds one line per scenario: "SCENARIO LIST INFO UPDATE CLIENT-LINE"
# (penflash exit codes, and the client's line from the emulated library).
# RULE is the udev rule as the build made it.
# Writes OUTDIR/summary (one line a check) and OUTDIR/status (0 when all
# passed); on failure the transcripts are copied to OUTDIR too.
set -u
vp=$1 penflash=$2 client=$3 image=$4 expected=$5 out=$6 rule=$7
work=$(mktemp -d /tmp/kernel-scenarios.XXXXXX)
image_size=$(stat -c %s "$image")
failures=0
pen_pid=

say() { echo "kernel-test: $*"; echo "$*" >>"$out/summary"; }
fail() { say "FAIL $*"; failures=$((failures + 1)); }

# Waits until FILE exists, looking every 50 ms, for at most SECONDS.
wait_for_file() {
    local file=$1 tries=$(($2 * 20))
    while [ ! -e "$file" ]; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || return 1
        kill -0 "$pen_pid" 2>/dev/null || return 1
        sleep 0.05
    done
}

# Starts the virtual pen in scenario $1 under the name $2 (at location $3,
# when given) and waits until the kernel has made its hidraw node.
start_pen() {
    rm -f "$work/$2.ready"
    "$vp" "$1" --transcript "$work/$2.transcript" --image-out "$work/$2.image" \
        --ready "$work/$2.ready" ${3:+--location "$3"} >"$work/$2.pen" 2>&1 &
    pen_pid=$!
    if ! wait_for_file "$work/$2.ready" 60; then
        fail "$2: the virtual pen did not become ready: $(tail -n 3 "$work/$2.pen")"
        stop_pen
        return 1
    fi
}

# Stops the pen; pen_status is its exit code (3: it saw a protocol
# violation).
stop_pen() {
    kill -TERM "$pen_pid" 2>/dev/null
    wait "$pen_pid"
    pen_status=$?
}

# Checks the image the pen received for scenario $1 (run name $2).
check_image() {
    local received=$work/$2.image
    case $1 in
        normal|update-mode|slow-image-ack|bad-image-ack)
            cmp -s "$received" "$image" || fail "$2: the pen did not receive the image byte for byte ($(stat -c %s "$received") of $image_size bytes)" ;;
        unplug-during-transfer)
            # Unplugged after 100 blocks of 56 bytes.
            [ "$(stat -c %s "$received")" = 5600 ] && cmp -s -n 5600 "$received" "$image" ||
                fail "$2: the pen did not receive the first 100 blocks exactly" ;;
        *)
            [ ! -s "$received" ] || fail "$2: the pen received image bytes" ;;
    esac
}

while read -r scenario want_list want_info want_update want_client; do
    [ -n "$scenario" ] || continue
    search=60
    [ "$scenario" = never-returns ] && search=5

    begun=$SECONDS
    # penflash, as a user runs it.
    run=$scenario-penflash
    start_pen "$scenario" "$run" || continue
    "$penflash" list >"$work/$run.list" 2>&1; got_list=$?
    "$penflash" info >"$work/$run.info" 2>&1; got_info=$?
    # The normal update is recorded, for the host to replay.
    record=
    [ "$scenario" = normal ] && record="--record $out/normal.record"
    "$penflash" update --yes --json --image "$image" --search-timeout $search $record \
        >"$work/$run.json" 2>"$work/$run.update"; got_update=$?
    stop_pen
    [ "$got_list $got_info $got_update" = "$want_list $want_info $want_update" ] ||
        fail "$run: exit codes list/info/update $got_list/$got_info/$got_update, expected $want_list/$want_info/$want_update"
    [ "$pen_status" = 0 ] || fail "$run: the virtual pen ended with $pen_status: $(grep -m1 'protocol violation' "$work/$run.pen"); $(tail -n 1 "$work/$run.pen")"
    check_image "$scenario" "$run"
    if [ "$scenario" = normal ]; then
        transfer=$(grep -o '"transfer": *[0-9.]*' "$work/$run.json" | cut -d: -f2 | tr -d ' ')
        say "transfer_ms ${transfer:-unknown}"
        # The pen restarted after the update and was found running the new firmware.
        grep -q '"outcome": "verified"' "$work/$run.json" ||
            fail "$run: the check after the update did not verify the pen: $(tail -n 2 "$work/$run.update")"
    fi

    # A program on the real library, the six calls in the wizard's order.
    run=$scenario-library
    start_pen "$scenario" "$run" || continue
    got_client=$("$client" "$image" $((search * 1000)) 2>"$work/$run.client")
    stop_pen
    [ "$got_client" = "$want_client" ] ||
        fail "$run: library calls gave \"$got_client\", the emulated library \"$want_client\""
    [ "$pen_status" = 0 ] || fail "$run: the virtual pen ended with $pen_status: $(tail -n 1 "$work/$run.pen")"
    check_image "$scenario" "$run"
    say "done $scenario in $((SECONDS - begun)) s: penflash $got_list/$got_info/$got_update, library \"$got_client\""
done <"$expected"

# Three pens, each at a location of its own, the third left in
# firmware-update mode: penflash sees every location, info and update send
# nothing until told which, --pen updates that pen alone and --all all three
# at once.
several_pens() {
    local begun=$SECONDS a b c got
    start_pen normal several-a kernel-port-a || return
    a=$pen_pid
    if ! start_pen normal several-b kernel-port-b; then
        pen_pid=$a; stop_pen
        return
    fi
    b=$pen_pid
    if ! start_pen update-mode several-c kernel-port-c; then
        pen_pid=$b; stop_pen; pen_pid=$a; stop_pen
        return
    fi
    c=$pen_pid
    "$penflash" list --json >"$work/several.list" 2>&1
    for location in kernel-port-a kernel-port-b kernel-port-c; do
        grep -q "\"location\": \"$location\"" "$work/several.list" ||
            fail "several: penflash list does not show the location $location"
    done
    "$penflash" info >"$work/several.info" 2>&1; got=$?
    [ $got = 9 ] || fail "several: info with two pens exited with $got, expected 9"
    "$penflash" update --yes --image "$image" >"$work/several.update" 2>&1; got=$?
    [ $got = 9 ] || fail "several: update with two pens exited with $got, expected 9"
    ! grep -qs '^OUT' "$work/several-a.transcript" "$work/several-b.transcript" \
        "$work/several-c.transcript" || fail "several: a pen was written to before one was chosen"
    "$penflash" update --pen kernel-port-b --yes --image "$image" >"$work/several.pen" 2>&1; got=$?
    [ $got = 0 ] || fail "several: update --pen kernel-port-b exited with $got: $(tail -n 1 "$work/several.pen")"
    ! grep -qs '^OUT' "$work/several-a.transcript" "$work/several-c.transcript" ||
        fail "several: update --pen kernel-port-b wrote to another pen"
    # The pen at kernel-port-b runs the new firmware already: only the
    # version named tells its check that a second update of it took.
    "$penflash" update --all --yes --json --image "$image" --expect-version 2.47 \
        >"$work/several.all" 2>"$work/several.all.err"; got=$?
    [ $got = 0 ] || fail "several: update --all exited with $got: $(tail -n 1 "$work/several.all.err")"
    pen_pid=$c; stop_pen
    [ "$pen_status" = 0 ] || fail "several: the pen at kernel-port-c ended with $pen_status"
    pen_pid=$b; stop_pen
    [ "$pen_status" = 0 ] || fail "several: the pen at kernel-port-b ended with $pen_status"
    pen_pid=$a; stop_pen
    [ "$pen_status" = 0 ] || fail "several: the pen at kernel-port-a ended with $pen_status"
    check_image normal several-a
    check_image normal several-b
    check_image update-mode several-c
    say "done several pens in $((SECONDS - begun)) s"
}
several_pens

# A pen that another penflash is updating: a second one leaves it alone with
# exit code 10, also while it is in firmware-update mode under the first
# (the pen acknowledges the image 4 s after its last block, which keeps the
# first one's lock that long).
held_pen() {
    local begun=$SECONDS first got
    start_pen slow-image-ack held kernel-port-h || return
    "$penflash" update --yes --image "$image" >"$work/held.first" 2>&1 &
    first=$!
    local tries=400
    until grep -q "All bytes sent" "$work/held.first" 2>/dev/null; do
        tries=$((tries - 1))
        if [ $tries = 0 ] || ! kill -0 $first 2>/dev/null; then
            fail "held: the first update did not reach the end of its transfer: $(tail -n 1 "$work/held.first")"
            wait $first
            stop_pen
            return
        fi
        sleep 0.05
    done
    "$penflash" list --json >"$work/held.list" 2>&1
    "$penflash" update --yes --image "$image" >"$work/held.second" 2>&1; got=$?
    [ $got = 10 ] || fail "held: a second update of the held pen exited with $got, expected 10"
    grep -q '"held": true' "$work/held.list" || fail "held: penflash list does not show the pen held"
    wait $first; got=$?
    [ $got = 0 ] || fail "held: the first update exited with $got: $(tail -n 1 "$work/held.first")"
    stop_pen
    [ "$pen_status" = 0 ] || fail "held: the virtual pen ended with $pen_status"
    check_image slow-image-ack held
    say "done held pen in $((SECONDS - begun)) s"
}
held_pen

# Two updaters started at the same moment on one pen: one updates it, the
# other exits with 10 and the pen hears nothing from it (the pen sees no
# protocol violation, and its image is the one whole image).
same_moment() {
    local begun=$SECONDS first second one two
    start_pen normal twice kernel-port-t || return
    "$penflash" update --yes --image "$image" >"$work/twice.first" 2>&1 &
    first=$!
    "$penflash" update --yes --image "$image" >"$work/twice.second" 2>&1 &
    second=$!
    wait $first; one=$?
    wait $second; two=$?
    stop_pen
    case "$one $two" in
        "0 10"|"10 0") ;;
        *) fail "twice: two updaters at once exited with $one and $two, expected 0 and 10: $(tail -n 1 "$work/twice.first"); $(tail -n 1 "$work/twice.second")" ;;
    esac
    [ "$pen_status" = 0 ] || fail "twice: the virtual pen ended with $pen_status: $(grep -m1 'protocol violation' "$work/twice.pen")"
    # One updater identifies the pen three times (before it asks, when it
    # opens it, and when it checks it after its restart) and starts the
    # update once.
    [ "$(grep -c '^OUT 00 02 02 95 95' "$work/twice.transcript")" = 3 ] &&
        [ "$(grep -c '^OUT 00 02 01' "$work/twice.transcript")" = 1 ] ||
        fail "twice: the pen got identify or start commands from both updaters"
    check_image normal twice
    say "done two updaters at once in $((SECONDS - begun)) s: $one and $two"
}
same_moment

# The udev rule, with a user in plugdev and one outside it (guest only).
"$(dirname "$0")/kernel-udev.sh" "$vp" "$penflash" "$image" "$rule" "$out" ||
    failures=$((failures + $?))

if [ $failures -ne 0 ]; then
    cp "$work"/* "$out"/ 2>/dev/null
fi
rm -rf "$work"
echo $failures >"$out/status"
[ $failures -eq 0 ]
