#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

PACKAGES=(
    cmake make g++ pkg-config ccache
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
    ninja-build nsis librsvg2-bin icoutils python3-pefile xdotool locales
    systemd libmodbus-dev nettle-dev mbpoll python3-pymodbus python3-serial-asyncio autoconf automake libtool
    libmosquitto-dev mosquitto mosquitto-clients python3-paho-mqtt openssl
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
if [ ${#missing[@]} -ne 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The locales the Windows suites run Wine in: Wine takes its ANSI code page
# and the user's language from LANG (ru_RU.UTF-8: 1251 and Russian;
# en_US.UTF-8: 1252 and English), and falls back to English where the
# system has not generated the locale.
for loc in ru_RU en_US; do
    if ! locale -a 2>/dev/null | grep -qix "$loc.utf-\?8"; then
        echo "install-deps: generating the locale $loc.UTF-8"
        $SUDO localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
    fi
done
