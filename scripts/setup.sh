#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine, in two
# tiers, and does nothing that is already done.
#
# Tier 1, the main job (scripts/demo.sh) and the Linux presets: CMake, Ninja,
# g++, GoogleTest's sources, CLI11, nlohmann/json, pkg-config and mscompress
# (the SZDD interoperability test). It must succeed, or setup fails.
# Tier 2, the rest of the test command: the mingw-w64 toolchains, Wine (64-
# and 32-bit), Xvfb, clang for the fuzzers, clang-format for the sources'
# form, and QEMU with a kernel, busybox, kmod and udev for the kernel test,
# lintian, mmdebstrap and dpkg-dev for the Debian packages' test, and llvm
# and lld (llvm-dlltool, llvm-nm, lld-link) for the Windows SDK's import
# library in Microsoft's format and its test. A package of this tier
# that cannot be installed is named with the reason; setup then exits 1 when
# CI=true and 0 otherwise, so that a developer can still use what is there.
#
# A mirror that is half synced is common: `apt-get update` is tried a few
# times, and when some indexes still fail, setup goes on with the others.
# When the missing ones keep a package from installing (an i386 library must
# have the same version as its amd64 twin, so a missing i386 security index
# blocks wine32), tier 2 is installed from the sources whose indexes are
# complete only, which may set a few installed libraries back to the
# versions of those sources. Nothing is ever removed.
#
# SETUP_UPDATE_TRIES (3) and SETUP_UPDATE_PAUSE (15 s) tune the retries.
# SETUP_SIMULATE=1 only shows what apt would install (the indexes are still
# updated). SETUP_PRETEND_MISSING="P..." treats packages P as not installed,
# to try the fallback on a machine that has everything.
set -euo pipefail

tier1=(cmake ninja-build g++ googletest libcli11-dev nlohmann-json3-dev pkgconf mscompress)
tier2=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
       wine wine64 wine32:i386 xvfb xauth imagemagick python3
       clang libclang-rt-14-dev clang-format
       qemu-system-x86 linux-image-amd64 busybox-static kmod udev
       lintian mmdebstrap dpkg-dev llvm lld)

