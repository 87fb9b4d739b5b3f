# Sourced by the whole-tree and whole-update benchmarks: a journaled ext4 image with Debian's defaults,
# loop-mounted and removed at exit, and the timing helpers both use.

# bench_image <name> [loop 0|1] [direct I/O 0|1]: sets work (a temporary folder in IMAGE_DIR, removed
# at exit) and mnt, the image mounted there (with loop 0, a plain folder of IMAGE_DIR's file system).
# The loop device writes the image with direct I/O by default, so that what the file system writes
# reaches the disk once, as on a real disk.
bench_image() {
    local loop=${2:-1} direct=${3:-1}
    work=$(mktemp -d "${IMAGE_DIR:-/tmp}/$1.XXXXXX")
    mnt=$work/mnt
    device=
    trap bench_image_remove EXIT
    mkdir "$mnt"
    if [[ $loop != 0 ]]; then
        truncate -s 4G "$work/fs.img"
        mkfs.ext4 -q "$work/fs.img"
        device=$(losetup --direct-io="$([[ $direct != 0 ]] && echo on || echo off)" -f --show "$work/fs.img")
        mount "$device" "$mnt"
    fi
}
bench_image_remove() {
    mountpoint -q "$mnt" && umount "$mnt"
    [[ -n $device ]] && losetup -d "$device" 2>/dev/null
    rm -rf "$work"
}

# Milliseconds taken by the command; sync first, so that neither side pays for the other's writeback.
timed() {
    sync
    local start end
    start=$(date +%s%N)
    "$@"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | awk -v OFMT=%.1f '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
