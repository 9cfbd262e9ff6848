#!/usr/bin/env bash
# The main job: builds the Linux preset and runs a complete firmware update
# of the emulated pen with penflash, the command-line updater, with its
# progress. PENLINK_EMULATOR picks another scenario (see README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux --target penflash >/dev/null
exec ./build/linux/bin/penflash update --emulate "${PENLINK_EMULATOR:-normal}" --yes
