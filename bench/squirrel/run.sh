#!/bin/bash
# Times every benchmark script with sq and, where an equivalent <name>.lua lies
# beside it, with the Lua 5.4 interpreter in the same run, and prints the best
# time of each, the ratio sq/lua and the geometric mean of the ratios.
#   bench/squirrel/run.sh [path/to/sq] [repeats] [name...]
# Times are the CPU time (user + system) of the process: on a shared machine
# they move much less than wall time. TIMING=wall measures wall time instead.
# The best of several runs is the figure to compare, and a ratio from one run
# is worth more than two absolute times from different runs.
here=$(cd "$(dirname "$0")" && pwd)
sq=${1:-$here/../../bin/sq}
[[ $sq == */* ]] && sq=$(cd "$(dirname "$sq")" 2> /dev/null && pwd)/$(basename "$sq")
repeats=${2:-3}
shift 2 2> /dev/null
only=("$@")
lua=${LUA:-lua5.4}
if [[ ! -x $sq ]]; then
    echo "sq not found at $sq (build the 'sq' target first)" >&2
    exit 1
fi
have_lua=1
command -v "$lua" > /dev/null || { have_lua=0; echo "($lua not found: Lua columns left empty)"; }

# best time in seconds of $repeats runs of "$@" into $best; output of the
# last run in $last_out, its exit status in $last_status
best_time() {
    local t
    best=""
    last_status=0
    for ((r = 0; r < repeats; r++)); do
        if [[ ${TIMING:-cpu} == wall ]]; then
            TIMEFORMAT='%R'
        else
            TIMEFORMAT='%U %S'
        fi
        t=$({ time "$@" > "$tmp/out" 2>&1; echo "status $?" > "$tmp/status"; } 2>&1)
        last_status=$(awk '{ print $2 }' "$tmp/status")
        last_out=$(head -c 120 "$tmp/out" | tr '\n' ' ')
        t=$(echo "$t" | awk '{ printf "%.3f", $1 + $2 }')
        if [[ -z $best ]] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
    done
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

printf "%-14s %8s %8s %7s  %s\n" "script" "sq_s" "lua_s" "sq/lua" "sq output"
ratios=()
for script in "$here"/*.nut; do
    name=$(basename "$script" .nut)
    if ((${#only[@]})) && [[ ! " ${only[*]} " =~ " $name " ]]; then continue; fi
    cd "$here" || exit 1
    best_time "$sq" "$script"
    t_sq=$best
    out=$last_out
    ((last_status != 0)) && out="FAILED($last_status) $out"
    t_lua="-"
    ratio="-"
    if ((have_lua)) && [[ -f $here/$name.lua ]]; then
        best_time "$lua" "$here/$name.lua"
        t_lua=$best
        ratio=$(awk -v a="$t_sq" -v b="$t_lua" 'BEGIN { printf "%.2f", a / b }')
        ratios+=("$ratio")
    fi
    printf "%-14s %8s %8s %7s  %s\n" "$name" "$t_sq" "$t_lua" "$ratio" "$out"
done
if ((${#ratios[@]})); then
    printf "%s\n" "${ratios[@]}" |
        awk '{ s += log($1); n++ } END { printf "geometric mean of sq/lua over %d scripts: %.2f\n", n, exp(s / n) }'
fi
