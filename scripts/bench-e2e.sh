#!/usr/bin/env bash
# Builds and runs the end-to-end benchmark: a generated network of 50
# establishments (about 2,000,000 lines, and half of it) with every record of
# the layout, sqlite3's .import of every line against `quelvar merge`. Extra
# arguments go to the benchmark (--lines N, --establishments N, --dir DIR,
# --usual-records). --usual-records (or QUELVAR_BENCH_MIX=usual) generates only
# the generator's usual records.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
./build/bench/merge_e2e_bench "$@"
