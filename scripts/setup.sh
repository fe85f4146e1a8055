#!/usr/bin/env bash
# Installs what building (and, with --test, testing) needs from Debian's
# packages, then configures and builds into build/.
#   bash scripts/setup.sh [--test]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config dpkg-dev qt6-base-dev qt6-base-private-dev qt6-webengine-dev libgl-dev libxcb1-dev
          libmicrohttpd-dev libespeak-ng-dev nlohmann-json3-dev zlib1g-dev libgtest-dev
          fonts-noto-cjk fonts-noto-color-emoji xdg-utils)
if [ "${1:-}" = "--test" ]; then
    packages+=(xvfb xauth openbox trayer xdotool x11-utils nodejs desktop-file-utils appstream file)
fi

# DejaVu Sans draws the IPA letters the CJK font lacks.
packages+=(fonts-dejavu-core)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build --parallel "$(nproc)"
