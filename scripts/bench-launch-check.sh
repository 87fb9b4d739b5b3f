#!/usr/bin/env bash
# The restart's watch (--verify-launch), timed as whole commands and run by hand, on an application that
# keeps running:
# 1. the opener: the wall time `zq-open --watch 1` takes beyond its second, beside the opener without the
#    watch, then its CPU time over a 5 s watch beside the opener alone;
# 2. the whole updater on two one-file bundles: the wall time `updater --verify-launch 1` takes beyond
#    the same update without the option, less the second (budget: under 50 ms), and the CPU time of the
#    run with a 5 s watch beside the run without it (the shell's children times, to the millisecond:
#    the updater and the opener it waited for); then the CPU the updater and the opener use while they
#    wait, read from the kernel's per-thread run time (/proc/PID/task/*/schedstat, in nanoseconds) over
#    4 s of a 5 s watch (budget for the updater's whole run: 10 ms).
# Alternating, medians of RUNS (wall) and CPU_RUNS (CPU).
#
#   scripts/bench-launch-check.sh [build folder] (default build-release; needs the updater's bundle:
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_BENCH=ON
#   cmake --build build-release --target updater_bundle)
#   RUNS=20 CPU_RUNS=5 scripts/bench-launch-check.sh
set -euo pipefail

build=$(realpath "${1:-build-release}")
runs=${RUNS:-20}
cpu_runs=${CPU_RUNS:-5}
opener=$build/Updater.app/Contents/MacOS/zq-open
updater=$build/Updater.app/Contents/MacOS/updater
for program in "$opener" "$updater"; do
    [[ -x "$program" ]] || { echo "bench-launch-check: $program is missing; build it in $build" >&2; exit 1; }
done

source "$(dirname "$0")/bench-image.sh"
bench_image bench-launch-check 0 # a plain folder: nothing here writes much
# The application is ended by its pid (written by itself) after each run, and at exit.
end_app() {
    [[ -f $work/pid ]] || return 0
    kill "$(cat "$work/pid")" 2>/dev/null || true
    rm -f "$work/pid"
}
trap 'end_app; bench_image_remove' EXIT

# make_app <bundle>: a bundle whose program writes its pid and keeps running until it is ended.
make_app() {
    mkdir -p "$1/Contents/MacOS"
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>%s</dict></plist>\n' \
        '<key>CFBundleExecutable</key><string>run</string>' >"$1/Contents/Info.plist"
    printf '#!/bin/sh\necho $$ > "%s/pid.tmp" && mv "%s/pid.tmp" "%s/pid"\nexec sleep 600\n' "$work" "$work" \
        "$work" >"$1/Contents/MacOS/run"
    chmod +x "$1/Contents/MacOS/run"
}
app=$work/Run.app
make_app "$app"

# wait_app: waits until the application of the last run wrote its pid (the opener alone does not wait).
wait_app() {
    while [[ ! -f $work/pid ]]; do sleep 0.01; done
}
# micros <command...>: the microseconds the command took (bash's clock: no process started to read it).
micros() {
    local start=${EPOCHREALTIME/./}
    "$@" >/dev/null
    echo $((${EPOCHREALTIME/./} - start))
}

declare -a watch plain
for ((run = 0; run < runs; run++)); do
    watch+=($(($(micros "$opener" --watch 1 -a "$app") - 1000000)))
    wait_app && end_app
    plain+=("$(micros "$opener" -a "$app")")
    wait_app && end_app
done
w=$(median "${watch[@]}")
p=$(median "${plain[@]}")
echo "wall: zq-open --watch 1 takes 1 s + $w us (median of $runs; budget 50000 us with the updater's side);" \
    "zq-open alone $p us: the watch itself adds $(awk -v a="$w" -v b="$p" 'BEGIN { printf "%d", a - b }') us"
echo "runs (us beyond 1 s): ${watch[*]} | alone: ${plain[*]}"

