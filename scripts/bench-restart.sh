#!/usr/bin/env bash
# Restart latency, run by hand (root: it mounts a file-system image): the time from the caller's exit
# to the restarted application's first instruction, for a bundle of the generated 5,000-file tree and
# for a one-file bundle, on a journaled ext4 image with Debian's defaults (direct I/O). Three sides
# alternate in each run:
#   updater   this build's updater: the copy is staged before the caller is told to quit
#   baseline  an updater that copies after the wait (BASELINE, the build folder of an earlier version)
#   script    the whole-update benchmark's script (mv, cp -a, sync -f, mv) started at the caller's exit,
#             then the application
# The caller is a `sleep` that the benchmark kills once the updater has written "waitquit"; the
# application is a bash script that writes $EPOCHREALTIME first thing. Medians of RUNS runs.
#
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_BENCH=ON
#   cmake --build build-release --target updater_bundle tree_bench
#   BASELINE=../old/build-release RUNS=7 IMAGE_DIR=/var/tmp scripts/bench-restart.sh [build folder]
set -euo pipefail

build=$(realpath "${1:-build-release}")
runs=${RUNS:-7}
updater=$build/Updater.app/Contents/MacOS/updater
tool=$build/bench/files/tree_bench
baseline=
[[ -n ${BASELINE:-} ]] && baseline=$(realpath "$BASELINE")/Updater.app/Contents/MacOS/updater
for program in "$updater" "$tool" ${baseline:+"$baseline"}; do
    [[ -x "$program" ]] || { echo "bench-restart: $program is missing; build it" >&2; exit 1; }
done
[[ $(id -u) -eq 0 ]] || { echo "bench-restart: must run as root (mount -o loop)" >&2; exit 1; }

source "$(dirname "$0")/bench-image.sh"
bench_image bench-restart

export HOME=$mnt/home XDG_DATA_HOME=$mnt/home/.local/share XDG_STATE_HOME=$mnt/home/.local/state
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$XDG_DATA_HOME" "$mnt/trash" "$mnt/apps"
stamp=$mnt/started

# make_bundle <folder> <version>: a bundle whose program writes the time it starts at.
make_bundle() {
    mkdir -p "$1/Contents/MacOS"
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>%s%s%s</dict></plist>\n' \
        '<key>CFBundleName</key><string>Bench</string>' \
        '<key>CFBundleExecutable</key><string>bench</string>' \
        "<key>CFBundleVersion</key><string>$2</string>" >"$1/Contents/Info.plist"
    printf '#!/bin/bash\necho "$EPOCHREALTIME" > %s\n' "$stamp" >"$1/Contents/MacOS/bench"
    chmod +x "$1/Contents/MacOS/bench"
}
for size in big small; do
    make_bundle "$mnt/$size-old/Bench.app" 1.0
    make_bundle "$mnt/$size-new/Bench.app" 2.0
done
"$tool" generate "$mnt/big-new/Bench.app/Contents/Resources"
sync
echo "bundle: $(find "$mnt/big-new/Bench.app" -type f | wc -l) files, $(du -sm "$mnt/big-new/Bench.app" | cut -f1)" \
    "MB, and a one-file bundle; $runs runs; $(nproc) processors; ext4 image, direct I/O"

# The microseconds since the epoch, without starting a process.
now_us() { echo "${EPOCHREALTIME/./}"; }

# latency_of <side> <size>: the milliseconds from the caller's exit to the application's start.
latency_of() {
    local side=$1 size=$2 program caller start
    rm -rf "$mnt/apps/Bench.app" "$stamp" "$mnt/trash/"* "$mnt"/.Trash-*/ "$XDG_DATA_HOME/Trash"
    cp -a "$mnt/$size-old/Bench.app" "$mnt/apps/Bench.app"
    sync
    sleep 600 &
    caller=$!
    if [[ $side == script ]]; then
        start=$(now_us)
        kill "$caller" && wait "$caller" 2>/dev/null || true
        mv "$mnt/apps/Bench.app" "$mnt/apps/Bench_old0001.app" &&
            cp -a "$mnt/$size-new/Bench.app" "$mnt/apps/Bench.app" &&
            sync -f "$mnt/apps/Bench.app" &&
            mv "$mnt/apps/Bench_old0001.app" "$mnt/trash/Bench_old0001.app" &&
            "$(dirname "$updater")/zq-open" -a "$mnt/apps/Bench.app"
    else
        program=$updater
        [[ $side == baseline ]] && program=$baseline
        rm -f "$work/said"
        mkfifo "$work/said"
        "$program" --caller-log 1 --silent --pid "$caller" "$mnt/apps/Bench.app" "$mnt/$size-new/Bench.app" \
            >"$work/said" &
        local line
        read -r line <"$work/said" || { echo "bench-restart: $side said nothing" >&2; exit 1; }
        start=$(now_us)
        kill "$caller" && wait "$caller" 2>/dev/null || true
        wait $! || { echo "bench-restart: the $side updater failed" >&2; exit 1; }
    fi
    local tries=0
    while [[ ! -s $stamp ]] && ((tries++ < 1000)); do sleep 0.005; done
    [[ -s $stamp ]] || { echo "bench-restart: the $side run did not restart the application" >&2; exit 1; }
    local started
    started=$(<"$stamp")
    echo $(((${started/./} - start) / 1000))
}

sides="updater script"
[[ -n $baseline ]] && sides="updater baseline script"
declare -A times
for ((run = 0; run < runs; run++)); do
    order=$sides
    ((run % 2 == 1)) && order=$(tr ' ' '\n' <<<"$sides" | tac | paste -sd' ')
    for size in big small; do
        for side in $order; do
            times[$side-$size]+="$(latency_of "$side" "$size") "
        done
    done
done
for size in big small; do
    line="$size:"
    for side in $sides; do
        # shellcheck disable=SC2086
        m=$(median ${times[$side-$size]})
        declare "median_${side}_$size=$m"
        line+="  $side ${m} ms"
    done
    echo "$line"
done
awk -v b="$median_updater_big" -v s="$median_updater_small" 'BEGIN { printf "updater beyond the 1000 ms \
settling: %g ms for the big bundle, %g ms for the one-file bundle (budget: under 50 ms, within 10 ms of \
each other)\n", b - 1000, s - 1000 }'
for key in "${!times[@]}"; do echo "runs $key (ms): ${times[$key]}"; done | sort
