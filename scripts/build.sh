#!/usr/bin/env bash
# Configures and builds the given presets (default: all three targets). Used by test.sh and
# run-example.sh; installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
presets=("$@")
((${#presets[@]})) || presets=(i386 mingw-i686 native)
jobs=$(nproc 2>/dev/null || echo 2)
# The native end-to-end tests run i386 programs when they have been built: eplview's tests and
# the soak print through eplhost, the well-formedness test through epl2_randlabels. They run
# directly where this kernel executes i386 code, else under qemu-i386; EPL2_I386_RUNNER names the
# runner instead (EPL2_I386_RUNNER=qemu-i386 tries the emulated path on a kernel that needs none).
i386_command() {
  local exe="$PWD/build/i386/$1"
  [[ -x $exe ]] || return 0
  if [[ -n ${EPL2_I386_RUNNER:-} ]]; then echo "$EPL2_I386_RUNNER $exe"
  elif "$exe" --help >/dev/null 2>&1; then echo "$exe"
  else echo "qemu-i386 $exe"; fi
}
for preset in "${presets[@]}"; do
  echo "== build: $preset"
  started=$SECONDS
  extra=()
  if [[ $preset == native ]]; then
    extra=(-DEPLHOST_COMMAND="$(i386_command eplhost)" -DEPL2_RANDLABELS_COMMAND="$(i386_command epl2_randlabels)")
  fi
  cmake --preset "$preset" "${extra[@]}" >/dev/null
  # The browser test's playwright-core, exactly as the lockfile names it (it drives Debian's
  # chromium and downloads no browser).
  if [[ $preset == native ]]; then (cd preview/tests/browser && npm ci --no-audit --no-fund --silent); fi
  cmake --build --preset "$preset" -j "$jobs"
  echo "== build: $preset took $((SECONDS - started)) s"
done
