#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

PACKAGES=(
    cmake make g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    gettext fonts-dejavu-core fonts-dejavu-extra
    xvfb xauth
    clang libclang-rt-14-dev
    qt6-serialport-dev python3-serial
    dpkg-dev file desktop-file-utils lintian
    libcli11-dev nlohmann-json3-dev
    python3 qemu-system-x86 busybox-static
    g++-mingw-w64-x86-64-posix googletest wine wine64
    ninja-build nsis librsvg2-bin icoutils xdotool
    libmodbus-dev mbpoll python3-pymodbus python3-serial-asyncio autoconf automake libtool
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
