#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool talking to the
# simulated instrument: choose "COM 1" in the window's "СОМ Порт" menu.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display found; run it under a virtual one: xvfb-run -a ./run.sh"
    exit 1
fi

runtime=$(mktemp -d /tmp/orbel-run.XXXXXX)
link="$runtime/com1"
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

# The simulated instrument prints its device path on its first line.
coproc SIM { exec build/bin/orbel-sim --link "$link"; }
sim_pid=$SIM_PID
read -r -t 10 device <&"${SIM[0]}" || { echo "run.sh: the simulated instrument did not start"; exit 1; }
echo "run.sh: simulated instrument on $device, linked as COM1 ($link)"

export ORBEL_COM1="$link"
build/bin/orbel "$@"