# The builtin runs in this shell (a command substitution would be a new process without children).
children_ms() {
    times >"$work/times"
    tail -1 "$work/times" | awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%d", (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000 }'
}
# cpu_of <command...>: the CPU milliseconds of the command and the children it reaped.
cpu_of() {
    children_ms >"$work/before"
    "$@" >/dev/null
    children_ms >"$work/after"
    echo $(($(cat "$work/after") - $(cat "$work/before")))
}
declare -a cpu_watch cpu_plain
for ((run = 0; run < cpu_runs; run++)); do
    cpu_watch+=("$(cpu_of "$opener" --watch 5 -a "$app")")
    wait_app && end_app
    cpu_plain+=("$(cpu_of "$opener" -a "$app")")
    wait_app && end_app
done
echo "CPU: zq-open --watch 5 $(median "${cpu_watch[@]}") ms, zq-open alone $(median "${cpu_plain[@]}") ms" \
    "(medians of $cpu_runs; budget of the updater as a whole 10 ms); runs ${cpu_watch[*]} | ${cpu_plain[*]}"

# The whole updater: the same one-file update of A.app by B.app with and without the watch, the home, the
# trash and the journals in the work folder.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_STATE_HOME=$work/home/.local/state
make_app "$work/B.app"
# update [options...]: A.app made anew, then updated by B.app; the trash emptied afterwards.
update() {
    rm -rf "$work/A.app" && make_app "$work/A.app"
    "$updater" --pid=-1 --silent --log-dir "$work/logs" "$@" "$work/A.app" "$work/B.app" >/dev/null ||
        { echo "bench-launch-check: updater $* failed" >&2; exit 1; }
}
after_update() {
    wait_app && end_app
    rm -rf "$HOME/.local/share/Trash"
}
declare -a watched unwatched
for ((run = 0; run < runs; run++)); do
    if ((run % 2 == 0)); then order="watched unwatched"; else order="unwatched watched"; fi
    for side in $order; do
        if [[ $side == watched ]]; then watched+=("$(micros update --verify-launch 1)"); else unwatched+=("$(micros update)"); fi
        after_update
    done
done
w=$(median "${watched[@]}")
u=$(median "${unwatched[@]}")
# Each run beside the other side's run next to it, so that the machine's drift cancels out.
declare -a added
for ((run = 0; run < runs; run++)); do added+=($((watched[run] - unwatched[run] - 1000000))); done
echo "wall: updater --verify-launch 1 $w us, without the option $u us (medians of $runs): the watch adds" \
    "1 s + $(median "${added[@]}") us (median of the paired differences; budget 50000 us)"
echo "runs (us): watched ${watched[*]} | unwatched ${unwatched[*]}"

# schedstat_ns <pid> [thread]: the run time of every thread of the process, or of one, in nanoseconds.
schedstat_ns() {
    cat /proc/"$1"/task/${2:-*}/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d", sum }'
}
declare -a cpu_watched cpu_unwatched waiting main_waiting opener_waiting
for ((run = 0; run < cpu_runs; run++)); do
    cpu_watched+=("$(cpu_of update --verify-launch 5)")
    after_update
    cpu_unwatched+=("$(cpu_of update)")
    after_update
    # The wait itself: from the application's start (its pid written) to 4 s later.
    update --verify-launch 5 &
    wait_app
    pid=$(pgrep -n -f "^$updater --pid=-1") && watcher=$(pgrep -n -P "$pid")
    before=$(schedstat_ns "$pid") && main_before=$(schedstat_ns "$pid" "$pid")
    opener_before=$(schedstat_ns "$watcher")
    sleep 4
    waiting+=($(($(schedstat_ns "$pid") - before)))
    main_waiting+=($(($(schedstat_ns "$pid" "$pid") - main_before)))
    opener_waiting+=($(($(schedstat_ns "$watcher") - opener_before)))
    wait
    after_update
done
echo "CPU: updater --verify-launch 5 $(median "${cpu_watched[@]}") ms for the whole run, without the option" \
    "$(median "${cpu_unwatched[@]}") ms (medians of $cpu_runs, the opener included; budget 10 ms);" \
    "runs ${cpu_watched[*]} | ${cpu_unwatched[*]}"
echo "CPU while it waits, over 4 s of the 5 s watch: the updater $(median "${waiting[@]}") ns, of which its" \
    "main thread $(median "${main_waiting[@]}") ns, the opener $(median "${opener_waiting[@]}") ns (medians);" \
    "runs ${waiting[*]} | ${main_waiting[*]} | ${opener_waiting[*]}"

