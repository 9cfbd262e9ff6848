#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (default 20 seconds): the report descriptor parser, the parsing of the
# pen's replies and the SZDD decoder.
# Usage: fuzz.sh [SECONDS [PROGRAM...]]
# With PROGRAMs (paths of libFuzzer programs built elsewhere) only those run.
#
# Each target's corpus grows in build/fuzz/corpus/<target>; the seeds kept
# beside its source (<folder of its source>/seeds/<target>/) are read too,
# never written. A target that crashes, leaks, times out or fails in any
# other way fails the run: it is named, and the input that did it stays in
# build/fuzz/crashes/<target>/ with the log in build/fuzz/logs/<target>.log.
set -euo pipefail
seconds=${1:-20}
shift || true
programs=()
for p in "$@"; do programs+=("$(realpath "$p")"); done
cd "$(dirname "$0")/.."
out=$PWD/build/fuzz
if [ ${#programs[@]} -eq 0 ]; then
  targets=(report_descriptor_fuzz reply_parse_fuzz szdd_expand_fuzz)
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPENLINK_FUZZ=ON >/dev/null
  cmake --build build/fuzz --target "${targets[@]}"
  for t in "${targets[@]}"; do programs+=("$out/bin/$t"); done
fi

failed=()
for program in "${programs[@]}"; do
  t=$(basename "$program")
  corpus=$out/corpus/$t crashes=$out/crashes/$t log=$out/logs/$t.log
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  dirs=("$corpus")
  while IFS= read -r seeds; do dirs+=("$PWD/$seeds"); done < <(
    find image penlink tools -type d -path "*/seeds/$t" 2>/dev/null | sort)
  echo "== $t for ${seconds} s (corpus ${dirs[*]#"$PWD/"})"
  rc=0
  (cd "$out" && "$program" -max_total_time="$seconds" -print_final_stats=1 \
     -artifact_prefix="$crashes/" "${dirs[@]}") >"$log" 2>&1 || rc=$?
  grep -E "stat::number_of_executed_units|^==[0-9]+==ERROR|^SUMMARY" "$log" || true
  if [ "$rc" -ne 0 ]; then
    inputs=$(grep -oE "Test unit written to [^ ]+" "$log" | sed 's/Test unit written to //' | paste -sd' ' -)
    echo "fuzz: FAILED: $t exited with $rc; input: ${inputs:-none saved}; log: ${log#"$PWD/"}"
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing FAILED: ${failed[*]}"
  exit 1
fi
echo "fuzzing passed"
