#!/usr/bin/env bash
# Sets up a fresh Debian machine (as root), builds the driver module, eplhost and eplview, and
# runs the main job on the bundled example: the shipping label is printed through the module to
# out/shipping.epl, and eplview renders its preview next to it as out/shipping.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset i386 >/dev/null
cmake --build --preset i386 -j "$jobs" --target eplhost epl2drv
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target eplview
mkdir -p out
# eplhost is an i386 program: directly where the kernel runs it, else under qemu-i386 (or the
# runner EPL2_I386_RUNNER names).
run_i386=(${EPL2_I386_RUNNER:-})
if ((${#run_i386[@]} == 0)) && ! build/i386/eplhost --help >/dev/null 2>&1; then run_i386=(qemu-i386); fi
"${run_i386[@]}" build/i386/eplhost print examples/shipping-4x6.json --output out/shipping.epl
build/release/preview/eplview render out/shipping.epl -o out/shipping.png
echo "run-example: out/shipping.epl (printer bytes) and out/shipping.png (preview)"
