#!/usr/bin/env bash
# Tries the Debian package as a user gets it: installs it with apt on a clean Debian 12 root (debootstrap,
# minimal variant), runs the installed updater (its version, then one real update of two sample bundles
# by scripts/demo.sh, whose restart goes through the installed zq-open, and a failed one, whose French
# alert is read with the installed XML module), purges the package and checks that nothing of it is left:
# the root's file list is the one it had before. The package's dependencies are installed first, from its
# Depends, so that what apt keeps of them does not count.
#   test-package.sh [build folder]    default build-package, where `make package` put the .deb
# Needs root (debootstrap, chroot, mount) and the Debian mirror of the machine's apt sources (MIRROR
# names another). The root is made in a tmpfs, where dpkg's flushes cost nothing, and kept as a tarball
# in <build folder>/package-root/, so that a rerun only unpacks it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build-package}" && pwd)
deb=$(ls "$build"/zq-updater_*.deb) # package.sh leaves only the one it made
cache=$build/package-root
root=$cache/root
tarball=$cache/bookworm-minbase.tar.gz
bundle=/usr/libexec/zq/Updater.app

fail() { echo "test-package: FAILED: $*" >&2 && exit 1; }
clean_env=(PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive)
in_root() { chroot "$root" /usr/bin/env -i "${clean_env[@]}" "$@"; }
apt_root() { # apt-get in the root, without a terminal to log to
    in_root apt-get -yq -o Dpkg::Use-Pty=0 "$@" >&3 2>&3 || fail "apt-get $1: $cache/apt.log"; }
snapshot() { # every path of the root but apt's and dpkg's own records, the logs and /tmp
    (cd "$root" && find . -regex '\./\(proc\|tmp\|var/\(cache\|log\|lib/\(apt\|dpkg\)\)\)' -prune -o -print) |
        sort; }
# A sample application still running in the root after a failure keeps it busy: detach it then.
remove_root() { if mountpoint -q "$root"; then umount -R "$root" 2>/dev/null || umount -R -l "$root"; fi; }
trap remove_root EXIT

remove_root
mkdir -p "$root" && mount -t tmpfs -o size=2g,mode=0755 tmpfs "$root"
if [[ -f $tarball ]]; then
    tar -C "$root" --numeric-owner -xzf "$tarball"
else
    mirror=${MIRROR:-$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' |
        awk '$1 == "bookworm" && !m {m = $2} END {print m}')}
    echo "test-package: bootstrapping Debian 12 from $mirror"
    debootstrap --variant=minbase bookworm "$root" "$mirror" > "$cache/debootstrap.log" 2>&1 ||
        fail "debootstrap: $cache/debootstrap.log"
    chroot "$root" apt-get clean
    tar -C "$root" --numeric-owner -czf "$tarball.part" . && mv "$tarball.part" "$tarball"
fi
mount -t proc proc "$root/proc"
cp -L /etc/resolv.conf "$root/etc/" && cp "$deb" "$root/tmp/" && exec 3> "$cache/apt.log"

apt_root update
apt_root satisfy "$(dpkg-deb -f "$deb" Depends)"
snapshot > "$cache/before.txt"
apt_root install "/tmp/${deb##*/}"
in_root "$bundle/Contents/MacOS/updater" --version | grep -qF "$(dpkg-deb -f "$deb" Version | cut -d- -f1)" ||
    fail "updater --version failed or printed another version"

# One real update: Sample 1.0 starts the installed updater on itself and quits; the updater puts 2.0 in
# its place, restarts it with the installed zq-open and moves 1.0 to the trash.
cp scripts/demo.sh "$root/tmp/"
in_root TMPDIR=/tmp bash /tmp/demo.sh "${bundle%/*}" > "$cache/update.log" 2>&1 ||
    fail "the update exited with $?: $cache/update.log"
demo=$(echo "$root"/tmp/zq-demo-*)
grep -qs "Update successful" "$demo"/Logs/* || fail "the updater logged no success: $cache/update.log"
grep -qsF "(\"$bundle/Contents/MacOS/zq-open\" " "$demo"/Logs/* || fail "no restart by zq-open logged"
grep -qs "^Sample 2.0 (pid [0-9]*) started" "$demo/app-output.txt" || fail "Sample 2.0 did not start"
grep -qsx 2.0 "$demo/Applications/Sample.app/Contents/Resources/version.txt" || fail "Sample.app is not 2.0"
grep -qsx 1.0 "$demo"/home/.local/share/Trash/files/*/Contents/Resources/version.txt || fail "1.0 not trashed"
# A failed update: its alert, on standard error without a graphical session, is read from the French
# localization file by the XML module, which the updater finds in the installed bundle.
status=0
in_root LANGUAGE=fr "$bundle/Contents/MacOS/updater" --log-dir /tmp/failed /tmp/none/A.app /tmp/none/B.app \
    2> "$cache/failed.txt" || status=$?
[[ $status == 2 ]] && grep -qF "La mise à jour a échoué" "$cache/failed.txt" ||
    fail "a failed update exited with $status without its French alert: $cache/failed.txt"
apt_root purge zq-updater
snapshot | diff "$cache/before.txt" - || fail "the root's files differ from those before the installation"
echo "test-package: installed, updated two sample bundles, failed one update in French, purged, nothing left"
