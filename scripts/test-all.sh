#!/usr/bin/env bash
# Checks the sources' form (scripts/check-source.sh), builds every preset
# and runs all their tests: linux, linux-asan, linux-tsan, win32 and win64
# (the Windows ones under Wine, on an Xvfb display of this run's own), then
# the fuzz targets for a short while and the check that a crashing fuzz
# target fails the fuzz run. Pass preset names to run only those presets.
#
# A test may be reported skipped for two reasons only: the win32 tests on a
# kernel that cannot execute 32-bit code, which is found out once and said
# here, and the Debian packages' test when not run as root outside CI (it
# needs mmdebstrap's root mode). Any other skipped test fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan linux-tsan win32 win64)
started=$SECONDS

xvfb_pid=
cleanup() {
  for p in "${presets[@]}"; do
    case $p in win*) WINEPREFIX=$PWD/build/$p/wineprefix wineserver -k 2>/dev/null || true ;; esac
  done
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# One display for every Windows program of the run. Xvfb picks a free
# display number itself (other runs may have theirs) and writes it once it
# accepts connections.
start_display() {
  local number=build/xvfb.number i
  mkdir -p build
  rm -f "$number"
  Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp 7>"$number" >/dev/null 2>&1 &
  xvfb_pid=$!
  for ((i = 0; i < 300; i++)); do
    grep -q '^[0-9]' "$number" 2>/dev/null && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q '^[0-9]' "$number" 2>/dev/null || { echo "test-all: Xvfb did not start within 30 s"; exit 1; }
  DISPLAY=:$(head -n 1 "$number")
  export DISPLAY
  rm -f "$number"
  echo "test-all: Xvfb on $DISPLAY"
}

# The tests of ctest's last run that were skipped, one a line.
skipped_tests() {
  local log=$1
  grep -E '^[[:space:]]*[0-9]+ - .*\(Skipped\)' "$log" |
    sed -E 's/^[[:space:]]*[0-9]+ - ([^ ]+).*/\1/' || true
}

# A libFuzzer program that reads past its buffer on every non-empty input
# must fail scripts/fuzz.sh, be named, and leave its input under build/fuzz.
check_fuzz_failure() {
  local dir=build/fuzz/check out
  mkdir -p "$dir"
  cat >"$dir/always_crashes_fuzz.cpp" <<'EOF'
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::uint8_t* copy = new std::uint8_t[size];
    volatile std::uint8_t past = copy[size];  // one past the end
    (void)past;
    (void)data;
    delete[] copy;
    return 0;
}
EOF
  clang++ -g -fsanitize=fuzzer,address "$dir/always_crashes_fuzz.cpp" -o "$dir/always_crashes_fuzz"
  rm -rf build/fuzz/crashes/always_crashes_fuzz
  if out=$(scripts/fuzz.sh 20 "$dir/always_crashes_fuzz" 2>&1); then
    echo "$out"
    echo "fuzz check FAILED: scripts/fuzz.sh passed a target that crashes"
    return 1
  fi
  if ! grep -q "FAILED: always_crashes_fuzz" <<<"$out" ||
     ! compgen -G "build/fuzz/crashes/always_crashes_fuzz/crash-*" >/dev/null; then
    echo "$out"
    echo "fuzz check FAILED: the crashing target is not named, or its input was not kept"
    return 1
  fi
  echo "fuzz check passed: a crashing target fails scripts/fuzz.sh, named, with its input kept"
}

failed=()
no_32bit=
echo "=== sources"
scripts/check-source.sh || failed+=(sources)
for p in "${presets[@]}"; do
  echo "=== $p"
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p"
  case $p in
    win*)
      [ -n "${DISPLAY:-}" ] || start_display
      arch=win64
      if [ "$p" = win32 ]; then
        arch=win32
        rc=0
        line=$(cmake/wine-run.sh --check-32bit) || rc=$?
        case $rc in
          0) echo "test-all: $line: the win32 tests run" ;;
          77) echo "test-all: $line: the win32 tests are skipped"; no_32bit=$line ;;
          *) echo "test-all: FAILED: $line"; failed+=("$p"); continue ;;
        esac
      fi
      # One wineserver for the preset, kept running: each program start is
      # then cheap. Wine's own processes (services, devices) start with the
      # first program and live as long as the wineserver, holding that
      # program's output open; started here, they hold /dev/null and not
      # the pipe that ctest waits on.
      prefix=$PWD/build/$p/wineprefix
      if [ "$arch" = win64 ] || [ -z "$no_32bit" ]; then
        cmake/wine-run.sh "$arch" "$prefix" cmd /c exit 0 >/dev/null 2>&1 ||
          cmake/wine-run.sh "$arch" "$prefix" cmd /c exit 0 || { failed+=("$p"); continue; }
        WINEPREFIX=$prefix wineserver -w
        WINEPREFIX=$prefix wineserver -p
        cmake/wine-run.sh "$arch" "$prefix" cmd /c exit 0 >/dev/null 2>&1
      fi
      ;;
  esac
  log=build/$p/ctest.log
  ctest --preset "$p" 2>&1 | tee "$log" || failed+=("$p")
  skipped=$(skipped_tests "$log")
  if [ "$(id -u)" -ne 0 ] && [ "${CI:-}" != true ] && grep -qx debian_packages <<<"$skipped"; then
    echo "test-all: the Debian packages' test was skipped: it needs root"
    skipped=$(grep -vx debian_packages <<<"$skipped" || true)
  fi
  if [ -n "$skipped" ]; then
    if [ "$p" = win32 ] && [ -n "$no_32bit" ]; then
      echo "test-all: the win32 tests were skipped: $no_32bit"
    else
      echo "test-all: FAILED: tests of $p skipped on a machine that should run them:" $skipped
      failed+=("$p")
    fi
  fi
done
# With the full set of presets, the fuzz targets run for a short while too,
# and a target made to crash must fail that run.
if [ $# -eq 0 ]; then
  echo "=== fuzz"
  scripts/fuzz.sh "${PENLINK_FUZZ_SECONDS:-20}" || failed+=(fuzz)
  check_fuzz_failure || failed+=(fuzz-check)
fi
minutes=$(((SECONDS - started + 30) / 60))
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]} (after $minutes min)"
  exit 1
fi
echo "all passed: ${presets[*]}$([ $# -gt 0 ] || echo ", fuzz") (in $minutes min)"
