#!/usr/bin/env bash
# Installs what is missing, builds the programs and the stand-in data set,
# and starts the game on that data set; "run.sh config" starts the
# configuration tool instead. Settings and play data are saved in
# $XDG_DATA_HOME/CorvaneSystem/QOR (else ~/.local/share/...).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

"$root/scripts/install-deps.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVR_TESTS=OFF -DKVR_BENCH=OFF
# Only the programs and the data set they run on: no tests, benchmarks or
# fuzz programs.
cmake --build "$build" --parallel "$(nproc)" --target qor qor-config datakit_data
if [ "${1:-}" = "config" ]; then
    exec "$build/tools/config/qor-config" "$build/data"
fi
exec "$build/game/program/qor" "$build/data"
