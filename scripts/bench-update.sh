#!/usr/bin/env bash
# Whole-update figures, run by hand (root: it mounts a file-system image): the updater replacing a
# bundle of the generated 5,000-file tree (--pid=-1, so no wait) against a shell script that gives the
# same guarantee (the old bundle moved aside, `cp -a`, `sync -f`, the old bundle moved to a trash
# folder), on a journaled ext4 image with Debian's defaults, loop-mounted with direct I/O here and
# unmounted afterwards. The two sides alternate and the medians of RUNS runs are compared. Then the
# start-up costs, medians of CPU_RUNS runs: `updater --version`, an update of two one-file bundles, the
# opener alone, beside the floor of the measure (/bin/true), and what the updater loads.
#
#   scripts/bench-update.sh [build folder] (default build-release; needs the updater and tree_bench:
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_BENCH=ON
#   cmake --build build-release --target updater_bundle tree_bench)
#   RUNS=9 CPU_RUNS=20 IMAGE_DIR=/var/tmp scripts/bench-update.sh
#   BASELINE=<another Release build folder> scripts/bench-update.sh   start-up figures of both, alternating
set -euo pipefail

build=$(realpath "${1:-build-release}")
runs=${RUNS:-7}
cpu_runs=${CPU_RUNS:-20}
updater=$build/Updater.app/Contents/MacOS/updater
tool=$build/bench/files/tree_bench
for program in "$updater" "$tool"; do
    [[ -x "$program" ]] || { echo "bench-update: $program is missing; build it in $build" >&2; exit 1; }
done
[[ $(id -u) -eq 0 ]] || { echo "bench-update: must run as root (mount -o loop)" >&2; exit 1; }

source "$(dirname "$0")/bench-image.sh"
bench_image bench-update

# The user's home (and so the trash the updater uses for items of the image) lies on the image.
export HOME=$mnt/home XDG_DATA_HOME=$mnt/home/.local/share
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$XDG_DATA_HOME" "$mnt/trash"

# make_bundle <folder>: a bundle whose Resources hold the generated tree and whose program does nothing.
make_bundle() {
    mkdir -p "$1/Contents/MacOS"
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>%s%s</dict></plist>\n' \
        '<key>CFBundleName</key><string>Bench</string>' \
        '<key>CFBundleExecutable</key><string>bench</string>' > "$1/Contents/Info.plist"
    printf '#!/bin/sh\nexit 0\n' > "$1/Contents/MacOS/bench"
    chmod +x "$1/Contents/MacOS/bench"
}
make_bundle "$mnt/new/Bench.app"
"$tool" generate "$mnt/new/Bench.app/Contents/Resources"
mkdir -p "$mnt/apps"
cp -a "$mnt/new/Bench.app" "$mnt/apps/Bench.app"
sync
echo "bundle: $(find "$mnt/new/Bench.app" -type f | wc -l) files, $(find "$mnt/new/Bench.app" -type d | wc -l)" \
    "folders, $(find "$mnt/new/Bench.app" -type l | wc -l) links, $(du -sm "$mnt/new/Bench.app" | cut -f1) MB;" \
    "$runs runs; $(nproc) processors; ext4 image, direct I/O"


update_updater() {
    "$updater" --pid=-1 --silent "$mnt/apps/Bench.app" "$mnt/new/Bench.app" ||
        { echo "bench-update: the updater failed" >&2; exit 1; }
}
update_script() {
    mv "$mnt/apps/Bench.app" "$mnt/apps/Bench_old0001.app" &&
        cp -a "$mnt/new/Bench.app" "$mnt/apps/Bench.app" &&
        sync -f "$mnt/apps/Bench.app" &&
        mv "$mnt/apps/Bench_old0001.app" "$mnt/trash/Bench_old0001.app"
}
empty_trashes() { rm -rf "$mnt/trash/"* "$mnt"/.Trash-*/ "$XDG_DATA_HOME/Trash"; }

declare -a by_updater by_script
for ((run = 0; run < runs; run++)); do
    if ((run % 2 == 0)); then order="updater script"; else order="script updater"; fi
    for side in $order; do
        if [[ $side == updater ]]; then by_updater+=("$(timed update_updater)"); else by_script+=("$(timed update_script)"); fi
        empty_trashes
    done
done
u=$(median "${by_updater[@]}")
s=$(median "${by_script[@]}")
echo "update  updater ${u} ms   script (mv, cp -a, sync -f, mv) ${s} ms   ratio $(ratio "$u" "$s") (budget 0.70)"
echo "runs (ms): updater ${by_updater[*]} | script ${by_script[*]}"

