#!/bin/bash
# Counts the host instructions each benchmark script executes under sq and,
# where an equivalent <name>.lua lies beside it, under the Lua 5.4 interpreter,
# and prints both counts, the ratio sq/lua and the geometric mean of the ratios.
# Unlike times, the counts do not depend on the load of the machine.
#   bench/squirrel/icount.sh [path/to/sq] [name...]
# Needs valgrind (callgrind); a run takes about fifty times as long as plain.
here=$(cd "$(dirname "$0")" && pwd)
sq=${1:-$here/../../bin/sq}
[[ $sq == */* ]] && sq=$(cd "$(dirname "$sq")" 2> /dev/null && pwd)/$(basename "$sq")
shift 2> /dev/null
only=("$@")
lua=${LUA:-lua5.4}
[[ -x $sq ]] || { echo "sq not found at $sq (build the 'sq' target first)" >&2; exit 1; }
command -v valgrind > /dev/null || { echo "valgrind not found" >&2; exit 1; }

# instructions executed by "$@"
count() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null |
        awk '/Collected :/ { print $4 }'
}

printf "%-14s %14s %14s %7s\n" "script" "sq_instr" "lua_instr" "sq/lua"
ratios=()
cd "$here" || exit 1
for script in "$here"/*.nut; do
    name=$(basename "$script" .nut)
    if ((${#only[@]})) && [[ ! " ${only[*]} " =~ " $name " ]]; then continue; fi
    n_sq=$(count "$sq" "$script")
    n_lua="-"
    ratio="-"
    if command -v "$lua" > /dev/null && [[ -f $here/$name.lua ]]; then
        n_lua=$(count "$lua" "$here/$name.lua")
        ratio=$(awk -v a="$n_sq" -v b="$n_lua" 'BEGIN { printf "%.3f", a / b }')
        ratios+=("$ratio")
    fi
    printf "%-14s %14s %14s %7s\n" "$name" "$n_sq" "$n_lua" "$ratio"
done
if ((${#ratios[@]})); then
    printf "%s\n" "${ratios[@]}" |
        awk '{ s += log($1); n++ } END { printf "geometric mean of sq/lua over %d scripts: %.3f\n", n, exp(s / n) }'
fi
