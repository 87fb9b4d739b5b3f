#!/usr/bin/env bash
# Runs every benchmark program of a release build; each compares the library with its baseline.
set -euo pipefail
build=${1:-build-release}
shopt -s nullglob
for bench in "$build"/bench/*/*_bench; do
    echo "== $(basename "$bench")"
    "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_min_time=0.2 "${@:2}"
done
