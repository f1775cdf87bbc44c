#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
# A folder reaches another only through the headers its library shows, never
# by climbing out of itself with "../".
climbing=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"\.\./' \
  --include='*.h' --include='*.cpp' --exclude-dir='build*' --exclude-dir=.git . || true)
if [ -n "$climbing" ]; then
  printf '%s\n' "$climbing" >&2
  echo "test.sh: these includes climb out of their folder with ../; link the library instead" >&2
  exit 1
fi
# A compiler cache, where there is one, for builds in fresh folders.
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-ccache}
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache}
fi
cmake --preset default >/dev/null
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
