#!/bin/bash
# Times every benchmark script with sq and prints a table.
#   bench/squirrel/run.sh [path/to/sq] [repeats]
here=$(cd "$(dirname "$0")" && pwd)
sq=${1:-$here/../../bin/sq}
repeats=${2:-3}
if [[ ! -x $sq ]]; then
    echo "sq not found at $sq (build the 'sq' target first)" >&2
    exit 1
fi
printf "%-16s %10s %10s  %s\n" "script" "best_s" "median_s" "output"
for script in "$here"/*.nut; do
    name=$(basename "$script" .nut)
    times=()
    out=""
    status=0
    for ((r = 0; r < repeats; r++)); do
        start=$(date +%s.%N)
        out=$("$sq" "$script" 2>&1 | head -c 200 | tr '\n' ' ')
        status=${PIPESTATUS[0]}
        end=$(date +%s.%N)
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')")
    done
    sorted=($(printf "%s\n" "${times[@]}" | sort -g))
    best=${sorted[0]}
    median=${sorted[$((repeats / 2))]}
    [[ $status != 0 ]] && out="FAILED($status) $out"
    printf "%-16s %10.3f %10.3f  %s\n" "$name" "$best" "$median" "$out"
done
