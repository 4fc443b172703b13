#!/bin/sh
# Installs what is missing, builds the program into bin/ and starts it with the given
# switches. Headless: SDL_VIDEODRIVER=offscreen tools/run_game.sh -360 -frames 100
set -e
cd "$(dirname "$0")/.."
tools/install_deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target zarnith
exec bin/zarnith "$@"
