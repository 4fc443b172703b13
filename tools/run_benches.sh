#!/bin/sh
# Runs the benchmarks built in build/bench/ (headless, on llvmpipe) and prints each result
# beside the stored baseline in bench/baseline/<program>.tsv.
#
#   tools/run_benches.sh                 every benchmark program
#   tools/run_benches.sh world_bench     only the named programs
#   tools/run_benches.sh --update ...    the same, then store the results as the baseline
#
# Extra Google Benchmark flags go through BENCH_FLAGS, e.g.
#   BENCH_FLAGS=--benchmark_filter=Erosion tools/run_benches.sh world_bench
# Times are real (wall) time per iteration in the benchmark's unit. The machine is shared
# and llvmpipe draws on the CPU, so compare runs made on one machine at a quiet moment.
set -e
cd "$(dirname "$0")/.."

update=0
if [ "$1" = "--update" ]; then
  update=1
  shift
fi
programs="$*"
if [ -z "$programs" ]; then
  programs="app_bench world_bench gameobj_bench script_bench bench_squirrel render_bench ui_bench gui_bench land_bench scene_bench fly_frame_bench menu_frame_bench fx_bench objects_frame_bench"
fi

mkdir -p bench/baseline
out=$(mktemp -d "${TMPDIR:-/tmp}/zarnith-bench.XXXXXX")
trap 'rm -rf "$out"' EXIT

for p in $programs; do
  exe=build/bench/$p
  if [ ! -x "$exe" ]; then
    echo "$p: not built (cmake --build build --target $p)" >&2
    exit 1
  fi
  echo "=== $p"
  # The programs log on stdout; the results go to a JSON file.
  # shellcheck disable=SC2086
  if ! SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" XDG_CONFIG_HOME="$out" \
    "$exe" --benchmark_out="$out/$p.json" --benchmark_out_format=json $BENCH_FLAGS > "$out/$p.log" 2>&1; then
    cat "$out/$p.log" >&2
    exit 1
  fi
  # One line per benchmark: name, real time, unit (the JSON has one field per line).
  awk '
    /"name":/ { name = $0; sub(/^[^:]*: *"/, "", name); sub(/",? *$/, "", name) }
    /"real_time":/ { t = $2; sub(/,$/, "", t) }
    /"time_unit":/ { u = $2; gsub(/[",]/, "", u); printf "%s\t%s\t%s\n", name, t, u }
  ' "$out/$p.json" > "$out/$p.tsv"
  base=bench/baseline/$p.tsv
  [ -f "$base" ] || base=/dev/null
  printf "%-62s %11s %11s %-4s %s\n" benchmark baseline now unit change
  awk -F'\t' -v basefile="$base" '
    FILENAME == basefile { base[$1] = $2; next }
    {
      b = ($1 in base) ? base[$1] : ""
      delta = (b != "" && b > 0) ? sprintf("%+6.1f%%", ($2 - b) * 100 / b) : "   new"
      printf "%-62s %11s %11.4g %-4s %s\n", $1, (b == "" ? "-" : sprintf("%.4g", b)), $2, $3, delta
    }' "$base" "$out/$p.tsv"
  if [ "$update" = 1 ]; then
    cp "$out/$p.tsv" "bench/baseline/$p.tsv"
  fi
done
