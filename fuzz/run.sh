#!/usr/bin/env bash
# fuzz/run.sh BUILD_DIR [SECONDS] [JOBS]
#
# Runs every fuzz target that BUILD_DIR (configured with -DVELQUOR_FUZZ=ON)
# lists in fuzz/targets.txt for SECONDS each (default 60), JOBS at a time
# (default 2), starting from the seeds fuzz/make_corpus.py generates. Prints
# each target's number of executions; for a target that failed, the end of
# its log and every input it kept (crash, timeout, leak, out of memory) as
# hex. Exits with 1 when any target failed. Work files stay in
# BUILD_DIR/fuzz-run.
set -u
build=$(cd "$1" && pwd)
seconds=${2:-60}
jobs=${3:-2}
here=$(cd "$(dirname "$0")" && pwd)
work="$build/fuzz-run"
list="$build/fuzz/targets.txt"
[ -f "$list" ] || { echo "fuzz/run.sh: no $list (configure with -DVELQUOR_FUZZ=ON)" >&2; exit 2; }

rm -rf "$work"
mkdir -p "$work"
python3 "$here/make_corpus.py" "$work/corpus" --seeds >/dev/null || exit 2

run_target() {
    local name=$1 corpus=$2 dir="$work/$1"
    mkdir -p "$dir/live" "$dir/found"
    "$build/fuzz/$name" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
        -artifact_prefix="$dir/found/" "$dir/live" "$work/corpus/seeds/$corpus" >"$dir/log" 2>&1
    echo $? >"$dir/status"
}

while read -r name corpus; do
    [ -n "$name" ] || continue
    [ -d "$work/corpus/seeds/$corpus" ] || { echo "fuzz/run.sh: $name: no seeds named $corpus" >&2; exit 2; }
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
    run_target "$name" "$corpus" &
done <"$list"
wait

failed=0
while read -r name corpus; do
    [ -n "$name" ] || continue
    dir="$work/$name"
    runs=$(sed -n 's/^stat::number_of_executed_units: //p' "$dir/log" | tail -n 1)
    status=$(cat "$dir/status" 2>/dev/null || echo "?")
    if [ "$status" = 0 ]; then
        printf '%-24s %12s runs in %s s, ok\n' "$name" "${runs:-?}" "$seconds"
        continue
    fi
    failed=1
    printf '%-24s FAILED (exit %s)\n' "$name" "$status"
    echo "---- end of $name's log ----"
    tail -n 60 "$dir/log"
    for input in "$dir"/found/*; do
        [ -f "$input" ] || continue
        echo "---- $name: $(basename "$input") ($(stat -c %s "$input") bytes) as hex ----"
        od -An -v -tx1 "$input" | tr -d ' \n' | fold -w 64
        echo
    done
done <"$list"
exit $failed
