#!/usr/bin/env bash
# Makes the Debian packages of a build, checks them with lintian, installs
# them into a clean Debian root made by mmdebstrap, uses them there (penflash
# on the emulated pen; the consumer program built against libpenlink-dev
# with CMake and with pkg-config, run on the emulated library), purges them
# and checks that nothing of theirs is left.
# Usage: run-debian-test.sh BUILD_DIR CACHE_DIR
# CACHE_DIR keeps the root's tarball, one per list of packages and suite, so
# that only the first run downloads it. Needs root (mmdebstrap's root mode,
# as CI runs); elsewhere the test is skipped, except under CI=true.
set -euo pipefail
build=$(cd "$1" && pwd)
cache=$2
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

skip() {
  echo "debian test: $1"
  [ "${CI:-}" = true ] && { echo "CI must run this test: failing"; exit 1; }
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "needs root for mmdebstrap's root mode: skipped"
for tool in mmdebstrap lintian dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup.sh installs it): skipped"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== packages"
(cd "$build" && cpack -G DEB -B "$work/pack" >/dev/null)
mkdir "$work/debs"
mv "$work"/pack/*.deb "$work/debs/"
(cd "$work/debs" && ls)
for p in penflash libpenlink3 libpenlink-dev; do
  compgen -G "$work/debs/${p}_*.deb" >/dev/null || { echo "no $p package"; exit 1; }
done

echo "== lintian"
known=$(sed -n 's/^\([a-z0-9-]*\):.*/\1/p' "$source_dir/packaging/debian/lintian-warnings")
lintian --tag-display-limit 0 "$work"/debs/*.deb >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
bad=$(grep -E '^E: ' "$work/lintian.txt" || true)
while read -r tag; do
  [ -n "$tag" ] || continue
  grep -qx "$tag" <<<"$known" || bad+=$'\n'"warning not explained in packaging/debian/lintian-warnings: $tag"
done < <(sed -n 's/^W: [^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian.txt" | sort -u)
[ -z "$bad" ] || { echo "lintian: $bad"; exit 1; }

echo "== Debian root"
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
packages=cmake,g++,make,pkgconf
key=$(printf '%s %s apt\n' "$suite" "$packages" | sha256sum | cut -c1-16)
tarball=$cache/debian-root-$suite-$key.tar
if [ ! -f "$tarball" ]; then
  mkdir -p "$cache"
  started=$SECONDS
  mmdebstrap --quiet --variant=apt --include="$packages" "$suite" "$tarball.part" ||
    skip "mmdebstrap could not make the root from the Debian archive: skipped"
  mv "$tarball.part" "$tarball"
  echo "made $(basename "$tarball") in $((SECONDS - started)) s"
else
  echo "using $(basename "$tarball")"
fi

mkdir "$work/consumer"
cp "$here/consumer/CMakeLists.txt" "$here/consumer/consumer.cpp" "$work/consumer/"
cat >"$work/inside.sh" <<'INSIDE'
set -eu
listing() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \) -prune \
       -o -print | sort
}
listing >/tmp/before
cd /tmp/debs
apt-get install -y -q --no-install-recommends ./*.deb >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
echo "-- penflash --version"
penflash --version
echo "-- penflash list --emulate normal"
penflash list --emulate normal
export LD_LIBRARY_PATH=/usr/lib/penlink/emulated PENLINK_EMULATOR=update-mode
echo "-- consumer, find_package(Penlink)"
cmake -S /tmp/consumer -B /tmp/consumer-build >/dev/null
cmake --build /tmp/consumer-build >/dev/null
/tmp/consumer-build/consumer
echo "-- consumer, pkg-config penlink"
g++ -std=c++17 -o /tmp/consumer-pc /tmp/consumer/consumer.cpp $(pkg-config --cflags --libs penlink)
/tmp/consumer-pc
echo "-- purge"
apt-get purge -y -q penflash libpenlink3 libpenlink-dev >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
listing >/tmp/after
# What the packages leave behind: anything that was not there before, but
# the package manager's own records and logs.
left=$(comm -13 /tmp/before /tmp/after | grep -vE '^/var/(lib/dpkg|lib/apt|log|cache)/' || true)
left=$left$(grep -iE 'penlink|penflash' /tmp/after || true)
left=$left$(dpkg -l | awk '$1 != "un" && $2 ~ /penlink|penflash/' || true)
if [ -n "$left" ]; then
  echo "left behind after the purge:"
  echo "$left"
  exit 1
fi
echo "-- nothing of the packages is left"
INSIDE

# Inside, the root's own environment only: nothing of this machine's (a
# compiler launcher, a library path) may reach the programs there. The root
# is unpacked and the files put in by plain tar and cp on the root's folder
# (the test runs as root): mmdebstrap's tar-in, which pipes the tarball
# through a socket, was once killed by SIGPIPE halfway ("special hook failed
# with exit code 13").
echo "== install, use, purge"
mmdebstrap --quiet --variant=custom --skip=update,cleanup/apt \
  --setup-hook="tar -C \"\$1\" -xf '$tarball'" \
  --customize-hook="cp -a '$work/debs' '$work/consumer' '$work/inside.sh' \"\$1/tmp/\"" \
  --customize-hook='chroot "$1" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 sh /tmp/inside.sh' \
  "$suite" /dev/null
echo "debian test passed"
