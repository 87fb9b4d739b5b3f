#!/usr/bin/env bash
# Installs with apt-get what one kind of work needs, and nothing more:
#   install-deps.sh build    the updater and its libraries (what `make demo` needs)
#   install-deps.sh test     the build, plus the test libraries and the tools the tests call
#   install-deps.sh bench    the build, plus the benchmark library, its baselines and tools
#   install-deps.sh fuzz     the build, plus clang and its sanitizer and libFuzzer runtimes
#   install-deps.sh format   clang-format
#   install-deps.sh package  the build, plus the Debian packaging tools, lintian and debootstrap
# Several groups may be given; with none, every group. Idempotent: when every package is present it
# only checks and returns. It prints one line per group that needs packages, naming them; apt-get's own
# output goes to a log file that is shown only when the installation fails.
set -euo pipefail

declare -A group_packages=(
    [build]="g++ cmake ninja-build make pkg-config libxerces-c-dev libexpat1-dev libicu-dev libglib2.0-dev libsodium-dev"
    [test]="libgtest-dev libgmock-dev locales e2fsprogs strace"
    [bench]="libbenchmark-dev hyperfine nlohmann-json3-dev libspdlog-dev e2fsprogs"
    [fuzz]="clang libclang-rt-14-dev"
    [format]="clang-format git"
    # dpkg-shlibdeps (dpkg-dev) and file find the package's library dependencies; debootstrap makes the
    # clean root the installed package is tried in.
    [package]="dpkg-dev file lintian debootstrap"
)
# The groups each group builds on.
declare -A group_base=([test]=build [bench]=build [fuzz]=build [package]=build)

groups=("$@")
[[ ${#groups[@]} -gt 0 ]] || groups=(build test bench fuzz format package)
wanted=()
for group in "${groups[@]}"; do
    if [[ -z "${group_packages[$group]+set}" ]]; then
        echo "install-deps: unknown group '$group' (build, test, bench, fuzz, format, package)" >&2
        exit 2
    fi
    for g in ${group_base[$group]:-} "$group"; do
        [[ " ${wanted[*]} " == *" $g "* ]] || wanted+=("$g")
    done
done

# Without Debian's package tools nothing can be checked or installed: say at once what is needed.
if ! command -v dpkg-query > /dev/null 2>&1 || ! command -v apt-get > /dev/null 2>&1; then
    echo "install-deps: this system has no apt-get; install these (Debian 12 package names) by hand," >&2
    echo "then run the same command again:" >&2
    for group in "${wanted[@]}"; do
        echo "  $group: ${group_packages[$group]}" >&2
    done
    exit 1
fi

is_installed() {
    [[ "$(dpkg-query -W -f='${Status}' "$1" 2> /dev/null || true)" == "install ok installed" ]]
}

# The missing packages, group by group, each package counted in the first group that names it.
declare -A seen=()
missing_groups=()
declare -A missing_of=()
for group in "${wanted[@]}"; do
    for package in ${group_packages[$group]}; do
        [[ -n "${seen[$package]+set}" ]] && continue
        seen[$package]=1
        is_installed "$package" && continue
        [[ -n "${missing_of[$group]+set}" ]] || missing_groups+=("$group")
        missing_of[$group]="${missing_of[$group]:-}${missing_of[$group]:+ }$package"
    done
done
[[ ${#missing_groups[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo > /dev/null 2>&1; then
        echo "install-deps: packages are missing and this user is not root; as root, run:" >&2
        echo "  apt-get install $(for g in "${missing_groups[@]}"; do printf '%s ' ${missing_of[$g]}; done)" >&2
        exit 1
    fi
    sudo="sudo"
fi

log=$(mktemp "${TMPDIR:-/tmp}/install-deps-XXXXXX.log")
fail() {
    echo "install-deps: $1 failed; apt-get said:" >&2
    cat "$log" >&2
    echo "install-deps: (this output is kept in $log)" >&2
    exit 1
}
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq > "$log" 2>&1 || fail "apt-get update"
for group in "${missing_groups[@]}"; do
    echo "install-deps: $group: installing ${missing_of[$group]}"
    # shellcheck disable=SC2086 # the package list is words on purpose
    $sudo apt-get install -y -qq --no-install-recommends -o Dpkg::Use-Pty=0 ${missing_of[$group]} \
        >> "$log" 2>&1 || fail "installing the $group group"
done
rm -f "$log"
