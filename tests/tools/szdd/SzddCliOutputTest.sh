#!/usr/bin/env bash
# Where the szdd tool writes its output: devices and FIFOs directly, regular
# files (also behind a link) replaced whole with their mode kept, and no
# temporary file left behind by a failed write or by a signal.
# Run as: SzddCliOutputTest.sh <szdd> <scratch dir>
set -u
szdd=$1
rm -rf "$2" && mkdir -p "$2" && cd "$2" || exit 1
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
no_temporaries() {
  local left=(*.tmp)
  [ -e "${left[0]}" ] && fail "$1 left ${left[*]}"
  return 0
}

for i in $(seq 40); do echo "block $i: mov eax, [ebp+8]"; done > input.txt
"$szdd" compress input.txt packed.sz_ || fail "compress"

# A device is written directly; a full one fails with the reason.
err=$("$szdd" expand packed.sz_ /dev/full 2>&1)
rc=$?
[ $rc -eq 1 ] || fail "expand to /dev/full: exit $rc"
[[ $err == *"/dev/full: cannot write: No space left on device"* ]] || fail "expand to /dev/full said: $err"
[ -c /dev/full ] || fail "/dev/full is no longer a device"

# A FIFO is written directly, to the reader at its other end.
mkfifo pipe
cat pipe > from-pipe &
reader=$!
"$szdd" expand packed.sz_ pipe || fail "expand to a FIFO: exit $?"
wait $reader
[ -p pipe ] || fail "the FIFO was replaced"
cmp -s from-pipe input.txt || fail "the FIFO's reader got other bytes"

# A regular file keeps its mode; behind a link, the file is replaced and the
# link stays. A dangling link is refused.
printf old > private && chmod 600 private && ln -s private link
"$szdd" expand packed.sz_ link || fail "expand through a link: exit $?"
[ -L link ] || fail "the link was replaced"
cmp -s private input.txt || fail "the file behind the link was not written"
[ "$(stat -c %a private)" = 600 ] || fail "mode 600 became $(stat -c %a private)"
ln -s nowhere dangling
"$szdd" expand packed.sz_ dangling 2>/dev/null && fail "a dangling link was written"
[ -L dangling ] || fail "the dangling link was replaced"

# A large output, made by hand (1 Mi groups of seven 18-byte references and
# a literal: 133,169,152 spaces), for the failures below.
printf 'SZDD\210\360\047\063A\000\000\000\360\007' > big.sz_
printf '\200\040\057\040\057\040\057\040\057\040\057\040\057\040\057\040' > group
for i in $(seq 20); do cat group group > group2 && mv group2 group; done
cat group >> big.sz_

# A write that fails (file size limit) leaves the old output and no temporary file.
printf old > big.out
(ulimit -f 1024 && trap '' XFSZ && "$szdd" expand big.sz_ big.out 2>/dev/null) && fail "a failed write succeeded"
[ "$(cat big.out)" = old ] || fail "a failed write changed the output"
no_temporaries "a failed write"

# SIGTERM and SIGINT while the temporary file is written remove it and end
# the tool as the signal says.
for sig in TERM INT; do
  set -m  # a background job of its own process group keeps SIGINT
  "$szdd" expand big.sz_ big.out &
  pid=$!
  set +m
  signalled=
  while [ -z "$signalled" ] && kill -0 $pid 2>/dev/null; do
    tmp=(big.out.*.tmp)
    if [ -e "${tmp[0]}" ]; then
      kill -$sig $pid
      signalled=1
    fi
  done
  wait $pid
  rc=$?
  [ -n "$signalled" ] || fail "expand ended before its temporary file was seen"
  [ $rc -eq $((128 + $(kill -l $sig))) ] || fail "SIG$sig during expand: exit $rc"
  no_temporaries "SIG$sig during expand"
  size=$(stat -c %s big.out)
  [ "$size" = 3 ] || [ "$size" = 133169152 ] || fail "SIG$sig left big.out of $size bytes"
done
# Names up to the longest a directory takes (255 bytes), new or replaced:
# the temporary name beside them must not be longer.
for n in 243 250 255; do
  long=$(printf 'n%.0s' $(seq $n))
  "$szdd" expand packed.sz_ "$long" || fail "expand to a name of $n bytes: exit $?"
  "$szdd" expand packed.sz_ "$long" || fail "replacing a name of $n bytes: exit $?"
  cmp -s "$long" input.txt || fail "the file with a name of $n bytes holds other bytes"
  rm -f "$long"
done
no_temporaries "long names"
echo "szdd outputs: ok"
