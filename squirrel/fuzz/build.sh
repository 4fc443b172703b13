#!/bin/bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan into build-fuzz/.
#   squirrel/fuzz/build.sh            build fuzz_sq and fuzz_rex
#   build-fuzz/fuzz_sq -max_total_time=600 -timeout=10 squirrel/fuzz/corpus/sq build-fuzz/corpus-sq
#   build-fuzz/fuzz_rex -max_total_time=120 squirrel/fuzz/corpus/rex
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$root/build-fuzz
mkdir -p "$out/obj"
cxx=${CXX_FUZZ:-clang++-14}
command -v "$cxx" > /dev/null || cxx=clang++
flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined
       -I"$root/squirrel/include" -I"$root/squirrel/src")
launcher=()
command -v ccache > /dev/null && launcher=(ccache)
objs=()
for src in "$root"/squirrel/src/*.cpp "$root"/squirrel/stdlib/*.cpp; do
    obj=$out/obj/$(basename "$(dirname "$src")")_$(basename "$src" .cpp).o
    objs+=("$obj")
    if [[ ! -f $obj || $src -nt $obj ]]; then
        echo "compile $src"
        "${launcher[@]}" "$cxx" "${flags[@]}" -c "$src" -o "$obj" &
        while (($(jobs -r | wc -l) >= ${FUZZ_JOBS:-2})); do wait -n; done
    fi
done
wait
for target in fuzz_sq fuzz_rex; do
    "$cxx" "${flags[@]}" -fsanitize=fuzzer "$root/squirrel/fuzz/$target.cpp" "${objs[@]}" -o "$out/$target"
    echo "built $out/$target"
done
