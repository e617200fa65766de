#!/usr/bin/env bash
# Installs what is missing, builds every test with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them all (with every benchmark once,
# as briefly as it allows, in each output format: a smoke test that fails
# when a benchmark's picture or work does not check out), then builds the
# optimized configuration that scripts/run.sh ships and runs them all again there,
# then runs the threaded tests under ThreadSanitizer. Starts a virtual X
# server when there is no display; drawing uses Mesa's software renderer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

"$root/scripts/install-deps.sh"

# One test per processor: timed tests (network deadlines, frame budgets)
# must not starve behind more tests than the machine can run at once. In a
# container nproc may count every processor of the host while a quota
# allows only a few: the quota counts then.
processors() {
    local count quota period
    count="$(nproc)"
    if [ -r /sys/fs/cgroup/cpu.max ]; then
        read -r quota period < /sys/fs/cgroup/cpu.max
        if [ "$quota" != max ] && [ "${period:-0}" -gt 0 ]; then
            quota=$(( (quota + period - 1) / period ))
            [ "$quota" -lt "$count" ] && count="$quota"
        fi
    fi
    echo "$count"
}
jobs="$(processors)"
export LIBGL_ALWAYS_SOFTWARE=1
export ALSOFT_DRIVERS=null

# ctest over a build folder, inside a virtual X server when there is no
# display. Extra arguments go to ctest.
run_ctest() {
    local build="$1"
    shift
    local command=(ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 600 "$@")
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a -s "-screen 0 1280x1024x24" "${command[@]}"
    else
        "${command[@]}"
    fi
}

asan="$root/build/asan"
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVR_SANITIZE=ON
cmake --build "$asan" --parallel "$jobs"
run_ctest "$asan"

# The optimizer removes what only a sanitizer build keeps (a dead store, an
# uninitialised read that happens to be zero): the shipped flags run every
# test too.
release="$root/build/release-tests"
cmake -S "$root" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVR_BENCH=OFF
cmake --build "$release" --parallel "$jobs"
run_ctest "$release"

# The stream threads, the movie's worker, the network sessions and the
# game's loading thread once more under ThreadSanitizer (it cannot share a
# build with AddressSanitizer): only the sound, movie, network and loading
# tests, to keep it cheap. Everything runs several times slower there, so a
# test whose waits a slow run outlasted gets one more run (a race on a path
# both runs take is reported again).
tsan="$root/build/tsan"
cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKVR_TSAN=ON -DKVR_BENCH=OFF
cmake --build "$tsan" --parallel "$jobs" --target test_engine_platform test_net test_net_lobby \
    test_game_app test_game_scene
ctest --test-dir "$tsan" --output-on-failure --parallel "$jobs" --timeout 600 --repeat until-pass:2 \
    -R 'Sound|Movie|^(PacketQueue|NetSession|NetSendQueue|NetMultiProcess|Upnp|UpnpMessages|LineTest|LobbyDispatchTest|LobbyLoopback|LobbyMisbehaviourTest|HostileRoom|HostileServer|LoadingLock|ControllerLoading|NetLockstep|NetMatchMessages|NetworkSceneSeats|NetworkSceneBattle|NetworkMatchProcesses|NetworkMatchPlayer)\.'
