#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need; only those missing.
# Usage: tools/deps.sh run|test
set -euo pipefail

run_packages=(build-essential cmake pkg-config qt6-base-dev libx11-dev libxext-dev
              libdeflate-dev zlib1g-dev fonts-noto-cjk)
test_packages=(libgtest-dev libgmock-dev libpng-dev libbenchmark-dev xvfb xauth openbox
               xdotool x11-utils clang libclang-rt-14-dev)

wanted=("${run_packages[@]}")
if [ "${1:-run}" = test ]; then
    wanted+=("${test_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
