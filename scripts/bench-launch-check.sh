#!/usr/bin/env bash
# The opener's watch, timed as a whole command and run by hand: the wall time `zq-open --watch 1` takes
# beyond its second on an application that keeps running, beside the opener without the watch
# (alternating, medians of RUNS), then the opener's CPU time over a 5 s watch beside the opener alone
# (the shell's children times, to the millisecond; the application, still running, is not counted).
#
#   scripts/bench-launch-check.sh [build folder] (default build-release; needs the opener:
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_BENCH=ON
#   cmake --build build-release --target zq-open)
#   RUNS=20 CPU_RUNS=5 scripts/bench-launch-check.sh
set -euo pipefail

build=$(realpath "${1:-build-release}")
runs=${RUNS:-20}
cpu_runs=${CPU_RUNS:-5}
opener=$build/Updater.app/Contents/MacOS/zq-open
[[ -x "$opener" ]] || { echo "bench-launch-check: $opener is missing; build it in $build" >&2; exit 1; }

source "$(dirname "$0")/bench-image.sh"
bench_image bench-launch-check 0 # a plain folder: nothing here writes much
# The application is ended by its pid (written by itself) after each run, and at exit.
end_app() {
    [[ -f $work/pid ]] || return 0
    kill "$(cat "$work/pid")" 2>/dev/null || true
    rm -f "$work/pid"
}
trap 'end_app; bench_image_remove' EXIT

# A bundle whose program writes its pid and keeps running until it is ended.
app=$work/Run.app
mkdir -p "$app/Contents/MacOS"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>%s</dict></plist>\n' \
    '<key>CFBundleExecutable</key><string>run</string>' >"$app/Contents/Info.plist"
printf '#!/bin/sh\necho $$ > "%s/pid.tmp" && mv "%s/pid.tmp" "%s/pid"\nexec sleep 600\n' "$work" "$work" \
    "$work" >"$app/Contents/MacOS/run"
chmod +x "$app/Contents/MacOS/run"

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
