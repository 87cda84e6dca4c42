#!/usr/bin/env bash
# How long `eplhost check` takes over a large batch, against printing the same batch to a file.
# check reads every record and resolves, measures and checks every object without the module
# drawing anything; print runs the same checks first and then the job. Goal: check takes at most
# twice the time of print.
#
# Builds eplhost and the module as they ship (Release, no sanitizers) in the benchmark's own tree,
# writes RECORDS asset-tag records (default 100000), and times each command RUNS times (default
# 3), reporting the median wall-clock seconds of each and their ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
records=${RECORDS:-100000}
runs=${RUNS:-3}
build=build/bench-i386
jobs=${JOBS:-2}

bash scripts/install-deps.sh >/dev/null
cmake -S . -B "$build" -G Ninja --toolchain cmake/toolchain-i386.cmake \
  -DCMAKE_BUILD_TYPE=Release -DEPL2_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target epl2drv eplhost >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$records" "$work/tags.csv" <<'EOF'
import sys
count, path = int(sys.argv[1]), sys.argv[2]
with open(path, "w") as out:
    out.write("asset_id,location\n")
    for i in range(count):
        out.write(f"AT-{i:06d},Room {i % 400}\n")
EOF

# The i386 runner the tests use, when the kernel needs one.
runner=${EPL2_I386_RUNNER:-}
python3 - "$runs" "$records" "$runner" "$build/eplhost" examples/asset-tag.json "$work" <<'EOF'
import statistics, subprocess, sys, time
runs, records, runner, eplhost, label, work = sys.argv[1:]
prefix = [runner] if runner else []


def median_seconds(args):
    times = []
    for _ in range(int(runs)):
        start = time.perf_counter()
        subprocess.run(prefix + args, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


data = ["--data", f"{work}/tags.csv"]
printing = median_seconds([eplhost, "print", label, *data, "--output", f"{work}/out.epl"])
checking = median_seconds([eplhost, "check", label, *data])
print("records  print to a file (s)  check (s)  check / print")
print(f"{int(records):7d}  {printing:19.2f}  {checking:9.2f}  {checking / printing:13.2f}")
EOF
