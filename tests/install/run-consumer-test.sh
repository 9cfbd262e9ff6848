#!/usr/bin/env bash
# Installs a build into a temporary prefix, then builds a small program
# against it twice, with find_package(Penlink) and with pkg-config, and runs
# both against the emulated pen that the install carries.
# Usage: run-consumer-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libpenlink.so' -not -path '*emulated*' | head -n1)")
export LD_LIBRARY_PATH=$libdir/penlink/emulated PENLINK_EMULATOR=update-mode

echo "== find_package(Penlink)"
cmake -S "$here/consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer"

echo "== pkg-config penlink"
export PKG_CONFIG_PATH=$libdir/pkgconfig
c++ -std=c++17 -o "$work/consumer-pc" "$here/consumer/consumer.cpp" $(pkg-config --cflags --libs penlink)
"$work/consumer-pc"

# The program really ran on the emulated library, not on the real one.
# (ldd's output is kept first: with pipefail, grep -q leaving early would fail
# the pipe through ldd's SIGPIPE.)
ldd "$work/consumer-pc" >"$work/ldd.txt"
grep -q "penlink/emulated/libpenlink.so.3" "$work/ldd.txt"
echo "consumer test passed"
