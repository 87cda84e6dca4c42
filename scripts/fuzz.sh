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
started=$SECONDS
cmake --build --preset fuzz -j "$(nproc)" --target $targets
echo "== fuzz: build took $((SECONDS - started)) s"
mkdir -p build/fuzz/crashes

# One target's run; its log stays in build/fuzz/TARGET.log and its exit status in TARGET.status.
fuzz_one() {
  local t=$1 scratch="build/fuzz/corpus-$1" rc=0
  mkdir -p "$scratch"
  "build/fuzz/fuzz/$t" -seed="${EPL2_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build/fuzz/crashes/"$t"- \
    "$scratch" "fuzz/corpus/$t" 2>"build/fuzz/$t.log" || rc=$?
  echo "$rc" >"build/fuzz/$t.status"
}

# The targets run side by side, one per processor: each is single-threaded.
parallel=$(nproc 2>/dev/null || echo 2)
status=0
for t in $targets; do
  while (( $(jobs -rp | wc -l) >= parallel )); do wait -n || true; done
  echo "== fuzz: $t for ${seconds}s (log: build/fuzz/$t.log)"
  rm -f "build/fuzz/$t.status"
  fuzz_one "$t" &
done
wait
for t in $targets; do
  if [[ $(cat "build/fuzz/$t.status" 2>/dev/null) != 0 ]]; then
    status=1
    echo "== fuzz: $t failed"
    tail -40 "build/fuzz/$t.log"
  fi
  echo "$t: $(grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "build/fuzz/$t.log" | tail -1)"
done
exit $status
