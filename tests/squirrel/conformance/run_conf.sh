#!/bin/bash
# Runs one conformance script through sq and checks its output.
#   run_conf.sh <sq> <dir> <name>
# <name>.out: exact stdout. Optional: <name>.err exact stderr, <name>.errsub lines that
# stderr must contain, <name>.rc exit status (default 0), <name>.args one argument a line.
sq=$1
dir=$2
name=$3
cd "$dir" || exit 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
args=()
if [[ -f $name.args ]]; then
    mapfile -t args < "$name.args"
fi
# run from a scratch copy so files the script writes never land in the source tree
mkdir "$tmp/run"
cp "$name.nut" "$tmp/run/"
(cd "$tmp/run" && exec timeout 20 "$sq" "$name.nut" "${args[@]}") > "$tmp/out" 2> "$tmp/err"
rc=$?
expected_rc=0
[[ -f $name.rc ]] && expected_rc=$(tr -d ' \n' < "$name.rc")
failed=0
if ! cmp -s "$tmp/out" "$name.out"; then
    echo "stdout differs from $name.out (< expected, > actual):"
    diff "$name.out" "$tmp/out" | head -40
    failed=1
fi
if [[ -f $name.err ]] && ! cmp -s "$tmp/err" "$name.err"; then
    echo "stderr differs from $name.err (< expected, > actual):"
    diff "$name.err" "$tmp/err" | head -40
    failed=1
fi
if [[ -f $name.errsub ]]; then
    while IFS= read -r needle; do
        [[ -z $needle ]] && continue
        if ! grep -qF -- "$needle" "$tmp/err"; then
            echo "stderr lacks: $needle"
            failed=1
        fi
    done < "$name.errsub"
    ((failed)) && { echo "stderr was:"; head -40 "$tmp/err"; }
fi
if [[ $rc != "$expected_rc" ]]; then
    echo "exit status $rc, expected $expected_rc"
    [[ -s $tmp/err ]] && { echo "stderr:"; head -20 "$tmp/err"; }
    failed=1
fi
exit $failed