installed() {
  case " ${SETUP_PRETEND_MISSING:-} " in *" $1 "*) return 1 ;; esac
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing_of() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}
mapfile -t missing1 < <(missing_of "${tier1[@]}")
mapfile -t missing2 < <(missing_of "${tier2[@]}")
if [ ${#missing1[@]} -eq 0 ] && [ ${#missing2[@]} -eq 0 ]; then
  echo "setup: everything is installed"
  exit 0
fi

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if printf '%s\n' "${missing2[@]}" | grep -q ':i386$' &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

# --- Indexes -----------------------------------------------------------------
# failing: "URI SUITE" of every source whose index could not be fetched.
failing=()
update_indexes() {
  local tries=${SETUP_UPDATE_TRIES:-3} pause=${SETUP_UPDATE_PAUSE:-15} try out
  for ((try = 1; ; try++)); do
    # An unreachable source is only a warning to apt (exit code 0), a
    # damaged index an error: both show as "Err:" lines.
    local rc=0
    out=$($SUDO apt-get update 2>&1) || rc=$?
    mapfile -t failing < <(awk '/^Err:/ { u = $2; sub(/\/+$/, "", u); split($3, s, "/");
                                          print u " " s[1] }' <<<"$out" | sort -u)
    [ "$rc" -ne 0 ] || [ ${#failing[@]} -gt 0 ] || return 0
    [ "$try" -lt "$tries" ] || break
    echo "setup: apt-get update failed (try $try of $tries), again in ${pause} s"
    sleep "$pause"
  done
  if [ ${#failing[@]} -eq 0 ]; then
    # Not one index in particular (no network, a lock): nothing to go on with.
    echo "setup: apt-get update failed:" >&2
    grep -E '^(E|W):' <<<"$out" >&2 || echo "$out" >&2
    return 1
  fi
  # One line an index: what it is and why it failed.
  awk -v tries="$tries" '
    what != "" { why = $0; sub(/^ +/, "", why)
                 print "setup: index still failing after " tries " tries, going on without it: " what " (" why ")"
                 what = "" }
    /^Err:/ { what = $0; sub(/^Err:[0-9]+ /, "", what) }' <<<"$out"
}

# Copies of the system's sources without the failing suites, for apt's
# Dir::Etc::SourceList and Dir::Etc::SourceParts, into $work/sources.
write_complete_sources() {
  local list parts f
  eval "$(apt-config shell list Dir::Etc::SourceList/f parts Dir::Etc::SourceParts/d)"
  mkdir -p "$work/sources/parts" "$work/sources/preferences.d"
  : >"$work/sources/sources.list"
  local drop
  drop=$(printf '%s\n' "${failing[@]}")
  # One-line format: "deb [options] URI SUITE COMPONENTS...".
  filter_lines() {
    awk -v drop="$drop" '
      BEGIN { n = split(drop, d, "\n"); for (i = 1; i <= n; i++) bad[d[i]] = 1 }
      /^[ \t]*deb(-src)?[ \t]/ {
        line = $0; sub(/\[[^]]*\]/, "", line); split(line, f, /[ \t]+/)
        i = (f[1] == "") ? 2 : 1; u = f[i + 1]; sub(/\/+$/, "", u)
        if ((u " " f[i + 2]) in bad) next
      }
      { print }' "$1"
  }
  # deb822 format: drop the failing suites from each stanza's Suites, and
  # the stanza when none is left.
  filter_stanzas() {
    awk -v drop="$drop" '
      BEGIN { RS = ""; FS = "\n"; n = split(drop, d, "\n"); for (i = 1; i <= n; i++) bad[d[i]] = 1 }
      {
        nu = 0; delete uris
        for (i = 1; i <= NF; i++) if ($i ~ /^URIs:/) {
          v = $i; sub(/^URIs:[ \t]*/, "", v); nu = split(v, uris, /[ \t]+/)
        }
        out = ""; empty = 0
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^Suites:/) {
            v = line; sub(/^Suites:[ \t]*/, "", v); ns = split(v, suites, /[ \t]+/); kept = ""
            for (s = 1; s <= ns; s++) {
              gone = 0
              for (u = 1; u <= nu; u++) { x = uris[u]; sub(/\/+$/, "", x); if ((x " " suites[s]) in bad) gone = 1 }
              if (!gone && suites[s] != "") kept = kept " " suites[s]
            }
            if (kept == "") empty = 1
            line = "Suites:" kept
          }
          out = out line "\n"
        }
        if (!empty) printf "%s\n", out
      }' "$1"
  }
  [ ! -f "$list" ] || filter_lines "$list" >"$work/sources/sources.list"
  for f in "$parts"/*.list; do [ -f "$f" ] && filter_lines "$f" >"$work/sources/parts/$(basename "$f")"; done
  for f in "$parts"/*.sources; do [ -f "$f" ] && filter_stanzas "$f" >"$work/sources/parts/$(basename "$f")"; done
  printf 'Package: *\nPin: origin *\nPin-Priority: 1001\n' >"$work/sources/preferences"
  return 0
}

# --- Installing --------------------------------------------------------------
apt_install() {  # apt_install LOG APT-OPTIONS... PACKAGES...
  local log=$1
  shift
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends --no-remove \
    -o DPkg::Lock::Timeout=600 ${SETUP_SIMULATE:+-s} "$@" >"$log" 2>&1
}
# Why apt cannot install package p, in one line.
reason_for() {  # reason_for P APT-OPTIONS...
  local why
  why=$(apt-get install -s --no-install-recommends --no-remove "${@:2}" "$1" 2>&1 |
        grep -E ' : (Depends|PreDepends|Conflicts|Breaks):|^E: ' |
        grep -vE 'Unable to correct problems|Some index files failed|held broken' |
        sed 's/^ *//' | paste -sd';' -)
  echo "${why:-apt gives no reason}"
}
# Installs the missing packages of one tier; what is still missing after
# that is named, one line each, and the function returns 1.
install_tier() {  # install_tier NAME PACKAGES-OF-THE-TIER...
  local name=$1
  shift
  local missing p still=() options=() done=0
  mapfile -t missing < <(missing_of "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: $name: installing ${missing[*]}"
  apt_install "$work/log" "${missing[@]}" && done=1
  if [ $done -eq 0 ] && [ ${#failing[@]} -gt 0 ]; then
    # The sources whose indexes are complete, preferred over what is
    # installed, so that apt may set an installed library back to their
    # version where an i386 twin of the same version is needed.
    options=(--allow-downgrades
             -o "Dir::Etc::SourceList=$work/sources/sources.list"
             -o "Dir::Etc::SourceParts=$work/sources/parts"
             -o "Dir::Etc::Preferences=$work/sources/preferences"
             -o "Dir::Etc::PreferencesParts=$work/sources/preferences.d")
    echo "setup: $name: installing from the sources whose indexes are complete, not from" \
         "$(printf '%s, ' "${failing[@]}" | sed 's/, $//'); installed libraries may be set" \
         "back to those sources' versions"
    apt_install "$work/log" "${options[@]}" "${missing[@]}" && done=1
  fi
  if [ -n "${SETUP_SIMULATE:-}" ]; then
    grep -E '^(Inst|Remv)|DOWNGRADED|downgraded' "$work/log" | sed "s/^/setup: $name: (simulated) /"
    [ $done -eq 1 ] || still=("${missing[@]}")
  else
    for p in "${missing[@]}"; do installed "$p" || still+=("$p"); done
  fi
  for p in "${still[@]}"; do
    echo "setup: $name: cannot install $p: $(reason_for "$p" "${options[@]}")"
  done
  [ ${#still[@]} -eq 0 ]
}

update_indexes
[ ${#failing[@]} -eq 0 ] || write_complete_sources

if ! install_tier "tier 1" "${tier1[@]}"; then
  echo "setup: FAILED: the first tier (what the main job needs) is incomplete" >&2
  exit 1
fi
echo "setup: tier 1 complete: scripts/demo.sh and the linux presets can run"
if ! install_tier "tier 2" "${tier2[@]}"; then
  if [ "${CI:-}" = true ]; then
    echo "setup: FAILED: the second tier is incomplete, and CI needs all of it" >&2
    exit 1
  fi
  echo "setup: tier 2 incomplete: what needs the packages above cannot be built or tested here"
  exit 0
fi
echo "setup: tier 2 complete: every preset, the fuzzers and the kernel test can run"
