#!/usr/bin/env bash
# eplview web under load: the shipping label's job (examples/shipping-4x6.json printed by eplhost)
# rendered to PNG over HTTP by CLIENTS connections at once (default 32) for SECONDS (default 10).
# Goal: at least 300 renders/s with the 99th percentile at most 100 ms. Builds eplview-web, the
# load client and eplhost as they ship (Release, no sanitizers) in the benchmark's own trees,
# prints the figures and the docs/performance.md row. JOBS limits parallel compile jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
clients=${CLIENTS:-32}
seconds=${SECONDS_MEASURED:-10}
jobs=${JOBS:-2}
i386_dir=build/bench-i386
native_dir=build/bench-release

bash scripts/install-deps.sh >/dev/null
cmake -S . -B "$i386_dir" -G Ninja --toolchain cmake/toolchain-i386.cmake \
  -DCMAKE_BUILD_TYPE=Release -DEPL2_SANITIZE=OFF >/dev/null
cmake --build "$i386_dir" -j "$jobs" --target epl2drv eplhost >/dev/null
cmake -S . -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DEPL2_SANITIZE=OFF >/dev/null
cmake --build "$native_dir" -j "$jobs" --target eplview_web web_bench >/dev/null

work=$(mktemp -d)
server=
cleanup() {
  if [[ -n $server ]]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The i386 runner the tests use, when the kernel needs one.
runner=${EPL2_I386_RUNNER:-}
if [[ -z $runner ]] && ! "$i386_dir/eplhost" --help >/dev/null 2>&1; then runner=qemu-i386; fi
$runner "$i386_dir/eplhost" print examples/shipping-4x6.json --output "$work/shipping.epl"

"$native_dir/preview/eplview-web" --listen 127.0.0.1:0 >"$work/server.log" &
server=$!
for _ in $(seq 100); do grep -q serving "$work/server.log" && break; sleep 0.1; done
port=$(sed -n 's/.*serving http:\/\/127.0.0.1:\([0-9]*\)\/.*/\1/p' "$work/server.log")

# A run with failed requests still prints its figures, then fails.
status=0
figures=$("$native_dir/bench/web_bench" "$port" "$work/shipping.epl" "$clients" "$seconds") || status=$?
echo "$figures"
read -r _ _ _ _ _ renders _ failures _ per_second _ p50 _ p99 <<<"$figures"
met=$(awk -v r="$per_second" -v p="$p99" -v f="$failures" 'BEGIN { print (r >= 300 && p <= 100 && f == 0) ? "yes" : "no" }')
echo "| $clients | $per_second | $p50 ms | $p99 ms | $failures | ≥ 300 renders/s, p99 ≤ 100 ms | $met |"
exit "$status"
