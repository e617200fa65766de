#!/usr/bin/env bash
# Installs what is missing, builds every test with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them all. Starts a virtual X server
# when there is no display; drawing uses Mesa's software renderer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

"$root/scripts/install-deps.sh"

jobs="$(nproc)"
build="$root/build/asan"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVR_SANITIZE=ON
cmake --build "$build" --parallel "$jobs"

export LIBGL_ALWAYS_SOFTWARE=1
export ALSOFT_DRIVERS=null
run_tests=(ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 600)
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "${run_tests[@]}"
else
    "${run_tests[@]}"
fi

# The stream threads and the network sessions once more under
# ThreadSanitizer (it cannot share a build with AddressSanitizer): only the
# sound and network tests, to keep it cheap.
tsan="$root/build/tsan"
cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVR_TSAN=ON -DKVR_BENCH=OFF
cmake --build "$tsan" --parallel "$jobs" --target test_engine_platform test_net
ctest --test-dir "$tsan" --output-on-failure --parallel "$jobs" --timeout 600 \
    -R 'Sound|^(PacketQueue|NetSession|NetMultiProcess|Upnp|UpnpMessages|LineTest)\.'
