#!/bin/sh
# Installs what is missing, builds everything (program, module, tests, benchmarks)
# into build/ and runs the whole test suite headless.
set -e
cd "$(dirname "$0")/.."
tools/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
