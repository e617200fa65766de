#!/usr/bin/env bash
# Installs what is missing, builds every test with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them (with every benchmark once, as
# briefly as it allows, in each output format: a smoke test that fails when
# a benchmark's picture or work does not check out, and every fuzz target
# over its seeds), then builds the optimized configuration that
# scripts/run.sh ships and runs the tests again there with the walks of the
# real program, then runs the threaded tests under ThreadSanitizer. Starts a
# virtual X server when there is no display; drawing uses Mesa's software
# renderer. Each test suite runs in one process of its own.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
logs="$root/build/logs"

# Each stage's time is printed at the end, passed or failed, so that a
# change that makes the command slow is seen at once.
stage_names=()
stage_seconds=()
stage_begun=0
stage_name=""
command_begun=$SECONDS
begin_stage() {
    end_stage
    stage_name="$1"
    stage_begun=$SECONDS
}
end_stage() {
    if [ -n "$stage_name" ]; then
        stage_names+=("$stage_name")
        stage_seconds+=($((SECONDS - stage_begun)))
        stage_name=""
    fi
}
# The command's exit status is handed in: the trap reads it first, before
# anything it runs can change it.
print_stages() {
    local status="$1"
    end_stage
    echo
    echo "Stage times ($(nproc) processors):"
    local i
    for i in "${!stage_names[@]}"; do
        printf '  %-34s %4d:%02d\n' "${stage_names[$i]}" $((stage_seconds[i] / 60)) $((stage_seconds[i] % 60))
    done
    local name
    for name in release tsan; do
        if [ -e "$logs/$name.built" ]; then
            local built
            built="$(cat "$logs/$name.built")"
            printf '  %-34s %4d:%02d\n' "($name build, beside the rest)" $((built / 60)) $((built % 60))
        fi
    done
    local total=$((SECONDS - command_begun))
    printf '  %-34s %4d:%02d\n' "total" $((total / 60)) $((total % 60))
    [ "$status" -eq 0 ] && return
    local stage="${stage_names[-1]:-install}"
    if [ -n "$stopped_by" ]; then
        echo "The test command was stopped by SIG$stopped_by in stage: $stage"
    else
        echo "The test command failed in stage: $stage$failure_note"
    fi
}
# A signal that ends the command (Ctrl-C, a time limit) is said, with the
# stage it stopped, and ends the command with the status a shell gives a
# command a signal ended (a plain exit would leave the last command's 0).
stopped_by=""
failure_note=""
on_signal() {
    stopped_by="$1"
    exit $((128 + $(kill -l "$1")))
}

if [ "${1:-}" != "--background-builds" ]; then
    trap 'print_stages "$?"' EXIT
    trap 'on_signal INT' INT
    trap 'on_signal TERM' TERM
    trap 'on_signal HUP' HUP
    begin_stage "install packages"
    "$root/scripts/install-deps.sh"
fi

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
# display, as many tests at once as given. Extra arguments go to ctest. The server never resets: by default
# it resets whenever its last client leaves, and a test that connects
# meanwhile finds no display.
run_ctest() {
    local build="$1"
    local parallel="$2"
    shift 2
    local command=(ctest --test-dir "$build" --output-on-failure --parallel "$parallel" --timeout 600 "$@")
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "${command[@]}"
    else
        "${command[@]}"
    fi
}

asan="$root/build/asan"
release="$root/build/release-tests"
tsan="$root/build/tsan"
# The sanitizer builds keep line tables only (-g1): a report still names
# each frame's file and line, and the build takes a tenth less.
debug_flags=(-DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)

# The optimized and the thread-sanitizer builds (below) run beside the
# sanitizer build and its tests at idle priority: they take only the
# processor time the foreground leaves (a test waiting on a deadline, a walk
# pacing its frames, a link on one processor), and no test waits behind
# them. Each finished build leaves "<name>.built" holding its seconds.
idle() {
    if chrt --idle 0 true 2>/dev/null; then
        chrt --idle 0 "$@"
    else
        nice -n 19 "$@"
    fi
}
build_in_background() {
    local begun=$SECONDS
    cmake -S "$root" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKVR_BENCH=OFF -DKVR_FUZZ_REPLAYS=OFF \
        -DKVR_TEST_CODE_FLAGS=-O1
    cmake --build "$release" --parallel "$jobs"
    echo $((SECONDS - begun)) > "$logs/release.built"
    begun=$SECONDS
    cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${debug_flags[@]}" -DKVR_TSAN=ON -DKVR_BENCH=OFF \
        -DKVR_FUZZ_REPLAYS=OFF -DKVR_TEST_PER_CASE=ON
    cmake --build "$tsan" --parallel "$jobs" --target test_engine_platform test_net test_net_lobby \
        test_game_app test_game_scene
    echo $((SECONDS - begun)) > "$logs/tsan.built"
}
if [ "${1:-}" = "--background-builds" ]; then
    build_in_background
    exit 0
