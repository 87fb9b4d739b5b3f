#!/usr/bin/env bash
# Installs with apt-get everything needed to build, test, benchmark and run the project.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

packages=(
    g++ cmake ninja-build make pkg-config git
    libxerces-c-dev libicu-dev libglib2.0-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-format e2fsprogs hyperfine nlohmann-json3-dev
    clang
)

missing=()
for p in "${packages[@]}"; do
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
