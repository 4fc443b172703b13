#!/bin/sh
# Builds the fuzz targets in build-fuzz/ (clang, libFuzzer, ASan + UBSan; only the
# targets and the few sources they need) and runs each for SECONDS over its corpus:
# a working copy in build-fuzz/corpus/<name> grown by the run, seeded from the kept
# corpus (read only) and the generated binary seeds. Prints per target the inputs run,
# the coverage reached and the findings (build-fuzz/findings/<name>/); any finding
# fails the run.
#   tools/fuzz.sh SECONDS [NAME...]     (default: every target)
set -e
cd "$(dirname "$0")/.."
secs=${1:?usage: tools/fuzz.sh SECONDS [NAME...]}
shift
root=$(pwd)
out="$root/build-fuzz"
all="settings dds tga mesh shader_source shader_cache font icons imports sq rex bytecode"
names=${*:-$all}

if [ ! -f "$out/CMakeCache.txt" ]; then
  mkdir -p "$out"
  CC=clang CXX=clang++ cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARNITH_FUZZ=ON >"$out/cmake.log" 2>&1 ||
    { cat "$out/cmake.log"; exit 1; }
fi
targets=fuzz_seeds
for n in $names; do targets="$targets fuzz_$n"; done
cmake --build "$out" -j"$(nproc)" --target $targets >"$out/build.log" 2>&1 || { tail -40 "$out/build.log"; exit 1; }

# The binary seeds, from the program's own writers.
ASAN_OPTIONS=detect_leaks=0 "$out/fuzz/fuzz_seeds" "$out/fuzz-seeds" squirrel/fuzz/corpus/sq

export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export SDL_VIDEODRIVER=dummy
failed=0
printf '%-14s %10s %16s %8s %9s\n' target inputs "coverage" "+inputs" findings
for n in $names; do
  case $n in
    sq) bin="$out/squirrel/fuzz/fuzz_sq" kept="squirrel/fuzz/corpus/sq" extra="-dict=squirrel/fuzz/sq.dict" ;;
    rex) bin="$out/squirrel/fuzz/fuzz_rex" kept="squirrel/fuzz/corpus/rex" extra="" ;;
    bytecode) bin="$out/squirrel/fuzz/fuzz_bytecode" kept="" extra="" ;;
    *) bin="$out/fuzz/fuzz_$n" kept="" extra=""; [ -d "fuzz/$n/corpus" ] && kept="fuzz/$n/corpus" ;;
  esac
  seeds=""
  [ -d "$out/fuzz-seeds/$n" ] && seeds="$out/fuzz-seeds/$n"
  work="$out/corpus/$n"
  found="$out/findings/$n"
  mkdir -p "$work" "$found"
  log="$out/findings/$n.log"
  before=$(ls "$found" | wc -l)
  rc=0
  nice -n 10 "$bin" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$found/" $extra "$work" $kept $seeds >"$log" 2>&1 || rc=$?
  inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  added=$(sed -n 's/^stat::new_units_added: *//p' "$log" | tail -1)
  cov0=$(sed -n 's/.*INITED cov: \([0-9]*\).*/\1/p' "$log" | head -1)
  cov1=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' "$log" | tail -1)
  findings=$(($(ls "$found" | wc -l) - before))
  printf '%-14s %10s %16s %8s %9s\n' "$n" "${inputs:-?}" "${cov0:-?} -> ${cov1:-?}" "${added:-?}" "$findings"
  if [ "$rc" != 0 ] || [ "$findings" != 0 ]; then
    failed=1
    echo "--- $n failed (exit $rc), see $log:"
    grep -E "ERROR|SUMMARY|Test unit written|==[0-9]+==" "$log" | head -20
  fi
done
exit $failed
