#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for FUZZ_SECONDS (default 60),
# keeping its corpus in build-fuzz/corpus/<name>. Stops at the first failure.
#   run-fuzzers.sh [--build-only] [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build_only=0
if [[ ${1:-} == --build-only ]]; then
    build_only=1
    shift
fi
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
bash scripts/install-deps.sh fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVKIT_BUILD_TESTS=OFF -DVKIT_BUILD_FUZZ=ON -DVKIT_WERROR=ON -DVKIT_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzzers
((build_only == 0)) || exit 0
shopt -s nullglob
for fuzzer in "$build"/fuzz/*/*_fuzzer; do
    name=$(basename "$fuzzer")
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    # A target's committed seeds (fuzz/<folder>/corpus/) are read too; new inputs go to the build's corpus.
    seeds=("fuzz/$(basename "$(dirname "$fuzzer")")/corpus")
    [[ -d ${seeds[0]} ]] || seeds=()
    echo "== $name (${seconds}s)"
    "$fuzzer" -max_len=4096 -max_total_time="$seconds" -artifact_prefix="$build/corpus/$name-" "$corpus" \
        "${seeds[@]}"
done
