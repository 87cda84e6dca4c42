#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building and testing this tree needs and that are
# not there yet. Safe to run again: it installs only what is missing.
#   --bench  also what bench/run.sh compares against: the CUPS raster chain (cupsfilter, the
#            EPL2 raster filter, Ghostscript, the PPD compiler), ImageMagick to crop the design
#            to the label, Google Benchmark and Python.
set -euo pipefail

packages=(
  # toolchains: native, 32-bit Linux (the driver's ABI), 32-bit Windows
  build-essential cmake ninja-build g++-multilib g++-mingw-w64-i686 binutils-mingw-w64-i686
  # runs i386 test programs on a kernel that cannot execute them itself
  qemu-user
  # tests
  googletest libbenchmark-dev
  # host: JSON labels
  nlohmann-json3-dev libstb-dev
  # eplview: barcodes, PNG and PDF (zlib), glyphs; in tests decoding and reading PDF pages back
  libzint-dev libpng-dev zlib1g-dev libfreetype-dev fonts-dejavu-core libzxing-dev libgtest-dev
  poppler-utils
  # eplview web: HTTP and JSON; its page is tested in chromium through playwright-core from npm
  libcpp-httplib-dev pkg-config chromium
  # fuzzers (clang's libFuzzer with its sanitizer runtimes)
  clang libclang-rt-14-dev
)
# Kept out of the default list so that a test run does not install a print spooler.
bench_packages=(cups cups-client cups-filters cups-ppdc ghostscript imagemagick libbenchmark-dev python3)
if [[ ${1:-} == --bench ]]; then packages+=("${bench_packages[@]}"); fi

# Node.js and npm from Debian unless a Node.js with its own npm is already there (NodeSource's
# nodejs package carries npm and conflicts with Debian's).
if ! command -v npm >/dev/null; then packages+=(nodejs npm); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "install-deps: everything is installed"
fi
