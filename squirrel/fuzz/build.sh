#!/bin/bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) with CMake into build-fuzz/.
#   squirrel/fuzz/build.sh
#   build-fuzz/squirrel/fuzz/fuzz_sq -max_total_time=600 -timeout=10 build-fuzz/corpus-sq squirrel/fuzz/corpus/sq
#   build-fuzz/squirrel/fuzz/fuzz_rex -max_total_time=120 squirrel/fuzz/corpus/rex
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
cc=${CC_FUZZ:-clang}
cxx=${CXX_FUZZ:-clang++}
CC=$cc CXX=$cxx cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARNITH_FUZZ=ON > /dev/null
cmake --build "$root/build-fuzz" -j"${FUZZ_JOBS:-2}" --target fuzz_sq fuzz_rex
echo "built $root/build-fuzz/squirrel/fuzz/fuzz_sq and fuzz_rex"
