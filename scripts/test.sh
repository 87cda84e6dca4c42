#!/usr/bin/env bash
# Sets up a fresh Debian machine (as root) and passes every test: the i386 module through the test
# host under qemu-i386, the Windows DLL's export and import tables, and the native logic tests
# under AddressSanitizer and UBSan. Exits non-zero on the first failing suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh i386 mingw-i686 native
jobs=$(nproc 2>/dev/null || echo 2)
status=0
for dir in build/i386 build/mingw-i686 build/native; do
  echo "== test: $dir"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
done
if [[ -x scripts/fuzz.sh && -n "${EPL2_FUZZ_SECONDS:-}" ]]; then
  bash scripts/fuzz.sh "$EPL2_FUZZ_SECONDS" || status=1
fi
exit $status
