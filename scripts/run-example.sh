#!/usr/bin/env bash
# Sets up a fresh Debian machine (as root), builds the driver module and runs the main job on the
# bundled example: the printer bytes land in out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh i386
mkdir -p out
emulator=()
if ! build/i386/epl2demo /dev/null 2>/dev/null; then emulator=(qemu-i386); fi
"${emulator[@]}" build/i386/epl2demo out/demo.epl
echo "run-example: out/demo.epl"
