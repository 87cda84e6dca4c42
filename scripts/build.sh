#!/usr/bin/env bash
# Configures and builds the given presets (default: all three targets). Used by test.sh and
# run-example.sh; installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
presets=("$@")
((${#presets[@]})) || presets=(i386 mingw-i686 native)
jobs=$(nproc 2>/dev/null || echo 2)
# eplview's end-to-end tests print through the i386 eplhost when it has been built.
eplhost_command() {
  local exe="$PWD/build/i386/eplhost"
  [[ -x $exe ]] || return 0
  if "$exe" --help >/dev/null 2>&1; then echo "$exe"; else echo "qemu-i386 $exe"; fi
}
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  extra=()
  if [[ $preset == native ]]; then extra=(-DEPLHOST_COMMAND="$(eplhost_command)"); fi
  cmake --preset "$preset" "${extra[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
