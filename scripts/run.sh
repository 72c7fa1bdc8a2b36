#!/usr/bin/env bash
# Sets up, builds and starts Vorlex. Without a display it says so and scans
# the volume of the current directory with the command line instead (the
# report on stdout; building and set-up talk on stderr).
set -euo pipefail
here=$(pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh build >&2
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLEX_GUI=ON >&2
cmake --build build -j "$(nproc)" >&2

cd "$here"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$root/build/vorlex"
fi
echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset);" \
     "scanning the current directory's volume with vorlex-scan instead." >&2
exec "$root/build/vorlex-scan"
