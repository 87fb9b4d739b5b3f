#!/usr/bin/env bash
# Runs the updater's main job on sample bundles made for the occasion.
# Until the update engine lands, it runs what the build has and says so.
set -euo pipefail
build=${1:-build}
updater="$build/Updater.app/Contents/MacOS/updater"
if [[ ! -x "$updater" ]]; then
    echo "demo: the updater program is not built yet; the foundation library and its tests are:"
    ls "$build"/tests/kernel/*/ 2>/dev/null | grep -E '_tests$' | sed 's/^/  /' || true
    echo "demo: run 'make test' to exercise them."
    exit 0
fi
"$updater" --version
