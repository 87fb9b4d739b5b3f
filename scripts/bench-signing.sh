#!/usr/bin/env bash
# Signing figures, run by hand: `zq-sign verify` and `zq-sign sign` on a bundle holding the benchmark tree
# (tree_bench generate: 5,000 files, about 310 MB) against `sha256sum` over the same files, all reading
# from a warm page cache (each command runs once before the timed runs). The sides alternate (A B, then
# B A) and the medians of RUNS runs are compared. The verification checks the signature and every item
# against the manifest: the digest of every byte, as sha256sum computes one.
#
#   scripts/bench-signing.sh [build folder] (default build-release; needs tree_bench and zq-sign built:
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVKIT_BUILD_BENCH=ON -DVKIT_BUILD_TESTS=OFF
#   cmake --build build-release --target tree_bench zq-sign)
#   RUNS=11 IMAGE_DIR=/var/tmp scripts/bench-signing.sh
#   LOOP=1 scripts/bench-signing.sh    (on a loop-mounted ext4 image; needs root)
set -euo pipefail

build=${1:-build-release}
runs=${RUNS:-9}
generator=$(realpath "$build")/bench/files/tree_bench
signer=$(realpath "$build")/Updater.app/Contents/MacOS/zq-sign
for tool in "$generator" "$signer"; do
    [[ -x "$tool" ]] || { echo "bench-signing: $tool is missing; build tree_bench and zq-sign in $build" >&2; exit 1; }
done

source "$(dirname "$0")/bench-image.sh"
bench_image bench-signing "${LOOP:-0}" 0
bundle=$mnt/Bench.app
"$generator" generate "$bundle/Contents/Resources" >/dev/null
"$signer" generate-key --key "$work/key" 2>/dev/null | sed -n 's#<string>\(.*\)</string>#\1#p' > "$work/public"
"$signer" sign --key "$work/key" "$bundle" >/dev/null
echo "bundle: $(find "$bundle" -type f | wc -l) files, $(find "$bundle" -type l | wc -l) links," \
    "$(du -sm "$bundle" | cut -f1) MB; $runs runs; $(nproc) processors; warm cache"

verify() { "$signer" verify --public-key "$(cat "$work/public")" "$bundle" >/dev/null; }
sign() { "$signer" sign --key "$work/key" "$bundle" >/dev/null; }
sha() { find "$bundle" -type f -print0 | xargs -0 sha256sum >/dev/null; }
verify && sign && sha # the page cache warm for every side

declare -a verify_ms sign_ms sha_verify_ms sha_sign_ms
for ((run = 0; run < runs; run++)); do
    if ((run % 2 == 0)); then
        verify_ms+=("$(timed verify)"); sha_verify_ms+=("$(timed sha)")
        sign_ms+=("$(timed sign)"); sha_sign_ms+=("$(timed sha)")
    else
        sha_verify_ms+=("$(timed sha)"); verify_ms+=("$(timed verify)")
        sha_sign_ms+=("$(timed sha)"); sign_ms+=("$(timed sign)")
    fi
done
verify || { echo "bench-signing: the bundle no longer verifies" >&2; exit 1; }

v=$(median "${verify_ms[@]}")
s=$(median "${sign_ms[@]}")
hv=$(median "${sha_verify_ms[@]}")
hs=$(median "${sha_sign_ms[@]}")
echo "verify zq-sign verify ${v} ms   sha256sum ${hv} ms   ratio $(ratio "$v" "$hv") (budget 1.00)"
echo "sign   zq-sign sign ${s} ms   sha256sum ${hs} ms   ratio $(ratio "$s" "$hs") (budget 1.00)"
echo "runs (ms): verify ${verify_ms[*]} | sha256sum ${sha_verify_ms[*]}"
echo "           sign ${sign_ms[*]} | sha256sum ${sha_sign_ms[*]}"
