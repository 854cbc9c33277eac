#!/usr/bin/env bash
# Mutation fuzzing of import + merge + check for a bounded time (default 120 s):
# seeds are the sample network and the hostile cases the tests carry; findings
# (crashes, timeouts, exit 0 with an output the checker rejects or lines not
# written, exit 1 without a message) are kept under the work folder.
#   bash scripts/fuzz.sh [SECONDS] [SEED]
# QUELVAR_FUZZ_ASAN=1 runs it against an AddressSanitizer build (build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
seed=${2:-1}
bash scripts/build.sh >/dev/null
quelvar=build/quelvar
if [ "${QUELVAR_FUZZ_ASAN:-0}" = 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVAR_GUI=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" >/dev/null
  cmake --build build-asan --target quelvar
  quelvar=build-asan/quelvar
fi
./build/bench/merge_fuzz --seconds "$seconds" --seed "$seed" --quelvar "$PWD/$quelvar" --work "${TMPDIR:-/tmp}/quelvar-fuzz"
