#!/usr/bin/env bash
# The main job: builds the Linux preset and runs a complete firmware update
# of the emulated pen, printed step by step. PENLINK_EMULATOR picks another
# scenario (see README.md).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux --target penlink_demo >/dev/null
exec ./build/linux/bin/penlink_demo
