#!/bin/sh
# Installs what is missing, builds everything (program, module, tests, benchmarks)
# into build/ and runs the whole test suite headless.
#   tools/run_tests.sh              the normal build
#   tools/run_tests.sh --sanitize   the same suite built with ASan + UBSan (the module
#                                   too) in build-asan/, whose program directory is
#                                   build-asan/bin (links to bin/'s files); any finding
#                                   fails the run
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
tools/install_deps.sh
jobs=$(nproc)
if [ "$1" != "--sanitize" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j"$jobs"
  SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600
  exit 0
fi

# The sanitizer build's program directory: bin/'s sources linked, its own outputs real.
prog="$root/build-asan/bin"
mkdir -p "$prog/cache" "$prog/shots"
for f in "$root"/bin/*; do
  name=$(basename "$f")
  case "$name" in
    zarnith | sq | *.dll | *.so | *.dds | font.tga | distfont.txt | disticons.txt | objects | cache | shots) ;;
    *) ln -sfn "$f" "$prog/$name" ;;
  esac
done
ln -sfn "$root/compiler" "$root/build-asan/compiler" # the module's sources, "../compiler/" from the program

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARNITH_SANITIZE=ON -DZARNITH_BIN_DIR="$prog" -DZARNITH_BENCHES=OFF
build_start=$(date +%s)
cmake --build build-asan -j"$jobs"
echo "sanitizer build: $(($(date +%s) - build_start)) s"
# Every finding is an error; leaks that belong to the system's libraries are listed,
# one by one, in tools/lsan.supp. Module rebuilds during the tests are instrumented too.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export GAMEOBJ_CXXFLAGS="-O1 -g1 -fsanitize=address,undefined -fno-omit-frame-pointer"
start=$(date +%s)
SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900
echo "sanitizer suite: $(($(date +%s) - start)) s"
