#!/usr/bin/env bash
# The performance comparison against the CUPS raster path: installs what is missing (the usual
# toolchains plus CUPS, its EPL2 raster filter, Ghostscript and the PPD compiler), builds what is
# measured as it ships, optimised and without sanitizers (the module, eplhost and the module's
# decoder benchmark for i386; eplview natively), measures both paths side by side, prints the table
# and writes it with the method to docs/performance.md. Options go to bench/compare.py (--runs N,
# --out FILE, ...). The build trees are the benchmark's own, so that a run never races a build of
# the preset trees.
#
# JOBS limits parallel compile jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --bench
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
i386_dir=build/bench-i386
native_dir=build/bench-release

echo "== build: i386 (Release, no sanitizers) in $i386_dir"
cmake -S . -B "$i386_dir" -G Ninja --toolchain cmake/toolchain-i386.cmake \
  -DCMAKE_BUILD_TYPE=Release -DEPL2_SANITIZE=OFF >/dev/null
cmake --build "$i386_dir" -j "$jobs" --target epl2drv eplhost epl2_pcx_bench
echo "== build: eplview (Release) in $native_dir"
cmake -S . -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DEPL2_SANITIZE=OFF >/dev/null
cmake --build "$native_dir" -j "$jobs" --target eplview

echo "== measure"
exec python3 bench/compare.py --i386-dir "$i386_dir" --eplview "$native_dir/preview/eplview" "$@"
