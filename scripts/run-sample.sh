#!/usr/bin/env bash
# Merges the bundled sample network (samples/, head office first) into out/
# and checks the merged file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p out
merged=$(./build/quelvar merge --output-dir out samples/network/*.txt)
echo "merged file: $merged"
./build/quelvar check "$merged"