fi
mkdir -p "$logs"
rm -f "$logs"/*.built
# Its own process group, so that the whole build stops with the command
# (job control gives it one). Not a session of its own: the kernel shares
# the processors fairly between sessions, whatever their priority.
set -m
idle "$root/scripts/test.sh" --background-builds > "$logs/background-builds.log" 2>&1 &
builder=$!
set +m
builder_running=1

# Whether the job led by <pid> still runs. The shell's own table of its
# jobs answers, so a number the system has since given to another process
# is never taken for it.
job_runs() {
    local pid
    for pid in $(jobs -rp); do
        [ "$pid" = "$1" ] && return 0
    done
    return 1
}

# The foreground's command runs as a job of its own (its own process
# group, so that all it started stops with it) while the command watches
# the builder itself: a builder that fails, or dies by a signal, fails the
# command at once, whichever stage the foreground is in.
foreground=""
run_watched() {
    set -m
    "$@" < /dev/null &
    foreground=$!
    set +m
    local finished status
    while :; do
        finished=""
        status=0
        if [ -n "$builder_running" ]; then
            wait -n -p finished "$foreground" "$builder" || status=$?
        else
            finished="$foreground"
            wait "$foreground" || status=$?
        fi
        if [ "$finished" = "$foreground" ]; then
            foreground=""
            return "$status"
        fi
        builder_running=""
        [ "$status" -eq 0 ] && continue
        # What the builder started (ninja, the compilers) stops with it; its
        # process group still has them, so the number is still theirs.
        kill -- -"$builder" 2>/dev/null || true
        report_builder_failure "$status"
        stop_job "$foreground"
        foreground=""
        return 1
    done
}
report_builder_failure() {
    local status="$1"
    tail -n 60 "$logs/background-builds.log"
    if [ "$status" -gt 128 ]; then
        echo "The background builds were killed by SIG$(kill -l "$status") (status $status)" \
            "(whole log: $logs/background-builds.log)"
    else
        echo "The background builds failed with status $status (whole log: $logs/background-builds.log)"
    fi
    failure_note=" (the background builds failed beside it)"
}
stop_job() {
    job_runs "$1" && kill -- -"$1" 2>/dev/null
    wait "$1" 2>/dev/null || true
}
trap 'status=$?; stop_job "$foreground"; stop_job "$builder"; print_stages "$status"' EXIT

# Waits until the background build <name> is done. A builder that ended
# without it, or a wait longer than the rest of a run within CI's limit
# allows, prints the end of the builders' log and where the whole log is,
# and fails the command.
build_wait_limit=$((45 * 60))
wait_for_build() {
    local name="$1"
    local deadline=$((SECONDS + build_wait_limit))
    until [ -e "$logs/$name.built" ]; do
        if [ -z "$builder_running" ]; then
            tail -n 60 "$logs/background-builds.log"
            echo "The background builds ended without the $name build (whole log: $logs/background-builds.log)"
            return 1
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            tail -n 60 "$logs/background-builds.log"
            echo "The $name build did not end within $((build_wait_limit / 60)) minutes" \
                "(whole log: $logs/background-builds.log)"
            return 1
        fi
        run_watched sleep 1 || return 1
    done
    echo "The $name build took $(cat "$logs/$name.built") s beside the foreground."
}

begin_stage "sanitizer build"
run_watched cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${debug_flags[@]}" -DKVR_SANITIZE=ON \
    -DKVR_TEST_WALKS=OFF
run_watched cmake --build "$asan" --parallel "$jobs"
# The walks of the real program wait for real frames: they are built and
# run in the optimized build only, the program as it ships.
begin_stage "sanitizer tests"
run_watched run_ctest "$asan" "$jobs"

# The optimizer removes what only a sanitizer build keeps (a dead store, an
# uninitialised read that happens to be zero), and real speed changes what
# a timed wait sees: the shipped flags run the tests too, and the walks.
begin_stage "optimized build (rest of it)"
wait_for_build release
# The walks start first and mostly wait for frames; one more test than
# there are processors runs beside them.
begin_stage "optimized tests"
run_watched run_ctest "$release" $((jobs + 1))

# The stream threads, the movie's worker, the network sessions and the
# game's loading thread once more under ThreadSanitizer (it cannot share a
# build with AddressSanitizer): only the sound, movie, network and loading
# tests, to keep it cheap (each test case on its own, as only some cases
# of a suite are picked). Everything runs several times slower there: the
# test waits such a run outlasts stretch by the build's own factor
# (tests/support/TimeScale.h). Each test runs once: a race report fails the
# stage, never to be passed over by a second run that missed the race.
begin_stage "thread-sanitizer build (rest of it)"
wait_for_build tsan
begin_stage "thread-sanitizer tests"
run_watched ctest --test-dir "$tsan" --output-on-failure --parallel "$jobs" --timeout 600 \
    -R 'Sound|Movie|^(PacketQueue|NetSession|NetSendQueue|NetMultiProcess|Upnp|UpnpMessages|LineTest|LobbyDispatchTest|LobbyLoopback|LobbyMisbehaviourTest|HostileRoom|HostileServer|LoadingLock|ControllerLoading|NetLockstep|NetMatchMessages|NetworkSceneSeats|NetworkSceneBattle|NetworkMatchProcesses|NetworkMatchPlayer)\.'