# The start-up costs: CPU time (user + system) read from the shell's children times (millisecond
# precision), which counts the shell's own fork and exec of the program too: /bin/true, timed the same
# way, shows that floor. `updater --version` brings the process up and down; an update of two one-file
# bundles, with a log, includes the restart through the opener, a program of its own: it is timed
# alone too, and the updater's own share is the difference (where the floor cancels out).
small=$mnt/small
mkdir -p "$small"
make_bundle "$small/A.app"
make_bundle "$small/B.app"
# children_ms <file>: the children's user + system milliseconds in the output of the builtin `times`.
children_ms() {
    tail -1 "$1" | awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%d", (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000 }'
}
# cpu_of <command...>: the CPU milliseconds of the command and the children it waited for. The builtin
# runs in this shell and only writes its figures, which are read after the second one: the processes that
# read them (tail, awk) would otherwise count, a few milliseconds each time.
cpu_of() {
    times >"$work/before"
    "$@" >/dev/null || { echo "bench-update: $* failed" >&2; exit 1; }
    times >"$work/after"
    echo $(($(children_ms "$work/after") - $(children_ms "$work/before")))
}
# The sides: this build, and with BASELINE another one's updater (main's, say), alternating run by run.
declare -A updaters=([build]=$updater)
sides=(build)
if [[ -n ${BASELINE:-} ]]; then
    updaters[baseline]=$(realpath "$BASELINE")/Updater.app/Contents/MacOS/updater
    [[ -x ${updaters[baseline]} ]] || { echo "bench-update: ${updaters[baseline]} is missing" >&2; exit 1; }
    sides+=(baseline)
fi
declare -A version cpu opener
floor=()
for ((run = 0; run < cpu_runs; run++)); do
    cpu_of /bin/true >"$work/ms"
    floor+=("$(cat "$work/ms")")
    if ((run % 2 == 0)); then order=("${sides[@]}"); else order=($(printf '%s\n' "${sides[@]}" | tac)); fi
    for side in "${order[@]}"; do
        program=${updaters[$side]}
        cpu_of "$program" --version >"$work/ms"
        version[$side]+=" $(cat "$work/ms")"
        cp -a "$small/B.app" "$small/A.app.new" && rm -rf "$small/A.app" && mv "$small/A.app.new" "$small/A.app"
        cpu_of "$program" --pid=-1 --silent --log-dir "$small/logs" "$small/A.app" "$small/B.app" >"$work/ms"
        cpu[$side]+=" $(cat "$work/ms")"
        empty_trashes
        cpu_of "$(dirname "$program")/zq-open" -a "$small/A.app" >"$work/ms"
        opener[$side]+=" $(cat "$work/ms")"
    done
done
echo "start-up, CPU ms, medians of $cpu_runs runs (the floor of the measure, /bin/true: $(median "${floor[@]}") ms):"
for side in "${sides[@]}"; do
    # shellcheck disable=SC2086 # the runs are words on purpose
    v=$(median ${version[$side]}) c=$(median ${cpu[$side]}) o=$(median ${opener[$side]})
    echo "  $side (${updaters[$side]%/Updater.app/*}):"
    echo "    updater --version $v ms (budget 5)"
    echo "    small update $c ms with the restart, the opener alone $o ms (budget 5): the updater's own" \
        "$(awk -v a="$c" -v b="$o" 'BEGIN { print a - b }') ms (budget 10)"
    echo "    runs: version${version[$side]} | update${cpu[$side]} | opener${opener[$side]}"
done
echo "  runs: floor ${floor[*]}"
loader_figures() { LD_DEBUG=statistics "$@" 2>&1 >/dev/null | grep -E 'total startup time|number of relocations:' | tr -s ' ' | paste -sd';'; }
# libraries <program>: how many shared libraries the dynamic loader maps for it, and their names.
libraries() { ldd "$1" | awk '{ n++; names = names " " $1 } END { print n ":" names }'; }
for side in "${sides[@]}"; do
    program=${updaters[$side]}
    echo "$side: loader at start-up: updater $(loader_figures "$program" --version)"
    echo "  opener $(loader_figures "$(dirname "$program")/zq-open" -a "$small/A.app")"
    echo "  shared libraries: updater $(libraries "$program")"
    echo "  opener $(libraries "$(dirname "$program")/zq-open")"
done
