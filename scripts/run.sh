#!/usr/bin/env bash
# Installs what is missing and builds the programs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

"$root/scripts/install-deps.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=OFF -DKVR_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)"
echo "built in $build"
