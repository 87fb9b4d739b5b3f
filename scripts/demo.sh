#!/usr/bin/env bash
# Runs the updater's main job on sample bundles made for the occasion: an outdated "Sample.app" (1.0)
# and an up-to-date one (2.0). Reports what the updater did; the stages it does not have yet are named.
set -euo pipefail
build=${1:-build}
updater="$build/Updater.app/Contents/MacOS/updater"
if [[ ! -x "$updater" ]]; then
    echo "demo: $updater is not built; run 'make build' first." >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zq-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT

# make_bundle <folder> <version>: a bundle whose program says which version it is.
make_bundle() {
    mkdir -p "$1/Contents/MacOS" "$1/Contents/Resources"
    cat > "$1/Contents/Info.plist" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>CFBundleName</key>
	<string>Sample</string>
	<key>CFBundleExecutable</key>
	<string>sample</string>
	<key>CFBundleShortVersionString</key>
	<string>$2</string>
</dict>
</plist>
EOF
    printf '#!/bin/sh\necho "Sample %s started with: $*"\n' "$2" > "$1/Contents/MacOS/sample"
    chmod +x "$1/Contents/MacOS/sample"
}

# bundle_version <folder>: the CFBundleShortVersionString of a bundle's Info.plist.
bundle_version() {
    sed -n '/CFBundleShortVersionString/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;}' "$1/Contents/Info.plist"
}

outdated="$work/Applications/Sample.app"
uptodate="$work/Downloads/Sample.app"
make_bundle "$outdated" 1.0
make_bundle "$uptodate" 2.0
mkdir -p "$work/Logs"
# The caller's process: one that has already ended, so that the wait is over at once.
sh -c 'exit 0' &
caller=$!
wait "$caller"

echo "demo: outdated bundle   $outdated (version $(bundle_version "$outdated"))"
echo "demo: up-to-date bundle $uptodate (version $(bundle_version "$uptodate"))"
echo "demo: running updater --pid $caller --log-dir $work/Logs <outdated> <up-to-date>"
# The user's own trash, desktop and display stay out of it.
set +e
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" \
    "$updater" --pid "$caller" --log-dir "$work/Logs" "$outdated" "$uptodate"
status=$?
set -e
echo "demo: the updater exited with status $status"

installed=$(bundle_version "$outdated" || true)
if [[ "$installed" == "2.0" ]]; then
    echo "demo: $outdated now holds version 2.0"
    for log in "$work/Logs"/*; do
        [[ -f "$log" ]] && { echo "demo: log $log:"; sed 's/^/  /' "$log"; }
    done
else
    echo "demo: $outdated still holds version ${installed:-?}: this build of the updater starts from its"
    echo "      own bundle, brings the library up, reads its command line, runs its stage sequence and"
    echo "      exits, but the update stages (log, bundle checks, wait, swap, restart) are not built yet."
fi
