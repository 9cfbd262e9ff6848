#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while
# (default 20 seconds): the report descriptor parser, the parsing of the
# pen's replies and the SZDD decoder. A crash fails the run and leaves the
# input that caused it in build/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPENLINK_FUZZ=ON >/dev/null
targets=(report_descriptor_fuzz reply_parse_fuzz szdd_expand_fuzz)
cmake --build build/fuzz --target "${targets[@]}"
for t in "${targets[@]}"; do
  echo "== $t for ${seconds} s"
  mkdir -p "build/fuzz/corpus/$t"
  (cd build/fuzz && "./bin/$t" -max_total_time="$seconds" -print_final_stats=1 "corpus/$t" 2>&1 |
     grep -E "stat::number_of_executed_units|ERROR|SUMMARY" || true)
  test "${PIPESTATUS[0]:-0}" -eq 0
done
echo "fuzzing passed"
