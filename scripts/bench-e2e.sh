#!/usr/bin/env bash
# Builds and runs the end-to-end benchmark: a generated network of 50
# establishments (about 2,000,000 lines, and half of it) with every record of
# the layout, sqlite3's .import of every line against `quelvar merge`, in
# rounds (3 unless --rounds N is given). Each round prints its pair (merge
# time / .import time) with the merge's peak memory; each size then prints
# the median ratio, the peak memory, the time per input line and the
# statements of the run per input line; the end, the time per line at half
# and full size. Extra arguments go to the benchmark (--lines N,
# --establishments N, --dir DIR, --usual-records, --rounds N, --binary PATH).
# --binary (repeatable) compares builds paired, A B A B: e.g.
#   bash scripts/bench-e2e.sh --binary /tmp/quelvar-old --binary build/quelvar
# --usual-records (or QUELVAR_BENCH_MIX=usual) generates only the generator's
# usual records.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh >/dev/null
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target quelvar merge_e2e_bench >/dev/null
./build/bench/merge_e2e_bench --rounds 3 "$@"
