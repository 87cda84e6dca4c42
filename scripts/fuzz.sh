#!/usr/bin/env bash
# Runs every libFuzzer target for the given number of seconds (default 30) from its seed corpus,
# built with clang, AddressSanitizer and UBSan. New inputs go to a scratch corpus, not the committed
# seeds; a crash stops the run with a non-zero exit and leaves the input in build/fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
bash scripts/install-deps.sh >/dev/null
cmake --preset fuzz >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build --preset fuzz -j "$(nproc)" --target $targets
mkdir -p build/fuzz/crashes
status=0
for t in $targets; do
  scratch="build/fuzz/corpus-$t"
  mkdir -p "$scratch"
  exe=build/fuzz/fuzz/$t
  echo "== fuzz: $t for ${seconds}s"
  if ! "$exe" -seed="${EPL2_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/crashes/"$t"- "$scratch" fuzz/corpus/$t 2>build/fuzz/$t.log; then
    status=1
    tail -40 build/fuzz/$t.log
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' build/fuzz/$t.log | tail -1 || true
done
exit $status
