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
[[ -d preview/fuzz ]] && targets="$targets $(cd preview/fuzz && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')"
[[ -d host/eplhost/fuzz ]] && targets="$targets $(cd host/eplhost/fuzz && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//')"
cmake --build --preset fuzz -j "$(nproc)" --target $targets
mkdir -p build/fuzz/crashes
status=0
for t in $targets; do
  seeds=""
  for d in fuzz/corpus/$t preview/fuzz/corpus/$t host/eplhost/fuzz/corpus/$t; do [[ -d $d ]] && seeds="$seeds $d"; done
  scratch="build/fuzz/corpus-$t"
  mkdir -p "$scratch"
  exe=$(find build/fuzz -type f -name "$t" -perm -u+x | head -1)
  echo "== fuzz: $t for ${seconds}s"
  if ! "$exe" -seed="${EPL2_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/crashes/"$t"- "$scratch" $seeds 2>build/fuzz/$t.log; then
    status=1
    tail -40 build/fuzz/$t.log
  fi
  grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' build/fuzz/$t.log | tail -1 || true
done
exit $status
