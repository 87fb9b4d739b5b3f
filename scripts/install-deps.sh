#!/usr/bin/env bash
# Installs with apt-get what one kind of work needs, and nothing more:
#   install-deps.sh build    the updater and its libraries (what `make demo` needs)
#   install-deps.sh test     the build, plus the test libraries and the tools the tests call
#   install-deps.sh bench    the build, plus the benchmark library, its baselines and tools
#   install-deps.sh fuzz     the build, plus clang and its sanitizer and libFuzzer runtimes
#   install-deps.sh format   clang-format
#   install-deps.sh package  the build, plus the Debian packaging tools, lintian and debootstrap
# Several groups may be given; with none, every group. Idempotent: when every package is present it
# only checks and returns.
set -euo pipefail

build=(g++ cmake ninja-build make pkg-config libxerces-c-dev libicu-dev libglib2.0-dev)
test=(libgtest-dev libgmock-dev locales e2fsprogs strace)
bench=(libbenchmark-dev hyperfine nlohmann-json3-dev libspdlog-dev e2fsprogs)
fuzz=(clang libclang-rt-14-dev)
format=(clang-format git)
# dpkg-shlibdeps (dpkg-dev) and file find the package's library dependencies; debootstrap makes the
# clean root the installed package is tried in.
package=(dpkg-dev file lintian debootstrap)

groups=("$@")
[[ ${#groups[@]} -gt 0 ]] || groups=(build test bench fuzz format package)
packages=()
for group in "${groups[@]}"; do
    case "$group" in
    build) packages+=("${build[@]}") ;;
    test) packages+=("${build[@]}" "${test[@]}") ;;
    bench) packages+=("${build[@]}" "${bench[@]}") ;;
    fuzz) packages+=("${build[@]}" "${fuzz[@]}") ;;
    format) packages+=("${format[@]}") ;;
    package) packages+=("${build[@]}" "${package[@]}") ;;
    *) echo "install-deps: unknown group '$group' (build, test, bench, fuzz, format, package)" >&2; exit 2 ;;
    esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
