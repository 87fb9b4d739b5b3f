#!/usr/bin/env bash
# Counts the lines of C++ (.cpp and .h files tracked by git) that are neither blank nor only a comment:
# the tests (tests/) against the code (everything outside tests/, bench/ and fuzz/), and their ratio.
# With a revision argument, counts what that revision holds instead of the working tree.
set -euo pipefail
cd "$(dirname "$0")/.."
rev="${1:-}"

count() { # count <pathspec...>: code lines of the matching files
    local files
    if [[ -n "$rev" ]]; then
        files=$(git ls-tree -r --name-only "$rev" -- "$@" | grep -E '\.(cpp|h)$' || true)
        for f in $files; do git show "$rev:$f"; done
    else
        files=$(git ls-files -- "$@" | grep -E '\.(cpp|h)$' || true)
        [[ -z "$files" ]] || cat $files
    fi | awk '
        { line = $0 }
        incomment { if (line ~ /\*\//) { sub(/.*\*\//, "", line); incomment = 0 } else next }
        { gsub(/\/\*.*\*\//, "", line) }
        line ~ /\/\*/ { sub(/\/\*.*/, "", line); incomment = 1 }
        { sub(/^[ \t]+/, "", line) }
        line == "" || line ~ /^\/\// { next }
        { n++ }
        END { print n + 0 }'
}

tests=$(count tests)
code=$(count . ':!tests' ':!bench' ':!fuzz')
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.3f\n", t, c, (c ? t / c : 0) }'
