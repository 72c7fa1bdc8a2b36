#!/usr/bin/env bash
# Sets up, builds and runs every test: once as released (build/), once more
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLEX_GUI=ON -DVORLEX_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLEX_SANITIZE=ON -DVORLEX_GUI=ON -DVORLEX_WERROR=ON
cmake --build build-asan -j "$jobs"
# Qt and fontconfig keep caches alive until exit; leaks are not what this
# build looks for.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
