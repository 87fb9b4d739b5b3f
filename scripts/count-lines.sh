#!/usr/bin/env bash
# Counts the lines of C++ (.cpp and .h files tracked by git) that are neither blank nor only a //
# comment: the tests (tests/) against the code (everything outside tests/, bench/ and fuzz/), and their
# ratio. With a revision argument, counts what that revision holds instead of the working tree.
set -euo pipefail
cd "$(dirname "$0")/.."
rev="${1:-}"

files() { # the tracked C++ files, one per line
    if [[ -n "$rev" ]]; then git ls-tree -r --name-only "$rev"; else git ls-files; fi | grep -E '\.(cpp|h)$'
}
count() { # count <file list on standard input>: the lines that are neither blank nor only a comment
    while read -r f; do
        if [[ -n "$rev" ]]; then git show "$rev:$f"; else cat "$f"; fi
    done | grep -cvE '^\s*(//.*)?$' || true
}

tests=$(files | grep -E '^tests/' | count)
code=$(files | grep -vE '^(tests|bench|fuzz)/' | count)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.3f\n", t, c, (c ? t / c : 0) }'
