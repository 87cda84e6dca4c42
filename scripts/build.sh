#!/usr/bin/env bash
# Configures and builds the given presets (default: all three targets). Used by test.sh and
# run-example.sh; installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
presets=("$@")
((${#presets[@]})) || presets=(i386 mingw-i686 native)
jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
