#!/usr/bin/env bash
# Checks the sources' form, before anything is built: every C and C++ file
# follows .clang-format, and the files of the library, the wizard and the
# image format do not reach each other in a circle of includes and calls
# (scripts/source-circles.py). Prints what differs and exits 1 on any
# finding. `scripts/check-source.sh --fix` reformats the files instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' '*.c')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
status=0
if ! out=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "$out" | head -n 60
  echo "check-source: FAILED: files differ from .clang-format (scripts/check-source.sh --fix)"
  status=1
fi
for folder in penlink wizard image; do
  python3 scripts/source-circles.py "$folder" || status=1
done
[ $status -eq 0 ] && echo "check-source: the sources follow .clang-format and have no circle"
exit $status
