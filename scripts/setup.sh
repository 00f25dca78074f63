#!/usr/bin/env bash
# Installs what the build needs from Debian's packages (only what is missing), then configures
# and builds into ./build. With --tests it also installs what the tests use.
#   scripts/setup.sh [--tests]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make g++ pkg-config zlib1g-dev libxml2-dev nlohmann-json3-dev qt6-base-dev)
if [[ "${1:-}" == "--tests" ]]; then
    # unzip and python3 read our output independently; LibreOffice opens what we repair.
    packages+=(libgtest-dev unzip zip python3 libreoffice-draw-nogui)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
