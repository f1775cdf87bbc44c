#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the tool.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)"
