#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for FUZZ_SECONDS (default 60),
# keeping its corpus in build-fuzz/corpus/<name>. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
bash scripts/install-deps.sh fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVKIT_BUILD_TESTS=OFF -DVKIT_BUILD_FUZZ=ON -DVKIT_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
cmake --build "$build" -j "$(nproc)"
shopt -s nullglob
for fuzzer in "$build"/fuzz/*/*_fuzzer; do
    name=$(basename "$fuzzer")
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    echo "== $name (${seconds}s)"
    "$fuzzer" -max_len=4096 -max_total_time="$seconds" -artifact_prefix="$build/corpus/$name-" "$corpus"
done
