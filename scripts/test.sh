#!/usr/bin/env bash
# Builds and runs every test, then builds the program without the wizard
# window (QUELVAR_GUI=OFF) and merges and checks the sample network with it,
# then cross-builds the Windows program and tries it under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
(cd build && ctest --output-on-failure -j2)

cmake -S . -B build-nogui -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVAR_GUI=OFF >/dev/null
cmake --build build-nogui --target quelvar
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
merged=$(build-nogui/quelvar merge --no-progress --output-dir "$out" samples/network/*.txt)
build-nogui/quelvar check "$merged" >/dev/null
echo "build without the wizard window: merged and checked $(basename "$merged")"

# The Windows program, cross-built and tried under wine (engine tests, the
# sample merge compared byte for byte, accented names, Ctrl+C).
bash scripts/test-windows.sh
