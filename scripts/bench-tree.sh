#!/usr/bin/env bash
# Whole-tree figures, run by hand (root: it mounts a file-system image): the one-call tree copy (called
# directly, and through VFolder::CopyTo with kCopyOverwrite) against `cp -a`, and the forced delete
# against `rm -rf`, on a journaled ext4 image with Debian's defaults,
# loop-mounted here and unmounted afterwards. The two sides of each pair alternate (A B, then B A) and
# the medians of RUNS runs are compared. Caches are not dropped (this machine does not allow it): the
# source tree is equally warm for both sides; `sync` runs before each timed command, so that neither
# pays for the other's writeback.
#
#   scripts/bench-tree.sh [build folder] (default build-release; needs tree_bench built there:
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_BENCH=ON
#   cmake --build build-release --target tree_bench)
#   RUNS=9 THREADS=0 IMAGE_DIR=/var/tmp scripts/bench-tree.sh
#   LOOP=0 scripts/bench-tree.sh    (in IMAGE_DIR itself, on the file system that holds it, no image)
#   DIRECT_IO=0 scripts/bench-tree.sh
# The loop device writes the image with direct I/O by default, so that what the file system writes
# reaches the disk once, as on a real disk; with DIRECT_IO=0 it goes through the host's page cache
# and is written a second time when the image is flushed.
set -euo pipefail

build=${1:-build-release}
runs=${RUNS:-7}
threads=${THREADS:-0}
tool=$(realpath "$build")/bench/files/tree_bench
[[ -x "$tool" ]] || { echo "bench-tree: $tool is missing; build the target tree_bench in $build" >&2; exit 1; }
loop=${LOOP:-1}
[[ $loop == 0 || $(id -u) -eq 0 ]] || { echo "bench-tree: must run as root (mount -o loop)" >&2; exit 1; }

source "$(dirname "$0")/bench-image.sh"
bench_image bench-tree "$loop" "${DIRECT_IO:-1}"
"$tool" generate "$mnt/source"
sync
echo "tree: $(find "$mnt/source" -type f | wc -l) files, $(find "$mnt/source" -type d | wc -l) folders," \
    "$(find "$mnt/source" -type l | wc -l) links, $(du -sm "$mnt/source" | cut -f1) MB; $runs runs;" \
    "threads=$threads; $(nproc) processors; $([[ $loop == 0 ]] && echo "no image, in $(df --output=fstype "$mnt" | tail -1)" || echo "ext4 image, direct I/O ${DIRECT_IO:-1}")"


copy_tree() { "$tool" copy "$mnt/source" "$mnt/copy" "$threads"; }
copy_folder() { "$tool" vcopy "$mnt/source" "$mnt/copy"; }
copy_cp() { cp -a "$mnt/source" "$mnt/copy"; }
copy_cp_sync() { cp -a "$mnt/source" "$mnt/copy" && sync -f "$mnt/copy"; }
delete_tree() { "$tool" delete "$mnt/victim"; }
delete_rm() { rm -rf "$mnt/victim"; }

declare -a tree_copy folder_copy cp_copy cp_sync_copy tree_delete rm_delete tool_start coreutils_start
for ((run = 0; run < runs; run++)); do
    if ((run % 2 == 0)); then order="tree cp folder"; else order="folder cp tree"; fi
    for side in $order; do
        case $side in
        tree) tree_copy+=("$(timed copy_tree)") ;;
        folder) folder_copy+=("$(timed copy_folder)") ;;
        cp) cp_copy+=("$(timed copy_cp)") ;;
        esac
        rm -rf "$mnt/copy"
    done
    cp_sync_copy+=("$(timed copy_cp_sync)")
    rm -rf "$mnt/copy"
    for side in tree cp; do
        ((run % 2 == 0)) || side=$([[ $side == tree ]] && echo cp || echo tree)
        cp -a "$mnt/source" "$mnt/victim"
        if [[ $side == tree ]]; then tree_delete+=("$(timed delete_tree)"); else rm_delete+=("$(timed delete_rm)"); fi
        [[ ! -e "$mnt/victim" ]] || { echo "bench-tree: the delete left $mnt/victim" >&2; exit 1; }
    done
    # Process start-up alone: tree_bench loads ICU, GLib and the rest; cp and rm only the C library.
    mkdir "$mnt/empty"
    tool_start+=("$(timed "$tool" delete "$mnt/empty")")
    mkdir "$mnt/empty"
    coreutils_start+=("$(timed rm -rf "$mnt/empty")")
done

tc=$(median "${tree_copy[@]}")
fc=$(median "${folder_copy[@]}")
cc=$(median "${cp_copy[@]}")
cs=$(median "${cp_sync_copy[@]}")
td=$(median "${tree_delete[@]}")
rd=$(median "${rm_delete[@]}")
ts=$(median "${tool_start[@]}")
us=$(median "${coreutils_start[@]}")
echo "copy   XPosixTreeCopy ${tc} ms   cp -a ${cc} ms   ratio $(ratio "$tc" "$cc") (budget 0.90)"
echo "       VFolder::CopyTo (kCopyOverwrite) ${fc} ms   ratio $(ratio "$fc" "$cc")"
echo "       cp -a + sync -f ${cs} ms (cp -a does not flush; the tree copy does): ratio $(ratio "$tc" "$cs")"
echo "delete XPosixForcedDelete ${td} ms   rm -rf ${rd} ms   ratio $(ratio "$td" "$rd") (budget 1.00)"
echo "start-up tree_bench ${ts} ms, coreutils ${us} ms; net of it: copy ratio $(ratio "$((tc - ts))" "$((cc - us))")," \
    "VFolder::CopyTo $(ratio "$((fc - ts))" "$((cc - us))"), delete $(ratio "$((td - ts))" "$((rd - us))")"
echo "runs (ms): tree copy ${tree_copy[*]} | VFolder::CopyTo ${folder_copy[*]} | cp -a ${cp_copy[*]}"
echo "           forced delete ${tree_delete[*]} | rm -rf ${rm_delete[*]}"
