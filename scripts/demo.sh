#!/usr/bin/env bash
# Runs the updater's main job the way a real application does, on sample bundles made for the occasion:
# the outdated "Sample.app" (1.0) starts the updater with its own pid, waits for "waitquit,-1" and quits;
# the updater then replaces it by the up-to-date copy (2.0), restarts it, watches it for 2 s
# (--verify-launch 2: a version that quit at once would be replaced by the previous one again) and moves
# the old one to the trash. Both bundles declare the demo's public signing key and are signed with zq-sign, so that the
# updater checks the up-to-date bundle against the key of the installed one before installing it. Shows
# the signing, the exit status, the installed version, what each application run recorded, where the old
# bundle went and the log.
#   demo.sh [folder holding Updater.app]   the build folder (default build), or /usr/libexec/zq for the
#                                          installed package
set -euo pipefail
build=${1:-build}
updater="$(cd "$build" && pwd)/Updater.app/Contents/MacOS/updater"
signer="$(dirname "$updater")/zq-sign"
if [[ ! -x "$updater" ]]; then
    echo "demo: $updater is not built; run 'make demo' from the project's folder." >&2
    exit 1
fi

demo=$(mktemp -d "${TMPDIR:-/tmp}/zq-demo-XXXXXX")
# The user's own trash, desktop and display stay out of it.
export HOME="$demo/home" XDG_DATA_HOME="$demo/home/.local/share"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"

# make_bundle <folder> <version>: a bundle whose program appends its version and arguments to
# app-output.txt and, when asked to update, starts the updater as a real application would.
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
	<key>CFBundleVersion</key>
	<string>$2</string>
	<key>ZQPublicEDKey</key>
	<string>$public_key</string>
</dict>
</plist>
EOF
    cat > "$1/Contents/MacOS/sample" <<EOF
#!/bin/sh
# Sample application $2.
echo "Sample $2 (pid \$\$) started with: \$*" >> "$demo/app-output.txt"
# Started normally, it runs for a while, as an application does; the updater's watch sees it running.
[ "\$1" = "--update-from" ] || exec sleep 5
# Start the updater on this bundle, wait until it says it waits for this process, then quit. A shell
# around it keeps its exit status for the demo.
bundle=\$(cd "\$(dirname "\$0")/../.." && pwd)
mkfifo "$demo/progress"
sh -c '"\$0" "\$@"; echo \$? > "$demo/updater-status"' "$updater" --pid \$\$ --caller-log 1 \\
    --verify-launch 2 --log-dir "$demo/Logs" "\$bundle" "\$2" > "$demo/progress" \\
    2> "$demo/updater-stderr.txt" &
read -r line < "$demo/progress"
echo "Sample $2 read \"\$line\" from the updater and quits" >> "$demo/app-output.txt"
EOF
    chmod +x "$1/Contents/MacOS/sample"
    echo "$2" > "$1/Contents/Resources/version.txt"
}

# bundle_version <folder>: the CFBundleShortVersionString of a bundle's Info.plist.
bundle_version() {
    sed -n '/CFBundleShortVersionString/{n;s/.*<string>\(.*\)<\/string>.*/\1/p;}' "$1/Contents/Info.plist"
}

# wait_for <seconds> <command...>: polls the command every 0.2 s until it succeeds.
wait_for() {
    local tries=$(($1 * 5))
    shift
    until "$@"; do
        ((tries-- > 0)) || return 1
        sleep 0.2
    done
}

outdated="$demo/Applications/Sample.app"
uptodate="$demo/Downloads/Sample.app"
# The application's maker makes a key once; its public half goes into every release's Info.plist.
public_key=$("$signer" generate-key --key "$demo/signing.key" 2>/dev/null | sed -n 's#<string>\(.*\)</string>#\1#p')
make_bundle "$outdated" 1.0
make_bundle "$uptodate" 2.0
echo "demo: signing both bundles with the key $public_key (private key in $demo/signing.key)"
"$signer" sign --key "$demo/signing.key" "$outdated" | sed 's/^/  /'
"$signer" sign --key "$demo/signing.key" "$uptodate" | sed 's/^/  /'
"$signer" verify --public-key "$public_key" "$uptodate" | sed 's/^/  /'

echo "demo: in $demo"
echo "demo: outdated bundle   $outdated (version $(bundle_version "$outdated"))"
echo "demo: up-to-date bundle $uptodate (version $(bundle_version "$uptodate"))"
echo "demo: starting Sample 1.0, which runs: updater --pid <its pid> --caller-log 1 --verify-launch 2"
echo "      --log-dir $demo/Logs <outdated> <up-to-date>, waits for \"waitquit,-1\" and quits"
"$outdated/Contents/MacOS/sample" --update-from "$uptodate"

if ! wait_for 120 test -s "$demo/updater-status"; then
    echo "demo: the updater did not finish within 120 s" >&2
    exit 1
fi
status=$(cat "$demo/updater-status")
# The restarted application runs detached: give it a moment to record its start.
wait_for 10 grep -q "Sample 2.0" "$demo/app-output.txt" || true

echo
echo "demo: the updater exited with status $status"
echo "demo: $outdated now holds version $(bundle_version "$outdated")"
echo "demo: what the applications recorded ($demo/app-output.txt):"
sed 's/^/  /' "$demo/app-output.txt"
trashed=$(ls -d "$XDG_DATA_HOME/Trash/files/"* 2>/dev/null || true)
if [[ -n "$trashed" ]]; then
    echo "demo: the outdated bundle went to the trash: $trashed (version $(bundle_version "$trashed"))"
else
    echo "demo: no bundle in the trash; the folder $demo/Applications holds:"
    ls "$demo/Applications" | sed 's/^/  /'
fi
if [[ -s "$demo/updater-stderr.txt" ]]; then
    echo "demo: the updater's standard error:"
    sed 's/^/  /' "$demo/updater-stderr.txt"
fi
echo "demo: the restart's watch, as the log tells it:"
grep -hE "watched for|Application started|Application not started" "$demo/Logs"/* 2>/dev/null |
    sed 's/^/  /' || echo "  (no watch in this updater's log)"
echo "demo: the signature check, as the log tells it:"
grep -hE "signature|not signed|Signing key" "$demo/Logs"/* 2>/dev/null | sed 's/^/  /' ||
    echo "  (no signature check in this updater's log)"
for log in "$demo/Logs"/*; do
    [[ -f "$log" ]] || continue
    echo "demo: log $log:"
    sed 's/^/  /' "$log"
done
echo "demo: the demo's files stay in $demo"
exit "$status"
